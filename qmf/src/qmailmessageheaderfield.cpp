#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include "qmailcodec.h"

#include <QDataStream>
#include <QDebug>
#include <QRegularExpression>
#include <QTextCodec>

#include <cctype>

namespace {

const QByteArray contentTypeName("Content-Type");
const QByteArray contentDispositionName("Content-Disposition");

QByteArray unquoted(const QByteArray &value)
{
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        return value.mid(1, value.size() - 2);
    return value;
}

QByteArray quoted(const QByteArray &value)
{
    QByteArray inner = value;
    if (inner.startsWith('"'))
        inner.remove(0, 1);
    if (inner.endsWith('"'))
        inner.chop(1);
    return '"' + inner + '"';
}

// A parameter value as written: quoted when it holds white space or a MIME special.
QByteArray protectedValue(const QByteArray &value)
{
    static const QByteArray specials("<>[]()?:;@\\,=/");
    for (const char c : value) {
        if (QChar::fromLatin1(c).isSpace() || specials.contains(c))
            return quoted(value);
    }
    return value;
}

// How a parameter name written as "name", "name*", "name*N" or "name*N*" relates to the
// parameter it is a part of (RFC 2231).
struct ParameterName {
    QByteArray base;
    int section = 0;
    bool encoded = false;
    bool extended = false;
    bool valid = false;
};

ParameterName parameterName(const QByteArray &written)
{
    static const QRegularExpression extension(QStringLiteral("^(?:\\*(\\d+))?(\\*?)$"));
    ParameterName result;
    const QByteArray name = written.trimmed();
    const int star = name.indexOf('*');
    result.base = (star < 0 ? name : name.left(star)).trimmed();
    if (star < 0) {
        result.valid = true;
        return result;
    }
    const QRegularExpressionMatch match = extension.match(QString::fromLatin1(name.mid(star)));
    if (match.hasMatch()) {
        result.valid = true;
        result.extended = true;
        result.section = match.captured(1).toInt();
        result.encoded = !match.captured(2).isEmpty();
    }
    return result;
}

// Whether a parameter written as `written` is (a section of) the parameter `name`.
bool isParameter(const QByteArray &written, const QByteArray &name, bool *encoded = nullptr)
{
    const ParameterName parsed = parameterName(written);
    if (!parsed.valid || parsed.base.compare(name.trimmed(), Qt::CaseInsensitive) != 0)
        return false;
    if (encoded)
        *encoded = parsed.encoded;
    return true;
}

QByteArray charsetFor(const QString &text)
{
    bool latin1 = false;
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return "UTF-8";
        if (c.unicode() > 0x7f)
            latin1 = true;
    }
    return latin1 ? QByteArray("ISO-8859-1") : QByteArray();
}

// Text that must be ASCII, with whatever is not dropped.
QByteArray asciiOnly(const QString &text)
{
    QByteArray result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            result.append(char(c.unicode()));
    }
    return result;
}

QByteArray bytesIn(const QString &text, const QByteArray &charset)
{
    if (!charset.isEmpty() && !charset.toLower().contains("ascii")) {
        if (QTextCodec *codec = QMailCodec::codecForName(charset))
            return codec->fromUnicode(text);
    }
    return asciiOnly(text);
}

