#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include <KMime/Content>
#include <KMime/Headers>
#include <KMime/Util>

#include <QDateTime>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <memory>

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

void collectBoundaries(KMime::Content *content, QList<QByteArray> *boundaries)
{
    KMime::Headers::ContentType *type = content->contentType(false);
    if (type && type->isMultipart() && !type->boundary().isEmpty())
        boundaries->append(type->boundary());
    for (KMime::Content *child : content->contents())
        collectBoundaries(child, boundaries);
}

// A message may carry megabytes of attachments, so the whole text is only ever walked line
// end to line end with memchr: KMime's line-end converters and QByteArray's substring
// searches cost several times more than the parse itself on such a text.

// KMime splits a run of delimiter lines with nothing between them into parts that overlap
// and repeat the text; the platform library reads such a run as one delimiter. Returns the
// text with each run made one line, or "" when there is none.
QByteArray withoutRepeatedDelimiters(const QByteArray &lfText, KMime::Content *parsed)
{
    QList<QByteArray> boundaries;
    collectBoundaries(parsed, &boundaries);
    QSet<QByteArray> delimiters;
    for (const QByteArray &boundary : qAsConst(boundaries))
        delimiters.insert("--" + boundary);
    if (delimiters.isEmpty())
        return QByteArray();
    const char *data = lfText.constData();
    const int size = lfText.size();
    QByteArray result;
    int copied = 0;   // lfText before this offset is settled in result
    int previousStart = -1;   // the line before, if it is a delimiter
    int previousLength = 0;
    for (int start = 0; start < size;) {
        const char *lineFeed = static_cast<const char *>(std::memchr(data + start, '\n', size_t(size - start)));
        const int length = lineFeed ? int(lineFeed - data) - start : size - start;
        const int next = start + length + 1;
        const bool isDelimiter = length > 2 && data[start] == '-' && data[start + 1] == '-'
                                 && delimiters.contains(QByteArray::fromRawData(data + start, length));
        if (isDelimiter && length == previousLength && std::memcmp(data + previousStart, data + start, size_t(length)) == 0) {
            result.append(data + copied, start - copied);
            copied = qMin(next, size);
        } else {
            previousStart = isDelimiter ? start : -1;
            previousLength = isDelimiter ? length : 0;
        }
        start = next;
    }
    if (copied == 0)
        return QByteArray();
    result.append(data + copied, size - copied);
    return result;
}

// Where the header ends: the first empty line, whatever its line ends (CRLF, LF or CR).
int headerEnd(const QByteArray &text, int *separatorSize)
{
    const char *data = text.constData();
    const int size = text.size();
    for (int i = 0; i + 1 < size; ++i) {
        if ((data[i] == '\n' || data[i] == '\r') && data[i + 1] == data[i]) {
            *separatorSize = 2;
            return i;
        }
        if (data[i] == '\r' && i + 3 < size && data[i + 1] == '\n' && data[i + 2] == '\r' && data[i + 3] == '\n') {
            *separatorSize = 4;
            return i;
        }
    }
    return -1;
}

// The text after the header, without a POP terminator.
QByteArray rawBodyOf(const QByteArray &text)
{
    int separatorSize = 0;
    const int end = headerEnd(text, &separatorSize);
    if (end < 0)
        return QByteArray();
    QByteArray body = text.mid(end + separatorSize);
    if (body.endsWith("\r\n.\r\n"))
        body.chop(5);
    return body;
}

bool containsChar(const QByteArray &text, char c)
{
    return std::memchr(text.constData(), c, size_t(text.size())) != nullptr;
}

// Whether every line of the text ends in CRLF: then the bodies of its parts, which KMime
// reads with LF line ends, get their CRLF back.
bool onlyCrlf(const QByteArray &text)
{
    const char *data = text.constData();
    const char *end = data + text.size();
    bool any = false;
    for (const char *at = data; at < end; ++at) {
        at = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        if (!at)
            break;
        if (at == data || at[-1] != '\r')
            return false;
        any = true;
    }
    return any;
}

