#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include <QFile>
#include <QFileInfo>

QMailMessageBody::QMailMessageBody()
    : d(new QMailMessageBodyPrivate)
{
}

QMailMessageBody::QMailMessageBody(const QMailMessageBody &other) = default;
QMailMessageBody::~QMailMessageBody() = default;
QMailMessageBody &QMailMessageBody::operator=(const QMailMessageBody &other) = default;

QMailMessageBody QMailMessageBody::fromData(const QByteArray &input, const QMailMessageContentType &type,
                                            TransferEncoding encoding, EncodingStatus status)
{
    QMailMessageBody body;
    body.d->type = type;
    body.d->encoding = encoding;
    body.d->encoded = (status == AlreadyEncoded) ? input : QmfMessageCodec::encode(input, encoding);
    return body;
}

QMailMessageBody QMailMessageBody::fromData(const QString &input, const QMailMessageContentType &type,
                                            TransferEncoding encoding)
{
    QMailMessageContentType contentType(type);
    if (contentType.charset().isEmpty())
        contentType.setCharset("UTF-8");
    return fromData(QmfMessageCodec::fromUnicode(input, contentType.charset()), contentType, encoding, RequiresEncoding);
}

QMailMessageBody QMailMessageBody::fromFile(const QString &filename, const QMailMessageContentType &type,
                                            TransferEncoding encoding, EncodingStatus status)
{
    QMailMessageBody body;
    body.d->type = type;
    body.d->encoding = encoding;
    if (!QFileInfo(filename).isFile()) {
        qWarning() << "QMailMessageBody::fromFile: cannot read" << filename;
        return body;
    }
    body.d->filename = filename;
    body.d->fileAlreadyEncoded = (status == AlreadyEncoded);
    return body;
}

bool QMailMessageBody::toFile(const QString &filename, EncodingFormat format) const
{
    QFile file(filename);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qWarning() << "QMailMessageBody::toFile: cannot open" << filename << "for writing:" << file.errorString();
        return false;
    }
    const QByteArray bytes = data(format);
    if (file.write(bytes) != bytes.size()) {
        qWarning() << "QMailMessageBody::toFile: cannot write" << filename << ":" << file.errorString();
        return false;
    }
    return true;
}

QByteArray QMailMessageBody::data(EncodingFormat format) const
{
    if (!d->filename.isEmpty()) {
        QFile file(d->filename);
        if (!file.open(QIODevice::ReadOnly)) {
            qWarning() << "QMailMessageBody::data: cannot read" << d->filename;
            return QByteArray();
        }
        const QByteArray content = file.readAll();
        if (d->fileAlreadyEncoded)
            return format == Encoded ? content : QmfMessageCodec::decode(content, d->encoding);
        return format == Encoded ? QmfMessageCodec::encode(content, d->encoding) : content;
    }
    return format == Encoded ? d->encoded : QmfMessageCodec::decode(d->encoded, d->encoding);
}

QString QMailMessageBody::data() const
{
    return QmfMessageCodec::toUnicode(data(Decoded), d->type.charset());
}

QMailMessageBody::TransferEncoding QMailMessageBody::transferEncoding() const
{
    return d->encoding;
}

QMailMessageContentType QMailMessageBody::contentType() const
{
    return d->type;
}

bool QMailMessageBody::isEmpty() const
{
    return length() == 0;
}

int QMailMessageBody::length() const
{
    if (!d->filename.isEmpty())
        return int(qMin<qint64>(QFileInfo(d->filename).size(), INT_MAX));
    return d->encoded.size();
}