// One run of text as encoded words of at most 75 characters: base64 for UTF-8, "Q" for
// the ISO-8859 charsets. Text that needs no charset stays as it is.
QByteArray encodedWords(const QString &text, const QByteArray &givenCharset, bool *encoded)
{
    const QByteArray charset = givenCharset.isEmpty() ? charsetFor(text) : givenCharset;
    *encoded = true;
    // Room for the encoded text in a word of 75 characters; a charset name too long for any
    // still leaves some, so the text is always consumed.
    const int room = qMax(8, 75 - 7 - charset.size());
    QList<QByteArray> words;
    char scheme = 'B';
    if (charset.toLower().startsWith("utf-8")) {
        // Whole characters per word: a cut never falls inside a UTF-8 sequence.
        const int maxBytes = room / 4 * 3;
        QByteArray rest = text.toUtf8();
        while (rest.size() > maxBytes) {
            int cut = maxBytes;
            while (cut > 0 && (uchar(rest.at(cut)) & 0xc0) == 0x80)
                --cut;
            if (cut == 0)
                cut = maxBytes;
            words.append(rest.left(cut));
            rest = rest.mid(cut);
        }
        if (!rest.isEmpty() || words.isEmpty())
            words.append(rest);
        for (QByteArray &word : words)
            word = QMailBase64Codec(QMailBase64Codec::Binary, room).encode(word);
    } else if (charset.toLower().startsWith("iso-8859-")) {
        scheme = 'Q';
        QMailQuotedPrintableCodec codec(QMailQuotedPrintableCodec::Text, QMailQuotedPrintableCodec::Rfc2047, room);
        const QByteArray lines = codec.encode(text, charset);
        // The codec's soft line breaks mark where one word ends and the next begins.
        int start = 0;
        for (int softBreak; (softBreak = lines.indexOf("=\r\n", start)) >= 0; start = softBreak + 3)
            words.append(lines.mid(start, softBreak - start));
        words.append(lines.mid(start));
    } else {
        *encoded = false;
        return asciiOnly(text);
    }
    QByteArray result;
    for (const QByteArray &word : qAsConst(words)) {
        if (!result.isEmpty())
            result.append(' ');
        result.append("=?" + charset + '?' + scheme + '?' + word + "?=");
    }
    return result;
}

// Header text as a sequence of tokens: runs of white space, words, and double quotes (each
// quote a token of its own). A backslash keeps the character after it from ending a token.
enum TokenKind { Blank, Word, Quote };
typedef QPair<TokenKind, QString> Token;

QList<Token> tokens(const QString &text)
{
    QList<Token> result;
    if (text.isEmpty())
        return result;
    const auto kindOf = [](QChar c, bool escaped) {
        return (c == QLatin1Char('"') && !escaped) ? Quote : (c.isSpace() ? Blank : Word);
    };
    TokenKind kind = kindOf(text.at(0), false);
    int start = 0;
    bool escaped = false;
    for (int i = 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!escaped && c == QLatin1Char('\\')) {
            escaped = true;
            continue;
        }
        const bool ends = (kind == Quote) || (kind == Blank && !c.isSpace())
                          || (kind == Word && (c.isSpace() || (c == QLatin1Char('"') && !escaped)));
        if (ends) {
            result.append(qMakePair(kind, text.mid(start, i - start)));
            kind = kindOf(c, escaped);
            start = i;
        }
        escaped = false;
    }
    result.append(qMakePair(kind, text.mid(start)));
    return result;
}

// The bytes and charset of one encoded word "=?charset?B|Q?text?=".
QPair<QByteArray, QByteArray> decodedWord(const QByteArray &word)
{
    const int start = word.indexOf("=?");
    const int charsetEnd = start < 0 ? -1 : word.indexOf('?', start + 2);
    const int schemeEnd = charsetEnd < 0 ? -1 : word.indexOf('?', charsetEnd + 1);
    const int end = word.lastIndexOf("?=");
    if (schemeEnd < 0 || end <= schemeEnd)
        return {};
    const QByteArray charset = unquoted(word.mid(start + 2, charsetEnd - start - 2));
    const QByteArray scheme = word.mid(charsetEnd + 1, schemeEnd - charsetEnd - 1).toUpper();
    const QByteArray text = word.mid(schemeEnd + 1, end - schemeEnd - 1);
    if (scheme == "Q")
        return {QMailQuotedPrintableCodec(QMailQuotedPrintableCodec::Text, QMailQuotedPrintableCodec::Rfc2047).decode(text), charset};
    if (scheme == "B")
        return {QMailBase64Codec(QMailBase64Codec::Binary).decode(text), charset};
    return {};
}

QString textOf(const QByteArray &bytes, const QByteArray &charset)
{
    if (bytes.isEmpty())
        return QString();
    QTextCodec *codec = QMailCodec::codecForName(charset);
    if (!codec)
        codec = QTextCodec::codecForUtfText(bytes, QTextCodec::codecForName("UTF-8"));
    return codec->toUnicode(bytes);
}

} // namespace

