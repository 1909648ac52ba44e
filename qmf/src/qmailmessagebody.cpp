#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include "qmailcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <memory>

namespace {

bool isTextType(const QMailMessageContentType &type)
{
    return type.type().compare("text", Qt::CaseInsensitive) == 0;
}

// Whether the charset can carry any character (UTF-8 and the like), as opposed to a
// one-byte charset.
bool coversUnicode(const QByteArray &charset)
{
    QTextCodec *codec = QMailCodec::codecForName(charset);
    return codec && codec->canEncode(QChar(0x1234));
}

} // namespace

std::unique_ptr<QMailCodec> QmfMessageCodec::codecFor(QMailMessageBody::TransferEncoding encoding, bool text)
{
    switch (encoding) {
    case QMailMessageBody::SevenBit:
    case QMailMessageBody::EightBit:
        if (text)
            return std::make_unique<QMailLineEndingCodec>();
        return std::make_unique<QMailPassThroughCodec>();
    case QMailMessageBody::QuotedPrintable:
        return std::make_unique<QMailQuotedPrintableCodec>(text ? QMailQuotedPrintableCodec::Text : QMailQuotedPrintableCodec::Binary,
                                                           QMailQuotedPrintableCodec::Rfc2045);
    case QMailMessageBody::Base64:
        return std::make_unique<QMailBase64Codec>(text ? QMailBase64Codec::Text : QMailBase64Codec::Binary);
    case QMailMessageBody::NoEncoding:
    case QMailMessageBody::Binary:
        break;
    }
    return std::make_unique<QMailPassThroughCodec>();
}

void QMailMessageBodyPrivate::settleCharset()
{
    // As the platform library does: the charset named in the type is replaced by the name of
    // the codec that reads it; plain text and HTML without a usable charset get a detected one.
    const QByteArray charset = type.charset();
    if (!type.matches("text", "plain") && !type.matches("text", "html")) {
        const QByteArray best = QMailCodec::bestCompatibleCharset(charset, true);
        if (!best.isEmpty())
            type.setCharset(best);
        return;
    }
    if (!charset.isEmpty() && !charset.toLower().contains("ascii")) {
        type.setCharset(QMailCodec::bestCompatibleCharset(charset, true));
        return;
    }
    const QByteArray bytes = stored();
    if (bytes.isEmpty())
        return;
    const QByteArray plain = (encoded && encoding != QMailMessageBody::SevenBit)
                                 ? QmfMessageCodec::codecFor(encoding, isTextType(type))->decode(bytes)
                                 : bytes;
    const QByteArray detected = QMailCodec::autoDetectEncoding(plain).toLatin1();
    if (!detected.isEmpty() && !detected.toUpper().startsWith("ISO-8859-"))
        type.setCharset(QMailCodec::bestCompatibleCharset(detected, true));
}

QByteArray QMailMessageBodyPrivate::stored() const
{
    if (filename.isEmpty())
        return bytes;
    QFile file(filename);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "QMailMessageBody: cannot read" << filename << ":" << file.errorString();
        return QByteArray();
    }
    return file.readAll();
}

QMailMessageBody QMailMessagePartContainerPrivate::parsedBody(const QByteArray &encoded, const QMailMessageContentType &type,
                                             QMailMessageBody::TransferEncoding encoding)
{
    QMailMessageBody body;
    body.d->type = type;
    body.d->encoding = encoding;
    body.d->bytes = encoded;
    body.d->settleCharset();
    return body;
}

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
    // Bodies are kept encoded; encoded input only has its line ends made CRLF if it is text.
    QMailMessageBody body;
    body.d->type = type;
    body.d->encoding = encoding;
    const TransferEncoding applied = (status == AlreadyEncoded) ? SevenBit : encoding;
    body.d->bytes = QmfMessageCodec::codecFor(applied, isTextType(type))->encode(input);
    body.d->settleCharset();
    return body;
}

QMailMessageBody QMailMessageBody::fromData(const QString &input, const QMailMessageContentType &type,
                                            TransferEncoding encoding)
{
    QMailMessageBody body;
    body.d->type = type;
    body.d->encoding = encoding;
    QByteArray charset = type.charset();
    if (charset.isEmpty())
        charset = "UTF-8";
    body.d->bytes = QmfMessageCodec::codecFor(encoding, isTextType(type))->encode(input, charset);
    body.d->settleCharset();
    return body;
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
    body.d->encoded = (status == AlreadyEncoded);
    body.d->settleCharset();
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
    const bool wantEncoded = (format == Encoded);
    // Data already in the wanted form pass through unchanged.
    const TransferEncoding encoding = (wantEncoded == d->encoded) ? Binary : d->encoding;
    const std::unique_ptr<QMailCodec> codec = QmfMessageCodec::codecFor(encoding, isTextType(d->type));
    const QByteArray bytes = d->stored();
    return wantEncoded ? codec->encode(bytes) : codec->decode(bytes);
}

QString QMailMessageBody::data() const
{
    QByteArray charset = d->type.charset();
    if (charset.isEmpty() || charset.toLower().contains("ascii"))
        charset = "ISO-8859-1";
    if (!d->encoded && !d->filename.isEmpty() && coversUnicode(charset))
        return QMailCodec::codecForName(charset)->toUnicode(d->stored());
    const TransferEncoding encoding = d->encoded ? d->encoding : Binary;
    return QmfMessageCodec::codecFor(encoding, isTextType(d->type))->decode(d->stored(), charset);
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
    return d->bytes.size();
}