// Each CRLF made LF; a lone CR stays.
QByteArray crlfToLf(const QByteArray &text)
{
    const char *data = text.constData();
    const char *end = data + text.size();
    QByteArray result;
    result.reserve(text.size());
    const char *copied = data;
    for (const char *at = data; at < end; ++at) {
        at = static_cast<const char *>(std::memchr(at, '\r', size_t(end - at)));
        if (!at)
            break;
        if (at + 1 < end && at[1] == '\n') {
            result.append(copied, int(at - copied));
            copied = at + 1;
        }
    }
    result.append(copied, int(end - copied));
    return result;
}

// Each LF made CRLF: undoes crlfToLf on a text whose lines all ended in CRLF.
QByteArray lfToCrlf(const QByteArray &text)
{
    const char *data = text.constData();
    const char *end = data + text.size();
    QByteArray result;
    result.reserve(text.size() + text.size() / 32);
    const char *copied = data;
    for (const char *at = data; at < end; ++at) {
        at = static_cast<const char *>(std::memchr(at, '\n', size_t(end - at)));
        if (!at)
            break;
        result.append(copied, int(at - copied));
        result.append('\r');
        copied = at;
    }
    result.append(copied, int(end - copied));
    return result;
}

QByteArray toLineFeeds(const QByteArray &text)
{
    if (!containsChar(text, '\r'))
        return text;
    if (!containsChar(text, '\n'))
        return KMime::CRtoLF(text);
    return crlfToLf(text);
}

// The type a part is read as: a missing or incomplete type is text/plain (message/rfc822 in
// a digest), keeping its parameters; an octet stream gets the type its file name suggests.
QMailMessageContentType effectiveType(const QMailMessagePartContainer &container, bool inDigest)
{
    QMailMessageContentType type = container.contentType();
    if (type.type().isEmpty() || type.subType().isEmpty()) {
        type.setType(inDigest ? "message" : "text");
        type.setSubType(inDigest ? "rfc822" : "plain");
        if (!inDigest)
            type.setCharset("us-ascii");
    } else if (type.matches("application", "octet-stream")) {
        const QByteArray filename = container.contentDisposition().filename();
        const QList<QMimeType> guesses = QMimeDatabase().mimeTypesForFileName(QString::fromUtf8(filename));
        if (!filename.isEmpty() && !guesses.isEmpty())
            type.setContent(guesses.first().name().toLatin1());
    }
    return type;
}

// Whether every line of a header block is a field ("Name: ...") or continues one.
bool onlyFields(const QByteArray &head)
{
    static const QRegularExpression field(QStringLiteral("^(?:[!-9;-~]+[ \\t]*:|[ \\t])"));
    const QList<QByteArray> lines = head.split('\n');
    for (const QByteArray &line : lines) {
        if (!line.isEmpty() && !field.match(QString::fromLatin1(line)).hasMatch())
            return false;
    }
    return true;
}

// As the platform library reads a multipart, no part comes of the empty end of one whose
// closing delimiter is missing, nor of header fields with no empty line after them (cut off
// by the next delimiter); nothing but fields is lost.
bool isNoPart(KMime::Content *child, bool last, const QByteArray &text, const QByteArray &boundary)
{
    if (!child->body().isEmpty() || !child->contents().isEmpty())
        return false;
    const QByteArray head = child->head();
    if (head.trimmed().isEmpty())
        return last && !text.contains("--" + boundary + "--");
    return onlyFields(head) && text.contains(head + "--" + boundary);
}

// Frozen, KMime keeps the text of every part as written; otherwise it hands an enclosed
// message back reassembled, with a line end added after a header that has no body.
void parseAsWritten(KMime::Content &content, const QByteArray &text)
{
    content.setContent(text);
    content.setFrozen(true);
    content.parse();
}

// What a parse reads from: the text as given, the text as KMime reads it (LF line ends), and
// whether the text had CRLF line ends only.
struct Source {
    QByteArray text;
    QByteArray lfText;
    bool crlf = false;
};