QString QmfMessageCodec::toUnicode(const QByteArray &bytes, const QByteArray &charset, const QByteArray &fallbackCharset)
{
    if (!charset.isEmpty() && !charset.toLower().contains("ascii")) {
        if (QTextCodec *codec = QMailCodec::codecForName(charset))
            return codec->toUnicode(bytes);
        qWarning() << "QMailMessage: no codec for charset" << charset << "; reading the text as Latin-1";
    } else {
        const QByteArray detected = QMailCodec::autoDetectEncoding(bytes).toLatin1();
        if (!detected.isEmpty() && !detected.toUpper().startsWith("ISO-8859-"))
            return QMailCodec::codecForName(detected)->toUnicode(bytes);
        if (QTextCodec *codec = QMailCodec::codecForName(fallbackCharset))
            return codec->toUnicode(bytes);
        // Text declared ASCII has no 8-bit characters to give.
        if (!charset.isEmpty())
            return QString::fromLatin1(asciiOnly(QString::fromLatin1(bytes)));
    }
    // Undeclared 8-bit text is read as Latin-1 rather than dropped.
    return QString::fromLatin1(bytes);
}

QMailMessageHeaderField::QMailMessageHeaderField()
    : d(new QMailMessageHeaderFieldPrivate)
{
}

QMailMessageHeaderField::QMailMessageHeaderField(const QByteArray &text, FieldType fieldType)
    : d(new QMailMessageHeaderFieldPrivate)
{
    parse(text, fieldType);
}

QMailMessageHeaderField::QMailMessageHeaderField(const QByteArray &name, const QByteArray &text, FieldType fieldType)
    : d(new QMailMessageHeaderFieldPrivate)
{
    d->id = name;
    parse(text, fieldType);
}

QMailMessageHeaderField::QMailMessageHeaderField(const QMailMessageHeaderField &other) = default;
QMailMessageHeaderField::~QMailMessageHeaderField() = default;
QMailMessageHeaderField &QMailMessageHeaderField::operator=(const QMailMessageHeaderField &other) = default;

void QMailMessageHeaderField::parse(const QByteArray &text, FieldType fieldType)
{
    // "Id: content; name=value; ..." with ";" and "=" outside quotes; an id given already
    // makes a leading "Id:" of a structured field redundant text.
    const bool structured = (fieldType == StructuredField);
    d->structured = structured;
    int token = 0;
    int equals = -1;
    bool quotedText = false;
    bool malformed = false;
    const auto piece = [&](int from, int to) { return text.mid(from, to - from).trimmed(); };
    const auto addParameter = [&](int end) {
        const QByteArray name = piece(token, equals);
        const QByteArray value = piece(equals + 1, end);
        if (!name.isEmpty() && !value.isEmpty())
            d->parameters.append(qMakePair(name, unquoted(value)));
    };
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"') {
            quotedText = !quotedText;
        } else if (c == ':' && !quotedText && token == 0) {
            if (d->id.isEmpty()) {
                d->id = piece(0, i);
                token = i + 1;
            } else if (structured) {
                token = i + 1;
            }
        } else if (c == '=' && !quotedText && structured) {
            if (equals < 0)
                equals = i;
        } else if (c == ';' && !quotedText && structured) {
            if (d->content.isEmpty())
                d->content = piece(token, i);
            else if (equals > token && equals + 1 < i)
                addParameter(i);
            else
                malformed = true;
            token = i + 1;
            equals = -1;
        }
    }
    if (token < text.size()) {
        if (d->id.isEmpty())
            d->id = piece(token, text.size());
        else if (d->content.isEmpty())
            d->content = piece(token, text.size());
        else if (equals > token && equals + 1 < text.size() && !malformed)
            addParameter(text.size());
    }
}

bool QMailMessageHeaderField::isNull() const
{
    return d->id.isNull() && d->content.isNull();
}

QByteArray QMailMessageHeaderField::id() const
{
    return d->id;
}

void QMailMessageHeaderField::setId(const QByteArray &text)
{
    d->id = text;
}

