#include "qmailmessage.h"
#include "qmailmessage_p.h"

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZAVEK_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(ZAVEK_LEAK_CHECKED)
#define ZAVEK_LEAK_CHECKED 1
#endif
#ifdef ZAVEK_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

#include <QDateTime>
#include <QMimeDatabase>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <memory>

// Turns MIME text into the message model. GMime finds the structure (boundaries, header
// fields); this unit only maps each GMime object onto a container, keeping header fields and
// encoded bodies as written so that nothing is decoded before it is asked for.

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

// GMime is set up once per process and never shut down: a parse may run on any thread.
void setUpGMime()
{
    static const bool done = [] {
#ifdef ZAVEK_LEAK_CHECKED
        // GMime's set-up loses a few of its own type registrations, once per process; they
        // are left out of leak checking, which keeps watching everything else.
        __lsan_disable();
        g_mime_init();
        __lsan_enable();
#else
        g_mime_init();
#endif
        // An enclosed message is kept as the text of its part, as written, and is parsed only
        // when it is opened: GMime reads the message types as leaf parts, which keeps that text
        // where its content stream points.
        for (const char *subType : {"rfc822", "news", "global", "partial", "external-body"})
            g_mime_object_register_type("message", subType, GMIME_TYPE_PART);
        return true;
    }();
    Q_UNUSED(done);
}

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template<typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// What a parse reads from: the text as given, the text GMime read (LF line ends; offsets in
// GMime's tree point into it), and whether the text had CRLF line ends only.
struct Source {
    QByteArray text;
    QByteArray parsed;
    bool crlf = false;
};

// GMime's tree of a text with LF line ends; its root is null when GMime finds no header
// field to start with. GMime reads the text in place: a message may carry megabytes of
// attachments, and a copy for the parser would raise the peak memory of a load by the size of
// the message. The stream only reads the bytes it borrows, and the tree (whose content streams
// are windows on them) goes before the text does.
class MimeTree
{
public:
    explicit MimeTree(const QByteArray &lfText)
        : m_bytes(g_byte_array_new())
    {
        setUpGMime();
        m_bytes->data = reinterpret_cast<guint8 *>(const_cast<char *>(lfText.constData()));
        m_bytes->len = guint(lfText.size());
        GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(m_bytes));
        g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream.get()), FALSE);
        GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
        m_root.reset(g_mime_parser_construct_part(parser.get(), nullptr));
    }

    ~MimeTree()
    {
        m_root.reset();
        m_bytes->data = nullptr;
        m_bytes->len = 0;
        g_byte_array_free(m_bytes, TRUE);
    }

    MimeTree(const MimeTree &) = delete;
    MimeTree &operator=(const MimeTree &) = delete;

    GMimeObject *root() const { return m_root.get(); }

private:
    GByteArray *m_bytes;
    GObjectPtr<GMimeObject> m_root;
};

// Header fields in written order, folded lines joined as the layer keeps them.
QList<QMailMessagePartContainerPrivate::RawField> fieldsOf(GMimeObject *object)
{
    QList<QMailMessagePartContainerPrivate::RawField> fields;
    GMimeHeaderList *headers = g_mime_object_get_header_list(object);
    const int count = g_mime_header_list_get_count(headers);
    fields.reserve(count);
    for (int i = 0; i < count; ++i) {
        GMimeHeader *header = g_mime_header_list_get_header_at(headers, i);
        const QByteArray name = QByteArray(g_mime_header_get_raw_name(header)).trimmed();
        QByteArray value(g_mime_header_get_raw_value(header));
        value.replace('\n', QByteArray());
        int start = 0;
        while (start < value.size() && (value.at(start) == ' ' || value.at(start) == '\t'))
            ++start;
        value.remove(0, start);
        if (value.endsWith('\r'))
            value.chop(1);
        if (!name.isEmpty())
            fields.append(qMakePair(name, value));
    }
    return fields;
}

QByteArray streamBytes(GMimeStream *stream)
{
    GObjectPtr<GMimeStream> copy(g_mime_stream_mem_new());
    g_mime_stream_reset(stream);
    g_mime_stream_write_to_stream(stream, copy.get());
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(copy.get()));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), int(bytes->len));
}

// The body of a part or multipart as written, without its header.
QByteArray bodyAsWritten(GMimeObject *object, const Source &source)
{
    if (GMIME_IS_PART(object)) {
        GMimeDataWrapper *content = g_mime_part_get_content(GMIME_PART(object));
        if (!content)
            return QByteArray();
        GMimeStream *stream = g_mime_data_wrapper_get_stream(content);
        // The content is a window on the parsed text; read it from there without a copy in between.
        if (stream->bound_start >= 0 && stream->bound_end >= stream->bound_start && stream->bound_end <= source.parsed.size())
            return source.parsed.mid(int(stream->bound_start), int(stream->bound_end - stream->bound_start));
        return streamBytes(stream);
    }
    if (GMIME_IS_MULTIPART(object)) {
        // A multipart is read as a body only when GMime found none of its delimiters (the
        // layer and GMime agree on which types are multipart): its whole text is the prologue.
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        return QByteArray(g_mime_multipart_get_prologue(multipart)) + QByteArray(g_mime_multipart_get_epilogue(multipart));
    }
    return QByteArray();
}