void fillContainer(QMailMessagePartContainer &container, KMime::Content *content, bool inDigest, bool isMessage,
                   const Source &source)
{
    QMailMessagePartContainerPrivate *p = QMailMessagePartContainerPrivate::of(container);
    p->fields = splitHeader(content->head());

    QMailMessageContentType type = effectiveType(container, inDigest);
    if (type.toString(false, false) != container.contentType().toString(false, false))
        p->setField(contentTypeField, type.toString(false, false));

    QVector<KMime::Content *> children = content->contents();
    std::unique_ptr<KMime::Content> reparsed;
    const QByteArray boundary = type.boundary();
    KMime::Headers::ContentType *kmimeType = content->contentType(false);
    if (type.matches("multipart") && children.isEmpty() && !boundary.isEmpty() && kmimeType
        && kmimeType->boundary() != boundary) {
        // KMime does not decode a boundary written in RFC 2231 form: hand it the decoded one.
        reparsed.reset(new KMime::Content);
        parseAsWritten(*reparsed, "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\n\n" + content->encodedBody());
        children = reparsed->contents();
    }
    if (type.matches("multipart") && !children.isEmpty() && !content->bodyIsMessage()) {
        p->multipartType = multipartTypeOf(type.subType());
        const bool digest = (p->multipartType == QMailMessagePartContainer::MultipartDigest);
        p->parts.reserve(children.size());
        for (KMime::Content *child : qAsConst(children)) {
            if (isNoPart(child, child == children.last(), source.lfText, boundary))
                continue;
            QMailMessagePart part;
            fillContainer(part, child, digest, false, source);
            p->parts.append(part);
        }
        return;
    }

    // A single part, or a multipart whose parts could not be found: keep its text as body
    // so that nothing is lost.
    p->multipartType = QMailMessagePartContainer::MultipartNone;
    QByteArray encoded = content->bodyIsMessage() ? content->encodedBody() : content->body();
    // KMime hands a body that begins with an empty line one line end too many.
    if (encoded.startsWith('\n'))
        encoded.remove(0, 1);
    // A message's own body is taken as written, line ends included.
    if (isMessage)
        encoded = rawBodyOf(source.text);
    // A message without body text has no body, and its fields stay as written.
    if (isMessage && encoded.isEmpty())
        return;
    QMailMessageBody::TransferEncoding encoding = container.transferEncoding();
    if (encoding == QMailMessageBody::NoEncoding)
        encoding = QMailMessageBody::SevenBit;
    // A message's own body has its line ends made CRLF; a part keeps those of the message.
    p->body = isMessage ? QMailMessageBody::fromData(encoded, type, encoding, QMailMessageBody::AlreadyEncoded)
                        : QMailMessagePartContainerPrivate::parsedBody(source.crlf ? lfToCrlf(encoded) : encoded, type, encoding);
    p->hasBody = true;
    // As setBody() does: the fields say what the body is.
    p->setField(contentTypeField, p->body.contentType().toString(false, false));
    p->setField("Content-Transfer-Encoding", QmfMessageCodec::encodingName(encoding));
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

// Markup reduced to its text, well enough for a preview line.
QString htmlText(QString html)
{
    static const QRegularExpression hiddenBlocks(QStringLiteral("<\\s*(style|head|form|script)[^<]*<\\s*/\\s*\\1\\s*>"),
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<(.)[^>]*>"));
    html.remove(hiddenBlocks);
    html.remove(tags);
    static const struct {
        const char *entity;
        const char *text;
    } entities[] = {{"&quot;", "\""}, {"&nbsp;", " "}, {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}};
    for (const auto &entity : entities)
        html.replace(QLatin1String(entity.entity), QLatin1String(entity.text), Qt::CaseInsensitive);
    static const QRegularExpression numeric(QStringLiteral("&#(\\d+);"));
    QRegularExpressionMatch match;
    while ((match = numeric.match(html)).hasMatch())
        html.replace(match.capturedStart(), match.capturedLength(), QChar(match.captured(1).toUInt()));
    return html;
}

// The start of the text a reader sees first: the plain text body, else the HTML one
// (always the HTML root of a related set).
QString previewOf(const QMailMessage &message)
{
    const int maxLength = 280;
    QMailMessagePartContainer *html = message.findHtmlContainer();
    QMailMessagePartContainer *plain = message.findPlainTextContainer();
    const bool related = message.multipartType() == QMailMessagePartContainer::MultipartRelated;
    if (related && html)
        plain = nullptr;
    if (plain && plain->hasBody())
        return plain->body().data().left(maxLength);
    if (html && (related || html->hasBody()))
        return htmlText(html->body().data()).left(maxLength);
    return QString();
}

bool hasEightBitBytes(const QByteArray &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](char c) { return uchar(c) >= 0x80; });
}