QByteArray QMailMessageHeaderField::content() const
{
    return d->content;
}

void QMailMessageHeaderField::setContent(const QByteArray &text)
{
    d->content = text;
}

QByteArray QMailMessageHeaderField::parameter(const QByteArray &name) const
{
    // The sections of a continued parameter, joined in the order written.
    QByteArray result;
    for (const ParameterType &parameter : qAsConst(d->parameters)) {
        if (isParameter(parameter.first, name))
            result.append(parameter.second);
    }
    return result;
}

void QMailMessageHeaderField::setParameter(const QByteArray &name, const QByteArray &value)
{
    if (!d->structured)
        return;
    QByteArray base = name.trimmed();
    const int star = base.indexOf('*');
    const bool encoded = star >= 0;
    if (encoded)
        base.truncate(star);

    // Only the first occurrence of the parameter keeps its place; the others go.
    int position = -1;
    for (int i = 0; i < d->parameters.size();) {
        if (!isParameter(d->parameters.at(i).first, base)) {
            ++i;
        } else if (position < 0) {
            position = i++;
        } else {
            d->parameters.removeAt(i);
        }
    }

    // A value too long for one line is written as numbered sections (RFC 2231), never
    // cutting a "%XX" escape of an encoded value. A name that leaves no room for even one
    // byte per section would make sections without end: the value is then written whole.
    const int maxSection = 78 - 9 - base.size();
    if (maxSection < 1 && !value.isEmpty())
        qWarning() << "QMailMessageHeaderField::setParameter: a name of" << base.size()
                   << "bytes leaves no room for sections; the value is written whole";
    if (value.size() <= maxSection || maxSection < 1) {
        const ParameterType parameter = qMakePair(encoded ? base + '*' : base, value);
        if (position < 0)
            d->parameters.append(parameter);
        else
            d->parameters[position] = parameter;
        return;
    }
    QList<QByteArray> sections;
    for (QByteArray rest = value; !rest.isEmpty();) {
        int cut = maxSection;
        if (encoded && rest.size() > maxSection) {
            // A section shorter than an escape that starts with one holds just the escape.
            const int percent = rest.indexOf('%', qMax(maxSection - 2, 0));
            if (percent >= 0 && percent < maxSection)
                cut = percent > 0 ? percent : 3;
        }
        sections.append(rest.left(cut));
        rest = rest.mid(cut);
    }
    QList<ParameterType> written;
    for (int n = 0; n < sections.size(); ++n) {
        QByteArray sectionName = base + '*' + QByteArray::number(n);
        // Appended sections are each marked encoded; sections replacing an existing
        // parameter only the first, as the platform library writes them.
        if (encoded && (position < 0 || n == 0))
            sectionName.append('*');
        written.append(qMakePair(sectionName, sections.at(n)));
    }
    if (position < 0) {
        d->parameters.append(written);
    } else {
        d->parameters.removeAt(position);
        for (int n = written.size() - 1; n >= 0; --n)
            d->parameters.insert(position, written.at(n));
    }
}

bool QMailMessageHeaderField::isParameterEncoded(const QByteArray &name) const
{
    for (const ParameterType &parameter : qAsConst(d->parameters)) {
        bool encoded = false;
        if (isParameter(parameter.first, name, &encoded))
            return encoded;
    }
    return false;
}

void QMailMessageHeaderField::setParameterEncoded(const QByteArray &name)
{
    for (ParameterType &parameter : d->parameters) {
        bool encoded = false;
        if (isParameter(parameter.first, name, &encoded) && !encoded)
            parameter.first.append('*');
    }
}

QList<QMailMessageHeaderField::ParameterType> QMailMessageHeaderField::parameters() const
{
    // Continued parameters appear once, joined, under their base name.
    QList<ParameterType> result;
    for (const ParameterType &parameter : qAsConst(d->parameters)) {
        const ParameterName name = parameterName(parameter.first);
        if (!name.extended)
            result.append(parameter);
        else if (name.valid && name.section == 0)
            result.append(qMakePair(name.base, this->parameter(name.base)));
    }
    return result;
}

