#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include <KMime/Content>
#include <KMime/Util>

#include <QDateTime>

// Turns MIME text into the message model. KMime finds the structure (boundaries, nested
// messages); this unit only maps each KMime content onto a container, keeping header
// fields and encoded bodies as written so that nothing is decoded before it is asked for.

namespace {

const QByteArray contentTypeField("Content-Type");

QMailMessagePartContainer::MultipartType multipartTypeOf(const QByteArray &subType)
{
    static const struct {
        const char *name;
        QMailMessagePartContainer::MultipartType type;
    } known[] = {
        {"signed", QMailMessagePartContainer::MultipartSigned},
        {"encrypted", QMailMessagePartContainer::MultipartEncrypted},
        {"mixed", QMailMessagePartContainer::MultipartMixed},
        {"alternative", QMailMessagePartContainer::MultipartAlternative},
        {"digest", QMailMessagePartContainer::MultipartDigest},
        {"parallel", QMailMessagePartContainer::MultipartParallel},
        {"related", QMailMessagePartContainer::MultipartRelated},
        {"form-data", QMailMessagePartContainer::MultipartFormData},
        {"report", QMailMessagePartContainer::MultipartReport},
    };
    const QByteArray lower = subType.toLower();
    for (const auto &entry : known) {
        if (lower == entry.name)
            return entry.type;
    }
    // Unknown multipart subtypes are read as mixed, as RFC 2046 asks.
    return QMailMessagePartContainer::MultipartMixed;
}

// Header block (LF line ends) to fields in written order, folded lines joined.
QList<QMailMessagePartContainerPrivate::RawField> splitHeader(const QByteArray &head)
{
    QList<QMailMessagePartContainerPrivate::RawField> fields;
    const int size = head.size();
    int start = 0;
    while (start < size) {
        int end = head.indexOf('\n', start);
        if (end < 0)
            end = size;
        const char first = head.at(start);
        if ((first == ' ' || first == '\t') && !fields.isEmpty()) {
            fields.last().second.append(head.constData() + start, end - start);
        } else {
            const int colon = head.indexOf(':', start);
            if (colon > start && colon < end) {
                const QByteArray name = head.mid(start, colon - start).trimmed();
                int valueStart = colon + 1;
                while (valueStart < end && (head.at(valueStart) == ' ' || head.at(valueStart) == '\t'))
                    ++valueStart;
                if (!name.isEmpty())
                    fields.append(qMakePair(name, head.mid(valueStart, end - valueStart)));
            }
            // A line without a colon is not a field; it is dropped like every reader does.
        }
        start = end + 1;
    }
    for (auto &field : fields) {
        if (field.second.endsWith('\r'))
            field.second.chop(1);
    }
    return fields;
}

QByteArray toLineFeeds(const QByteArray &text)
{
    if (text.contains("\r\n"))
        return KMime::CRLFtoLF(text);
    if (text.contains('\r') && !text.contains('\n'))
        return KMime::CRtoLF(text);
    return text;
}

void fillContainer(QMailMessagePartContainer &container, KMime::Content *content, bool inDigest)
{
    QMailMessagePartContainerPrivate *p = QMailMessagePartContainerPrivate::of(container);
    p->fields = splitHeader(content->head());

    QMailMessageContentType type = container.contentType();
    if (type.content().trimmed().isEmpty()) {
        const QByteArray implicitType = inDigest ? QByteArray("message/rfc822") : QByteArray("text/plain; charset=us-ascii");
        p->setField(contentTypeField, implicitType);
        type = QMailMessageContentType(implicitType);
    }

    const QVector<KMime::Content *> children = content->contents();
    if (type.type().toLower() == "multipart" && !children.isEmpty() && !content->bodyIsMessage()) {
        p->multipartType = multipartTypeOf(type.subType());
        const bool digest = (p->multipartType == QMailMessagePartContainer::MultipartDigest);
        p->parts.reserve(children.size());
        for (KMime::Content *child : children) {
            QMailMessagePart part;
            fillContainer(part, child, digest);
            p->parts.append(part);
        }
        return;
    }

    // A single part, or a multipart whose parts could not be found: keep its text as body
    // so that nothing is lost.
    p->multipartType = QMailMessagePartContainer::MultipartNone;
    const QByteArray encoded = content->bodyIsMessage() ? content->encodedBody() : content->body();
    QMailMessageBody body = QMailMessageBody::fromData(encoded, type, container.transferEncoding(), QMailMessageBody::AlreadyEncoded);
    p->body = body;
    p->hasBody = true;
}

QMailTimeStamp dateOf(const QMailMessage &message)
{
    const QString dateText = message.headerFieldText(QStringLiteral("Date"));
    QMailTimeStamp date(dateText);
    if (date.isValid())
        return date;
    // The first Received field ends with the time the message arrived there.
    const QString received = message.headerFieldText(QStringLiteral("Received"));
    const int semicolon = received.lastIndexOf(QLatin1Char(';'));
    if (semicolon >= 0) {
        date = QMailTimeStamp(received.mid(semicolon + 1));
        if (date.isValid())
            return date;
    }
    return QMailTimeStamp(QDateTime::currentDateTime());
}

// +1 high, -1 low, 0 normal or not stated.
int priorityOf(const QMailMessage &message)
{
    const QString xPriority = message.headerFieldText(QStringLiteral("X-Priority")).trimmed();
    if (!xPriority.isEmpty()) {
        int digits = 0;
        while (digits < xPriority.size() && xPriority.at(digits).isDigit())
            ++digits;
        if (digits > 0) {
            const int value = xPriority.left(digits).toInt();
            return value < 3 ? 1 : (value > 3 ? -1 : 0);
        }
    }
    const QStringList named = {QStringLiteral("X-MSMail-Priority"), QStringLiteral("Importance")};
    for (const QString &field : named) {
        const QString value = message.headerFieldText(field).trimmed().toLower();
        if (value == QLatin1String("high"))
            return 1;
        if (value == QLatin1String("low"))
            return -1;
        if (!value.isEmpty())
            return 0;
    }
    return 0;
}

QMailMessageMetaData::ContentType contentCategory(const QMailMessage &message)
{
    if (message.multipartType() != QMailMessagePartContainer::MultipartNone)
        return QMailMessageMetaData::MultipartContent;
    const QByteArray type = message.contentType().type().toLower();
    const QByteArray content = message.contentType().content().toLower();
    if (content == "text/plain")
        return QMailMessageMetaData::PlainTextContent;
    if (content == "text/html")
        return QMailMessageMetaData::HtmlContent;
    if (type == "image")
        return QMailMessageMetaData::ImageContent;
    if (type == "audio")
        return QMailMessageMetaData::AudioContent;
    if (type == "video")
        return QMailMessageMetaData::VideoContent;
    return QMailMessageMetaData::UnknownContent;
}

void fillMetaData(QMailMessage &message, int size)
{
    message.setMessageType(QMailMessage::Email);
    const QString from = message.headerFieldText(QStringLiteral("From"));
    message.QMailMessageMetaData::setFrom(from.isEmpty() ? QMailAddress() : QMailAddress(from));
    message.QMailMessageMetaData::setSubject(message.headerFieldText(QStringLiteral("Subject")));
    message.QMailMessageMetaData::setDate(dateOf(message));
    message.QMailMessageMetaData::setRecipients(message.recipients());
    message.setRfcId(message.headerFieldText(QStringLiteral("Message-ID")).trimmed());
    message.setListId(message.headerFieldText(QStringLiteral("List-ID")).trimmed());
    message.setSize(uint(qMax(0, size)));
    message.setContent(contentCategory(message));

    quint64 status = message.status() | QMailMessage::ContentAvailable | QMailMessage::PartialContentAvailable;
    const int priority = priorityOf(message);
    if (priority > 0)
        status |= QMailMessage::HighPriority;
    else if (priority < 0)
        status |= QMailMessage::LowPriority;
    if (message.hasAttachments())
        status |= QMailMessage::HasAttachments;
    message.setStatus(status);
}

QByteArray serializeContainer(const QMailMessagePartContainer &container, bool skipBcc)
{
    const QMailMessagePartContainerPrivate *p = QMailMessagePartContainerPrivate::of(container);
    QByteArray result;
    for (const auto &field : p->fields) {
        if (skipBcc && field.first.compare("Bcc", Qt::CaseInsensitive) == 0)
            continue;
        result.append(field.first);
        result.append(": ");
        result.append(field.second);
        result.append('\n');
    }
    result.append('\n');
    if (p->multipartType != QMailMessagePartContainer::MultipartNone) {
        QByteArray boundary = container.contentType().boundary();
        for (const QMailMessagePart &part : p->parts) {
            result.append("--" + boundary + '\n');
            result.append(serializeContainer(part, false));
            result.append('\n');
        }
        result.append("--" + boundary + "--\n");
    } else if (p->hasBody) {
        result.append(p->body.data(QMailMessageBody::Encoded));
    }
    return result;
}

} // namespace