// The text of the header fields people read (subject, names). A field written in raw 8-bit,
// against RFC 2047 but common, is read as the platform library reads it: in the message's
// charset; when it names none, as detected, else in the charset of its first plain text
// part, else of its first HTML part. 8-bit text where ASCII is declared is mislabelled: it
// is read as Latin-1 rather than dropped.
class HeaderText
{
public:
    explicit HeaderText(const QMailMessage &message)
        : m_message(message), m_charset(message.contentType().charset())
    {
        if (m_charset.isEmpty()) {
            const QMailMessagePartContainer *text = message.findPlainTextContainer();
            if (!text)
                text = message.findHtmlContainer();
            if (text)
                m_partCharset = text->contentType().charset();
        } else if (m_charset.toLower().contains("ascii")) {
            m_charset.clear();
        }
    }

    QString operator()(const QString &name) const
    {
        const QByteArray raw = QMailMessagePartContainerPrivate::of(m_message)->fieldValue(name.toLatin1()).trimmed();
        return hasEightBitBytes(raw) ? QmfMessageCodec::toUnicode(raw, m_charset, m_partCharset) : m_message.headerFieldText(name);
    }

private:
    const QMailMessage &m_message;
    QByteArray m_charset;
    QByteArray m_partCharset;
};

void fillMetaData(QMailMessage &message, int size)
{
    message.setMessageType(QMailMessage::Email);
    const HeaderText headerText(message);
    const QString from = headerText(QStringLiteral("From"));
    message.QMailMessageMetaData::setFrom(from.isEmpty() ? QMailAddress() : QMailAddress(from));
    message.QMailMessageMetaData::setSubject(headerText(QStringLiteral("Subject")));
    message.QMailMessageMetaData::setDate(dateOf(message));
    QList<QMailAddress> recipients;
    for (const char *field : {"To", "Cc", "Bcc"})
        recipients += QMailAddress::fromStringList(headerText(QString::fromLatin1(field)));
    message.QMailMessageMetaData::setRecipients(recipients);
    message.setRfcId(message.headerFieldText(QStringLiteral("Message-ID")).trimmed());
    message.setListId(message.headerFieldText(QStringLiteral("List-ID")).trimmed());
    message.setSize(uint(qMax(0, size)));
    message.setContent(contentCategory(message));
    message.setPreview(previewOf(message));

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

} // namespace

void QMailMessagePartContainerPrivate::parseMultipartBody(QMailMessagePartContainer &container, const QByteArray &body,
                                                          const QMailMessageContentType &type)
{
    Source source;
    source.text = body;
    source.lfText = toLineFeeds(body);
    source.crlf = onlyCrlf(body);
    KMime::Content content;
    parseAsWritten(content, "Content-Type: " + type.toString(false) + "\n\n" + source.lfText);
    const QVector<KMime::Content *> children = content.contents();
    QMailMessagePartContainerPrivate *p = of(container);
    p->parts.clear();
    const bool digest = (p->multipartType == QMailMessagePartContainer::MultipartDigest);
    for (KMime::Content *child : children) {
        QMailMessagePart part;
        fillContainer(part, child, digest, false, source);
        p->parts.append(part);
    }
    p->placeAllParts();
}

namespace QmfMimeParser {

void parseMessage(QMailMessage &message, const QByteArray &text)
{
    KMime::Content content;
    const QByteArray lfText = toLineFeeds(text);
    parseAsWritten(content, lfText);
    const QByteArray repaired = withoutRepeatedDelimiters(lfText, &content);
    if (!repaired.isEmpty())
        parseAsWritten(content, repaired);
    Source source;
    source.text = text;
    source.lfText = repaired.isEmpty() ? lfText : repaired;
    source.crlf = onlyCrlf(text);
    fillContainer(message, &content, false, true, source);
    QMailMessagePartContainerPrivate::of(message)->placeAllParts();
    fillMetaData(message, text.size());
    QMailMessagePartContainerPrivate::of(message)->modified = false;
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

} // namespace QmfMimeParser