QByteArray QMailMessageHeaderField::toString(bool includeName, bool presentable) const
{
    if (d->id.isEmpty())
        return QByteArray();
    QByteArray result;
    if (includeName)
        result = d->id + ':';
    if (!d->content.isEmpty()) {
        if (includeName)
            result.append(' ');
        result.append(d->content);
    }
    if (d->structured) {
        const QList<ParameterType> shown = presentable ? parameters() : d->parameters;
        for (const ParameterType &parameter : shown)
            result.append("; " + parameter.first + '=' + protectedValue(parameter.second));
    }
    return result;
}

QString QMailMessageHeaderField::decodedContent() const
{
    QString result = decodeContent(d->content);
    if (!d->structured)
        return result;
    for (const ParameterType &parameter : qAsConst(d->parameters)) {
        const QByteArray value = protectedValue(parameter.second);
        result.append(QLatin1String("; ") + QString::fromLatin1(parameter.first) + QLatin1Char('='));
        result.append(parameterName(parameter.first).encoded ? decodeParameter(value) : QString::fromLatin1(value));
    }
    return result;
}

bool QMailMessageHeaderField::operator==(const QMailMessageHeaderField &other) const
{
    return d->id.compare(other.d->id, Qt::CaseInsensitive) == 0 && d->content == other.d->content
           && d->parameters == other.d->parameters;
}

QByteArray QMailMessageHeaderField::encodeWord(const QString &input, const QByteArray &charset)
{
    bool encoded = false;
    return encodedWords(input, charset, &encoded);
}

QString QMailMessageHeaderField::decodeWord(const QByteArray &input)
{
    return decodeContent(input);
}

QByteArray QMailMessageHeaderField::encodeParameter(const QString &input, const QByteArray &charset, const QByteArray &language)
{
    QByteArray useCharset = charset.isEmpty() ? charsetFor(input) : charset;
    const QByteArray bytes = bytesIn(input, useCharset);
    // A language may ride on the charset as "charset*language".
    QByteArray useLanguage = language;
    const int star = useCharset.indexOf('*');
    if (star >= 0) {
        if (useLanguage.isEmpty())
            useLanguage = useCharset.mid(star + 1);
        useCharset.truncate(star);
    }
    static const char hex[] = "0123456789ABCDEF";
    QByteArray result = useCharset + '\'' + useLanguage + '\'';
    for (const char c : bytes) {
        if (isalnum(uchar(c))) {
            result.append(c);
        } else {
            result.append('%');
            result.append(hex[uchar(c) >> 4]);
            result.append(hex[uchar(c) & 0x0f]);
        }
    }
    return result;
}

QString QMailMessageHeaderField::decodeParameter(const QByteArray &input)
{
    // charset'language'text; without the two quotes the whole input is the text.
    QByteArray charset = "us-ascii";
    QByteArray text = input;
    const int first = input.indexOf('\'');
    const int second = first < 0 ? -1 : input.indexOf('\'', first + 1);
    if (second >= 0) {
        charset = input.left(first);
        text = input.mid(second + 1);
    }
    QByteArray bytes;
    bytes.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != '%') {
            bytes.append(text.at(i));
        } else if (i + 2 < text.size()) {
            const QByteArray value = QByteArray::fromHex(text.mid(i + 1, 2));
            bytes.append(value.isEmpty() ? char(0) : value.at(0));
            i += 2;
        } else {
            // An escape cut short by the end of the text is dropped.
            break;
        }
    }
    return QmfMessageCodec::toUnicode(bytes, charset);
}