// A message may carry megabytes of attachments, so the helpers below walk the whole text only
// line end to line end with memchr: substring searches would cost more than the parse itself.

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

// Whether every line of the text ends in CRLF: then the bodies of its parts, which GMime
// is given with LF line ends, get their CRLF back.
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
    if (!containsChar(text, '\n')) {
        QByteArray lf = text;
        return lf.replace('\r', '\n');
    }
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

// Where the first header field of a text starts, past lines that are not fields; -1 when
// the header (up to the first empty line) holds none.
int firstFieldLine(const QByteArray &lfText)
{
    static const QRegularExpression field(QStringLiteral("^[!-9;-~]+[ \\t]*:"));
    for (int start = 0; start < lfText.size();) {
        int end = lfText.indexOf('\n', start);
        if (end < 0)
            end = lfText.size();
        if (end == start)
            return -1;
        if (field.match(QString::fromLatin1(lfText.constData() + start, end - start)).hasMatch())
            return start;
        start = end + 1;
    }
    return -1;
}

// As the platform library reads a multipart, no part comes of header fields with no empty
// line after them, cut off by the next delimiter: GMime gives such a part no content.
bool isNoPart(GMimeObject *child)
{
    return GMIME_IS_PART(child) && !g_mime_part_get_content(GMIME_PART(child));
}

// Fills a container from GMime's object of it; a null object is text with no header.
void fillContainer(QMailMessagePartContainer &container, GMimeObject *object, bool inDigest, bool isMessage,
                   const Source &source)
{
    QMailMessagePartContainerPrivate *p = QMailMessagePartContainerPrivate::of(container);
    if (object)
        p->fields = fieldsOf(object);

    QMailMessageContentType type = effectiveType(container, inDigest);
    if (type.toString(false, false) != container.contentType().toString(false, false))
        p->setField(contentTypeField, type.toString(false, false));

    GMimeMultipart *multipart = GMIME_IS_MULTIPART(object) ? GMIME_MULTIPART(object) : nullptr;
    const int count = multipart ? g_mime_multipart_get_count(multipart) : 0;
    if (type.matches("multipart") && count > 0) {
        p->multipartType = multipartTypeOf(type.subType());
        const bool digest = (p->multipartType == QMailMessagePartContainer::MultipartDigest);
        p->parts.reserve(count);
        for (int i = 0; i < count; ++i) {
            GMimeObject *child = g_mime_multipart_get_part(multipart, i);
            if (isNoPart(child))
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
    // A message's own body is taken as written, line ends included.
    const QByteArray encoded = isMessage ? rawBodyOf(source.text) : (object ? bodyAsWritten(object, source) : QByteArray());
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
    source.parsed = "Content-Type: " + type.toString(false) + "\n\n" + toLineFeeds(body);
    source.crlf = onlyCrlf(body);
    const MimeTree tree(source.parsed);
    QMailMessagePartContainerPrivate *p = of(container);
    p->parts.clear();
    const bool digest = (p->multipartType == QMailMessagePartContainer::MultipartDigest);
    GMimeMultipart *multipart = GMIME_IS_MULTIPART(tree.root()) ? GMIME_MULTIPART(tree.root()) : nullptr;
    const int count = multipart ? g_mime_multipart_get_count(multipart) : 0;
    for (int i = 0; i < count; ++i) {
        QMailMessagePart part;
        fillContainer(part, g_mime_multipart_get_part(multipart, i), digest, false, source);
        p->parts.append(part);
    }
    p->placeAllParts();
}

namespace {

// GMime's tree of a message's text (LF line ends). GMime starts a header only at a field;
// the layer drops lines that are not fields wherever they are, so when the text begins
// with such lines they go from *lfText and the rest is read.
std::unique_ptr<MimeTree> messageTree(QByteArray *lfText)
{
    std::unique_ptr<MimeTree> tree(new MimeTree(*lfText));
    const int firstField = tree->root() ? 0 : firstFieldLine(*lfText);
    if (firstField > 0) {
        tree.reset();
        *lfText = lfText->mid(firstField);
        tree.reset(new MimeTree(*lfText));
    }
    return tree;
}

} // namespace

namespace QmfMimeParser {

void parseMessage(QMailMessage &message, const QByteArray &text)
{
    Source source;
    source.text = text;
    source.parsed = toLineFeeds(text);
    source.crlf = onlyCrlf(text);
    const std::unique_ptr<MimeTree> tree = messageTree(&source.parsed);
    fillContainer(message, tree->root(), false, true, source);
    QMailMessagePartContainerPrivate::of(message)->placeAllParts();
    fillMetaData(message, text.size());
    QMailMessagePartContainerPrivate::of(message)->modified = false;
}

QString enclosedSubject(const QByteArray &text)
{
    // Only the header is read: a name does not need the enclosed message's parts.
    QByteArray header = toLineFeeds(text);
    const int headEnd = header.indexOf("\n\n");
    if (headEnd >= 0)
        header.truncate(headEnd + 1);
    const std::unique_ptr<MimeTree> tree = messageTree(&header);
    if (!tree->root())
        return QString();
    const auto fields = fieldsOf(tree->root());
    for (const auto &field : fields) {
        if (field.first.compare("Subject", Qt::CaseInsensitive) == 0)
            return QMailMessageHeaderField::decodeContent(field.second.trimmed());
    }
    return QString();
}

} // namespace QmfMimeParser
