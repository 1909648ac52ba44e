#include "qmailmessage.h"
#include "qmailmessage_p.h"

namespace {

const QByteArray contentIdField("Content-ID");
const QByteArray contentLocationField("Content-Location");
const QByteArray contentLanguageField("Content-Language");

QString decodedParameter(const QMailMessageHeaderField &field, const QByteArray &name)
{
    const QByteArray value = field.parameter(name);
    if (value.isEmpty())
        return QString();
    return field.isParameterEncoded(name) ? QMailMessageHeaderField::decodeParameter(value)
                                          : QMailMessageHeaderField::decodeContent(value);
}

} // namespace

QMailMessagePart::QMailMessagePart() = default;
QMailMessagePart::QMailMessagePart(const QMailMessagePart &other) = default;
QMailMessagePart::~QMailMessagePart() = default;
QMailMessagePart &QMailMessagePart::operator=(const QMailMessagePart &other) = default;

QMailMessagePart QMailMessagePart::fromFile(const QString &filename, const QMailMessageContentDisposition &disposition,
                                            const QMailMessageContentType &type, QMailMessageBody::TransferEncoding encoding,
                                            QMailMessageBody::EncodingStatus status)
{
    QMailMessagePart part;
    part.setBody(QMailMessageBody::fromFile(filename, type, encoding, status));
    part.setContentDisposition(disposition);
    return part;
}

QMailMessagePart QMailMessagePart::fromData(const QByteArray &input, const QMailMessageContentDisposition &disposition,
                                            const QMailMessageContentType &type, QMailMessageBody::TransferEncoding encoding,
                                            QMailMessageBody::EncodingStatus status)
{
    QMailMessagePart part;
    part.setBody(QMailMessageBody::fromData(input, type, encoding, status));
    part.setContentDisposition(disposition);
    return part;
}

QMailMessagePart QMailMessagePart::fromData(const QString &input, const QMailMessageContentDisposition &disposition,
                                            const QMailMessageContentType &type, QMailMessageBody::TransferEncoding encoding)
{
    QMailMessagePart part;
    part.setBody(QMailMessageBody::fromData(input, type, encoding));
    part.setContentDisposition(disposition);
    return part;
}

QString QMailMessagePart::contentID() const
{
    QString id = headerFieldText(QString::fromLatin1(contentIdField)).trimmed();
    if (id.startsWith(QLatin1Char('<')) && id.endsWith(QLatin1Char('>')))
        id = id.mid(1, id.length() - 2);
    return id;
}

void QMailMessagePart::setContentID(const QString &s)
{
    QString id = s;
    if (!id.startsWith(QLatin1Char('<')))
        id.prepend(QLatin1Char('<'));
    if (!id.endsWith(QLatin1Char('>')))
        id.append(QLatin1Char('>'));
    setHeaderField(QString::fromLatin1(contentIdField), id);
}

QString QMailMessagePart::contentLocation() const
{
    return headerFieldText(QString::fromLatin1(contentLocationField));
}

void QMailMessagePart::setContentLocation(const QString &s)
{
    setHeaderField(QString::fromLatin1(contentLocationField), s);
}

QString QMailMessagePart::contentLanguage() const
{
    return headerFieldText(QString::fromLatin1(contentLanguageField));
}

void QMailMessagePart::setContentLanguage(const QString &s)
{
    setHeaderField(QString::fromLatin1(contentLanguageField), s);
}

QMailMessagePart::Location QMailMessagePart::location() const
{
    const QMailMessagePartContainerPrivate *p = QMailMessagePartContainerPrivate::of(*this);
    if (!p->attached)
        return Location();
    return Location(p->messageId, p->indices);
}

int QMailMessagePart::partNumber() const
{
    const QMailMessagePartContainerPrivate *p = QMailMessagePartContainerPrivate::of(*this);
    if (!p->attached || p->indices.isEmpty())
        return -1;
    return int(p->indices.last()) - 1;
}

QString QMailMessagePart::displayName() const
{
    QString name = decodedParameter(contentType(), "name");
    if (name.isEmpty())
        name = decodedParameter(contentDisposition(), "filename");
    if (name.isEmpty())
        name = contentID();
    if (name.isEmpty() && contentType().content().toLower() == "message/rfc822" && hasBody())
        name = QmfMimeParser::enclosedSubject(body().data(QMailMessageBody::Decoded));
    if (name.isEmpty()) {
        const int number = partNumber();
        if (number >= 0)
            name = QString::number(number) + QLatin1Char(' ');
        name += QString::fromLatin1(contentType().content());
    }
    return name;
}

QString QMailMessagePart::identifier() const
{
    const QString id = contentID();
    return id.isEmpty() ? displayName() : id;
}

QMailMessagePart::ReferenceType QMailMessagePart::referenceType() const
{
    return None;
}

QByteArray QMailMessagePart::toRfc2822() const
{
    return QmfMessageWriter::write(*this);
}

bool QMailMessagePart::contentAvailable() const
{
    if (multipartType() != MultipartNone)
        return true;
    return hasBody() && QMailMessagePartContainerPrivate::of(*this)->fieldIndex(qmfPartialContentField) < 0;
}

bool QMailMessagePart::partialContentAvailable() const
{
    if (contentAvailable())
        return true;
    return hasBody();
}