QByteArray QMailMessageHeaderField::encodeContent(const QString &input, const QByteArray &charset)
{
    // Word by word, so that only what needs it is encoded: addresses and ASCII words stay
    // readable. A quoted string is encoded whole; white space next to encoded words joins
    // the word after it, where it is encoded too.
    QByteArray result;
    bool lastEncoded = false;
    bool inQuotes = false;
    QString quotedRun;
    QString heldBlanks;
    const auto appendWords = [&](const QString &text) {
        const bool previous = lastEncoded;
        const QByteArray words = encodedWords(heldBlanks + text, charset, &lastEncoded);
        heldBlanks.clear();
        if (previous && lastEncoded)
            result.append(' ');
        result.append(words);
    };
    const QList<Token> sequence = tokens(input);
    for (const Token &token : sequence) {
        if (inQuotes) {
            quotedRun.append(token.second);
            if (token.first == Quote) {
                inQuotes = false;
                appendWords(quotedRun);
            }
        } else if (token.first == Quote) {
            quotedRun = token.second;
            inQuotes = true;
        } else if (token.first == Word) {
            appendWords(token.second);
        } else if (lastEncoded) {
            heldBlanks.append(token.second);
        } else {
            result.append(token.second.toLatin1());
        }
    }
    if (inQuotes)
        appendWords(quotedRun);
    return result;
}

QString QMailMessageHeaderField::decodeContent(const QByteArray &input)
{
    // Adjacent encoded words separated by white space only are one text (RFC 2047, 6.2);
    // each run is read in its own charset.
    static const QRegularExpression encodedWord(QStringLiteral("\"?=\\?[^\\s?]+\\?[^\\s?]+\\?[^\\s?]*\\?=\"?"));
    const QString text = QString::fromLatin1(input);
    QString result;
    QByteArray run;
    QByteArray runCharset;
    int position = 0;
    QRegularExpressionMatchIterator it = encodedWord.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QPair<QByteArray, QByteArray> word = decodedWord(input.mid(match.capturedStart(), match.capturedLength()));
        const QString between = text.mid(position, match.capturedStart() - position);
        const bool blankBetween = between.trimmed().isEmpty();
        if (blankBetween && (runCharset.isEmpty() || runCharset == word.second)) {
            run.append(word.first);
        } else {
            result.append(textOf(run, runCharset));
            if (!blankBetween)
                result.append(between);
            run = word.first;
        }
        runCharset = word.second;
        position = match.capturedEnd();
    }
    result.append(textOf(run, runCharset));
    result.append(QStringView(text).mid(position));
    return result;
}

QByteArray QMailMessageHeaderField::removeComments(const QByteArray &input)
{
    QByteArray result;
    result.reserve(input.size());
    int depth = 0;
    bool inQuotes = false;
    bool escaped = false;
    for (const char c : input) {
        if (!escaped && c == '\\') {
            escaped = true;
            continue;
        }
        if (c == '(' && !escaped && !inQuotes) {
            ++depth;
        } else if (c == ')' && !escaped && !inQuotes && depth > 0) {
            --depth;
        } else {
            const bool opens = !inQuotes && c == '"' && !escaped;
            if (opens)
                inQuotes = true;
            if (depth == 0 && (inQuotes || isprint(uchar(c))))
                result.append(c);
            if (inQuotes && !opens && c == '"' && !escaped)
                inQuotes = false;
        }
        escaped = false;
    }
    return result;
}

QByteArray QMailMessageHeaderField::removeWhitespace(const QByteArray &input)
{
    QByteArray result;
    result.reserve(input.size());
    bool inQuotes = false;
    for (int i = 0; i < input.size(); ++i) {
        const char c = input.at(i);
        if (c == '"' && (i == 0 || input.at(i - 1) != '\\'))
            inQuotes = !inQuotes;
        if (inQuotes || !isspace(uchar(c)))
            result.append(c);
    }
    return result;
}

void QMailMessageHeaderField::output(QDataStream &out) const
{
    if (d->id.isEmpty())
        return;
    if (d->structured) {
        qWarning() << "QMailMessageHeaderField::output: only unstructured fields can be written:" << d->id;
        return;
    }
    const QByteArray text = QmfHeaderWriter::field(d->id, d->content);
    out.writeRawData(text.constData(), text.size());
}