void QMailMessagePartContainerPrivate::parseMultipartBody(QMailMessagePartContainer &container, const QByteArray &body,
                                                          const QMailMessageContentType &type)
{
    KMime::Content content;
    content.setContent("Content-Type: " + type.toString(false) + "\n\n" + toLineFeeds(body));
    content.parse();
    const QVector<KMime::Content *> children = content.contents();
    QMailMessagePartContainerPrivate *p = of(container);
    p->parts.clear();
    const bool digest = (p->multipartType == QMailMessagePartContainer::MultipartDigest);
    for (KMime::Content *child : children) {
        QMailMessagePart part;
        fillContainer(part, child, digest);
        p->parts.append(part);
    }
    p->placeAllParts();
}

namespace QmfMimeParser {

void parseMessage(QMailMessage &message, const QByteArray &text)
{
    KMime::Content content;
    content.setContent(toLineFeeds(text));
    content.parse();
    fillContainer(message, &content, false);
    QMailMessagePartContainerPrivate::of(message)->placeAllParts();
    fillMetaData(message, text.size());
}

QString enclosedSubject(const QByteArray &text)
{
    const QByteArray lf = toLineFeeds(text);
    int headEnd = lf.indexOf("\n\n");
    if (headEnd < 0)
        headEnd = lf.size();
    const auto fields = splitHeader(lf.left(headEnd));
    for (const auto &field : fields) {
        if (field.first.compare("Subject", Qt::CaseInsensitive) == 0)
            return QMailMessageHeaderField::decodeContent(field.second.trimmed());
    }
    return QString();
}

QByteArray serialize(const QMailMessage &message, QMailMessage::EncodingFormat format)
{
    if (format == QMailMessage::HeaderOnlyFormat) {
        QByteArray result;
        for (const auto &field : QMailMessagePartContainerPrivate::of(message)->fields)
            result.append(field.first + ": " + field.second + '\n');
        return result;
    }
    const QByteArray text = serializeContainer(message, format == QMailMessage::TransmissionFormat);
    return format == QMailMessage::TransmissionFormat ? KMime::LFtoCRLF(text) : text;
}

} // namespace QmfMimeParser