namespace QmfHeaderWriter {

QByteArray field(const QByteArray &name, const QByteArray &content)
{
    const int maxLineLength = 78;
    // RFC 5322 allows 998 characters on a line; one is kept for the blank a break inserts.
    const int maxUnbrokenLength = 997;
    const int maxFieldLength = 10000;

    QByteArray result = name + ':';
    if (content.isEmpty())
        return result + "\r\n";
    QByteArray text = ' ' + content;
    if (text.size() > maxFieldLength) {
        qWarning() << "QMailMessageHeaderField: header field" << name << "is longer than" << maxFieldLength
                   << "characters; the rest is dropped";
        text.truncate(maxFieldLength);
    }
    int lineLength = result.size();
    const auto isBlank = [](char c) { return QChar::fromLatin1(c).isSpace(); };
    const auto isSeparator = [](char c) { return c == ';' || c == ','; };
    for (;;) {
        const int room = maxLineLength - lineLength;
        if (text.size() <= room) {
            result.append(text);
            break;
        }
        int breakAt = -1;
        int preferred = -1;
        for (int i = 0; i < text.size() && i < room; ++i) {
            if (!isBlank(text.at(i)))
                continue;
            breakAt = i;
            if (i > 0 && isSeparator(text.at(i - 1)))
                preferred = i;
        }
        if (preferred >= 0)
            breakAt = preferred;
        bool insertBlank = false;
        if (breakAt < 0) {
            // No white space fits: break after the last ";" or "," that does, or anywhere.
            insertBlank = true;
            const int hardRoom = maxUnbrokenLength - lineLength;
            for (int i = 0; i < text.size() && i < hardRoom - 1; ++i) {
                if (isSeparator(text.at(i)))
                    breakAt = i + 1;
            }
            if (breakAt < 0)
                breakAt = hardRoom;
        }
        if (breakAt == 0) {
            result.append("\r\n");
            result.append(text.at(0));
            breakAt = 1;
        } else {
            result.append(text.left(breakAt));
            result.append("\r\n");
            if (insertBlank) {
                result.append(' ');
            } else {
                result.append(text.at(breakAt));
                ++breakAt;
            }
        }
        lineLength = 1;
        text = text.mid(breakAt);
        if (text.isEmpty())
            break;
    }
    return result + "\r\n";
}

} // namespace QmfHeaderWriter

// --- QMailMessageContentType ---

QMailMessageContentType::QMailMessageContentType()
    : QMailMessageHeaderField(contentTypeName, QByteArray())
{
}

QMailMessageContentType::QMailMessageContentType(const QByteArray &type)
    : QMailMessageHeaderField(contentTypeName, QByteArray())
{
    // Blanks around the "/" are forgiven.
    QByteArray content = type.trimmed();
    const int slash = type.indexOf('/');
    if (slash >= 0) {
        content = type.left(slash).trimmed();
        const QByteArray sub = type.mid(slash + 1).trimmed();
        if (!sub.isEmpty())
            content += '/' + sub;
    }
    parse(content, StructuredField);
}

QMailMessageContentType::QMailMessageContentType(const QMailMessageHeaderField &field)
    : QMailMessageHeaderField(field)
{
    QMailMessageHeaderField::setId(contentTypeName);
}

QByteArray QMailMessageContentType::type() const
{
    const QByteArray text = content();
    const int slash = text.indexOf('/');
    return (slash < 0 ? text : text.left(slash)).trimmed();
}

void QMailMessageContentType::setType(const QByteArray &type)
{
    if (type.isEmpty()) {
        setContent(type);
        return;
    }
    if (type.contains(';') || type.contains('/')) {
        qWarning() << "QMailMessageContentType::setType: not a primary type:" << type
                   << "(use setSubType() or setParameter())";
        return;
    }
    const QByteArray sub = subType();
    setContent(sub.isEmpty() ? type : type + '/' + sub);
}

QByteArray QMailMessageContentType::subType() const
{
    const QByteArray text = content();
    const int slash = text.indexOf('/');
    return slash < 0 ? QByteArray() : text.mid(slash + 1).trimmed();
}

void QMailMessageContentType::setSubType(const QByteArray &subType)
{
    const QByteArray primary = type();
    if (primary.isEmpty())
        return;
    setContent(subType.isEmpty() ? primary : primary + '/' + subType);
}

QByteArray QMailMessageContentType::name() const
{
    return parameter("name");
}

void QMailMessageContentType::setName(const QByteArray &name)
{
    setParameter("name", name);
}

QByteArray QMailMessageContentType::boundary() const
{
    // An encoded boundary or charset is only usable as its ASCII characters.
    const QByteArray value = parameter("boundary");
    if (value.isEmpty() || !isParameterEncoded("boundary"))
        return value;
    return asciiOnly(decodeParameter(value));
}

void QMailMessageContentType::setBoundary(const QByteArray &boundary)
{
    setParameter("boundary", boundary);
}

QByteArray QMailMessageContentType::charset() const
{
    const QByteArray value = parameter("charset");
    if (value.isEmpty() || !isParameterEncoded("charset"))
        return value;
    return asciiOnly(decodeParameter(value));
}

void QMailMessageContentType::setCharset(const QByteArray &charset)
{
    setParameter("charset", charset);
}

bool QMailMessageContentType::matches(const QByteArray &primary, const QByteArray &sub) const
{
    return (primary.isEmpty() || type().compare(primary, Qt::CaseInsensitive) == 0)
           && (sub.isEmpty() || subType().compare(sub, Qt::CaseInsensitive) == 0);
}

// --- QMailMessageContentDisposition ---

QMailMessageContentDisposition::QMailMessageContentDisposition()
    : QMailMessageHeaderField(contentDispositionName, QByteArray())
{
}

QMailMessageContentDisposition::QMailMessageContentDisposition(const QByteArray &type)
    : QMailMessageHeaderField(contentDispositionName, type)
{
}

QMailMessageContentDisposition::QMailMessageContentDisposition(DispositionType disposition)
    : QMailMessageHeaderField(contentDispositionName, QByteArray())
{
    setType(disposition);
}

QMailMessageContentDisposition::QMailMessageContentDisposition(const QMailMessageHeaderField &field)
    : QMailMessageHeaderField(field)
{
    QMailMessageHeaderField::setId(contentDispositionName);
}

QMailMessageContentDisposition::DispositionType QMailMessageContentDisposition::type() const
{
    const QByteArray text = content();
    if (text.compare("inline", Qt::CaseInsensitive) == 0)
        return Inline;
    if (text.compare("attachment", Qt::CaseInsensitive) == 0)
        return Attachment;
    return None;
}

void QMailMessageContentDisposition::setType(DispositionType disposition)
{
    switch (disposition) {
    case Inline:
        setContent("inline");
        break;
    case Attachment:
        setContent("attachment");
        break;
    case None:
        setContent(QByteArray());
        break;
    }
}

QByteArray QMailMessageContentDisposition::filename() const
{
    return parameter("filename");
}

void QMailMessageContentDisposition::setFilename(const QByteArray &filename)
{
    setParameter("filename", filename);
}

QMailTimeStamp QMailMessageContentDisposition::creationDate() const
{
    return QMailTimeStamp(QString::fromLatin1(parameter("creation-date")));
}

void QMailMessageContentDisposition::setCreationDate(const QMailTimeStamp &timeStamp)
{
    setParameter("creation-date", asciiOnly(timeStamp.toString()));
}

QMailTimeStamp QMailMessageContentDisposition::modificationDate() const
{
    return QMailTimeStamp(QString::fromLatin1(parameter("modification-date")));
}

void QMailMessageContentDisposition::setModificationDate(const QMailTimeStamp &timeStamp)
{
    setParameter("modification-date", asciiOnly(timeStamp.toString()));
}

QMailTimeStamp QMailMessageContentDisposition::readDate() const
{
    return QMailTimeStamp(QString::fromLatin1(parameter("read-date")));
}

void QMailMessageContentDisposition::setReadDate(const QMailTimeStamp &timeStamp)
{
    setParameter("read-date", asciiOnly(timeStamp.toString()));
}

int QMailMessageContentDisposition::size() const
{
    const QByteArray text = parameter("size");
    if (text.isEmpty())
        return -1;
    return int(text.toUInt());
}

void QMailMessageContentDisposition::setSize(int size)
{
    setParameter("size", QByteArray::number(size));
}
