#include "qmailcodec.h"

#include <QDebug>
#include <QIODevice>
#include <QRegularExpression>
#include <QTextCodec>

#include <cctype>

// The streaming chunk size and the default line lengths, as the platform library exports them
// (its unit tests vary them; nothing else should).
int QMF_EXPORT MaxCharacters = QMailCodec::ChunkCharacters;
int QMF_EXPORT Base64MaxLineLength = 76;
int QMF_EXPORT QuotedPrintableMaxLineLength = 74;

namespace {

const unsigned char CR = '\r';
const unsigned char LF = '\n';
const char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char hexDigits[] = "0123456789ABCDEF";

void writeAll(QDataStream &out, const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        out.writeRawData(bytes.constData(), bytes.size());
}

bool isLineEnd(unsigned char c)
{
    return c == CR || c == LF;
}

// 0-63 for the alphabet, 64 for the padding "=", 65 for anything else.
int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return c == '=' ? 64 : 65;
}

// Non-hex digits count as 0, as the platform's reader takes them.
int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

void appendBase64Group(QByteArray &out, const unsigned char *group, int length)
{
    const unsigned char b0 = group[0];
    const unsigned char b1 = length > 1 ? group[1] : 0;
    const unsigned char b2 = length > 2 ? group[2] : 0;
    out.append(base64Alphabet[b0 >> 2]);
    out.append(base64Alphabet[((b0 & 0x03) << 4) | (b1 >> 4)]);
    out.append(length > 1 ? base64Alphabet[((b1 & 0x0f) << 2) | (b2 >> 6)] : '=');
    out.append(length > 2 ? base64Alphabet[b2 & 0x3f] : '=');
}

} // namespace

// --- QMailCodec ---

QMailCodec::~QMailCodec() = default;

void QMailCodec::encode(QDataStream &out, QTextStream &in, const QByteArray &charset)
{
    QTextCodec *codec = codecForName(charset);
    if (!codec)
        return;
    QTextEncoder *encoder = codec->makeEncoder(QTextCodec::IgnoreHeader);
    while (!in.atEnd()) {
        const QByteArray bytes = encoder->fromUnicode(in.read(qMax(1, MaxCharacters)));
        encodeChunk(out, reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size(), in.atEnd());
    }
    delete encoder;
}

void QMailCodec::decode(QTextStream &out, QDataStream &in, const QByteArray &charset)
{
    QByteArray decoded;
    {
        QDataStream decodedStream(&decoded, QIODevice::WriteOnly);
        decode(decodedStream, in);
    }
    QTextCodec *codec = codecForName(charset);
    if (!codec)
        codec = QTextCodec::codecForUtfText(decoded, QTextCodec::codecForName("UTF-8"));
    out << codec->toUnicode(decoded);
    out.flush();
}

namespace {

// Hands the stream to convert in chunks of MaxCharacters bytes, the last one marked final.
template <typename Convert>
void inChunks(QDataStream &in, Convert convert)
{
    QByteArray buffer(qMax(1, MaxCharacters), Qt::Uninitialized);
    while (!in.atEnd()) {
        const int length = in.readRawData(buffer.data(), buffer.size());
        if (length < 0)
            break;
        convert(buffer.constData(), length, in.atEnd());
    }
}

// A stream conversion run over a byte array.
template <typename Convert>
QByteArray converted(const QByteArray &input, Convert convert)
{
    QByteArray result;
    {
        QDataStream out(&result, QIODevice::WriteOnly);
        QDataStream in(input);
        convert(out, in);
    }
    return result;
}

} // namespace

void QMailCodec::encode(QDataStream &out, QDataStream &in)
{
    inChunks(in, [&](const char *bytes, int length, bool final) {
        encodeChunk(out, reinterpret_cast<const unsigned char *>(bytes), length, final);
    });
}

void QMailCodec::decode(QDataStream &out, QDataStream &in)
{
    inChunks(in, [&](const char *bytes, int length, bool final) { decodeChunk(out, bytes, length, final); });
}

QByteArray QMailCodec::encode(const QString &in, const QByteArray &charset)
{
    QByteArray result;
    {
        QDataStream out(&result, QIODevice::WriteOnly);
        QString text = in;
        QTextStream input(&text, QIODevice::ReadOnly);
        encode(out, input, charset);
    }
    return result;
}

QString QMailCodec::decode(const QByteArray &in, const QByteArray &charset)
{
    QString result;
    {
        QTextStream out(&result, QIODevice::WriteOnly);
        QDataStream input(in);
        decode(out, input, charset);
    }
    return result;
}

QByteArray QMailCodec::encode(const QByteArray &in)
{
    return converted(in, [this](QDataStream &out, QDataStream &input) { encode(out, input); });
}

QByteArray QMailCodec::decode(const QByteArray &in)
{
    return converted(in, [this](QDataStream &out, QDataStream &input) { decode(out, input); });
}

QByteArray QMailCodec::bestCompatibleCharset(const QByteArray &charset, bool translateAscii)
{
    QByteArray name = charset.toLower();
    if (name.isEmpty())
        return name;
    // Names that mail software writes for charsets Qt knows by another name or as a superset.
    if (translateAscii && (name.contains("ascii") || name.contains("unicode-1-1-utf-7")))
        return "ISO-8859-1";
    if (name.contains("ks_c_5601"))
        return "EUC-KR";
    if (name == "gb2312" || name == "gbk")
        return "gb18030";
    if (name == "windows-874")
        return "ibm874";
    const int language = name.indexOf('*');
    return language >= 0 ? name.left(language) : name;
}

QTextCodec *QMailCodec::codecForName(const QByteArray &charset, bool translateAscii)
{
    const QByteArray name = bestCompatibleCharset(charset, translateAscii);
    if (name.isEmpty())
        return nullptr;
    QTextCodec *codec = QTextCodec::codecForName(name);
    if (!codec)
        qWarning() << "QMailCodec::codecForName: no codec for charset" << name;
    return codec;
}

void QMailCodec::copy(QDataStream &out, QDataStream &in)
{
    inChunks(in, [&](const char *bytes, int length, bool) { out.writeRawData(bytes, length); });
}

void QMailCodec::copy(QTextStream &out, QDataStream &in, const QByteArray &charset)
{
    QTextCodec *codec = codecForName(charset);
    if (!codec)
        codec = QTextCodec::codecForName("UTF-8");
    QTextDecoder *decoder = codec->makeDecoder();
    inChunks(in, [&](const char *bytes, int length, bool) { out << decoder->toUnicode(bytes, length); });
    delete decoder;
}

QString QMailCodec::autoDetectEncoding(const QByteArray &text)
{
    bool ascii = true;
    for (const char c : text) {
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString();
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(text.constData(), text.size(), &state);
    return (state.invalidChars == 0 && state.remainingChars == 0) ? QStringLiteral("UTF-8") : QString();
}

QString QMailCodec::encodeModifiedUtf7(const QString &text)
{
    QString result;
    int i = 0;
    while (i < text.size()) {
        const ushort c = text.at(i).unicode();
        if (c >= 0x20 && c <= 0x7e) {
            result.append(text.at(i));
            if (c == '&')
                result.append(QLatin1Char('-'));
            ++i;
            continue;
        }
        // A run of other characters: their UTF-16 code units in base64 with ',' for '/'.
        QByteArray units;
        for (; i < text.size() && (text.at(i).unicode() < 0x20 || text.at(i).unicode() > 0x7e); ++i) {
            units.append(char(text.at(i).unicode() >> 8));
            units.append(char(text.at(i).unicode() & 0xff));
        }
        const QByteArray encoded = units.toBase64(QByteArray::OmitTrailingEquals);
        result.append(QLatin1Char('&') + QString::fromLatin1(encoded).replace(QLatin1Char('/'), QLatin1Char(','))
                      + QLatin1Char('-'));
    }
    return result;
}

QString QMailCodec::decodeModifiedUtf7(const QString &text)
{
    static const QRegularExpression shifted(QStringLiteral("&([^&-]*)-"));
    QString result;
    int position = 0;
    QRegularExpressionMatchIterator it = shifted.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        result.append(QStringView(text).mid(position, match.capturedStart() - position));
        const QString encoded = match.captured(1);
        if (encoded.isEmpty()) {
            result.append(QLatin1Char('&'));
        } else {
            QString base64 = encoded;
            base64.replace(QLatin1Char(','), QLatin1Char('/'));
            const QByteArray units = QByteArray::fromBase64(base64.toLatin1());
            for (int i = 0; i + 1 < units.size(); i += 2)
                result.append(QChar(ushort((uchar(units.at(i)) << 8) | uchar(units.at(i + 1)))));
        }
        position = match.capturedEnd();
    }
    result.append(QStringView(text).mid(position));
    return result;
}

// --- QMailBase64Codec ---

QMailBase64Codec::QMailBase64Codec(ContentType content, int maximumLineLength)
    : m_content(content)
    , m_maximumLineLength(maximumLineLength > 0 ? maximumLineLength : Base64MaxLineLength)
    , m_lineBytesLeft(m_maximumLineLength / 4 * 3)
{
}

QString QMailBase64Codec::name() const
{
    return QStringLiteral("QMailBase64Codec");
}

void QMailBase64Codec::encodeChunk(QDataStream &out, const unsigned char *in, int length, bool finalChunk)
{
    // Lines are measured in input bytes: a line holds maximumLineLength / 4 * 3 of them.
    const int bytesPerLine = m_maximumLineLength / 4 * 3;
    QByteArray encoded;
    encoded.reserve(length * 4 / 3 + length / bytesPerLine * 2 + 8);
    for (int i = 0; i < length; ++i) {
        const unsigned char c = in[i];
        --m_lineBytesLeft;
        bool carriedLineFeed = false;
        if (m_content == Text && isLineEnd(c)) {
            if (m_lastEncoded == CR && c == LF) {
                // Already written as part of the CRLF for the CR.
                ++m_lineBytesLeft;
            } else {
                m_group[m_groupLength++] = CR;
                if (m_groupLength < 3)
                    m_group[m_groupLength++] = LF;
                else
                    carriedLineFeed = true;
                --m_lineBytesLeft;
            }
            m_lastEncoded = c;
        } else {
            m_group[m_groupLength++] = c;
        }
        if (m_groupLength == 3) {
            appendBase64Group(encoded, m_group, 3);
            m_groupLength = 0;
            if (m_lineBytesLeft <= 0 && (i + 1 < length || !finalChunk)) {
                encoded.append("\r\n");
                m_lineBytesLeft += bytesPerLine;
            }
        }
        if (carriedLineFeed)
            m_group[m_groupLength++] = LF;
    }
    if (finalChunk && m_groupLength > 0) {
        appendBase64Group(encoded, m_group, m_groupLength);
        m_groupLength = 0;
    }
    writeAll(out, encoded);
}

void QMailBase64Codec::decodeChunk(QDataStream &out, const char *in, int length, bool finalChunk)
{
    QByteArray decoded;
    decoded.reserve(length * 3 / 4 + 3);
    for (int i = 0; i < length; ++i) {
        const int value = base64Value(in[i]);
        if (value > 64)
            continue;
        // Padding is counted for the rest of the run, as the platform's reader does.
        if (value == 64)
            ++m_padding;
        m_quad[m_quadLength++] = uchar(value);
        if (m_quadLength < 4)
            continue;
        m_quadLength = 0;
        const unsigned char bytes[3] = {uchar((m_quad[0] << 2) | ((m_quad[1] >> 4) & 0x03)),
                                        uchar((m_quad[1] << 4) | ((m_quad[2] >> 2) & 0x0f)),
                                        uchar(((m_quad[2] & 0x03) << 6) | (m_quad[3] & 0x3f))};
        for (int b = 0; b < 3 - m_padding; ++b) {
            if (m_content == Text && isLineEnd(bytes[b])) {
                if (!(m_lastDecoded == CR && bytes[b] == LF))
                    decoded.append('\n');
                m_lastDecoded = bytes[b];
            } else {
                decoded.append(char(bytes[b]));
            }
        }
    }
    if (finalChunk && m_quadLength > 0)
        qWarning() << "QMailBase64Codec: the input ends inside a group; its last" << m_quadLength << "characters are dropped";
    writeAll(out, decoded);
}

// --- QMailQuotedPrintableCodec ---

QMailQuotedPrintableCodec::QMailQuotedPrintableCodec(ContentType content, ConformanceType conformance, int maximumLineLength)
    : m_content(content)
    , m_conformance(conformance)
    , m_maximumLineLength(maximumLineLength > 0 ? maximumLineLength : QuotedPrintableMaxLineLength)
    , m_lineCharsLeft(m_maximumLineLength)
{
}

QString QMailQuotedPrintableCodec::name() const
{
    return QStringLiteral("QMailQuotedPrintableCodec");
}

void QMailQuotedPrintableCodec::encodeChunk(QDataStream &out, const unsigned char *in, int length, bool finalChunk)
{
    QByteArray encoded;
    encoded.reserve(length + length / 4);
    const auto softBreak = [&]() {
        encoded.append("=\r\n");
        m_lineCharsLeft = m_maximumLineLength;
    };
    for (int i = 0; i < length; ++i) {
        const unsigned char c = in[i];
        if (m_content == Text && isLineEnd(c)) {
            if (!(m_lastEncoded == CR && c == LF))
                encoded.append("\r\n");
            m_lastEncoded = c;
            m_lineCharsLeft = m_maximumLineLength;
            continue;
        }
        bool escape = c > 0x7e || (c < 0x20 && c != '\t' && c != '\f') || c == '=';
        if (!escape && m_conformance == Rfc2047 && !isalnum(c))
            escape = !QByteArray("!*+-/_ ").contains(char(c));
        // White space must not end a line, where transport may strip it.
        if (!escape && (c == '\t' || c == ' ') && m_lineCharsLeft <= 3)
            escape = true;
        if (c == ' ' && i + 1 < length && isLineEnd(in[i + 1]))
            escape = true;
        int width = escape ? 3 : 1;
        if (width > m_lineCharsLeft) {
            softBreak();
            // At the start of the new line the blank may stand as it is.
            if (c == ' ' || (c == '\t' && m_conformance != Rfc2047))
                width = 1;
        }
        if (width == 1) {
            encoded.append((c == ' ' && m_conformance == Rfc2047) ? '_' : char(c));
        } else {
            encoded.append('=');
            encoded.append(hexDigits[c >> 4]);
            encoded.append(hexDigits[c & 0x0f]);
        }
        m_lineCharsLeft -= width;
        if (m_lineCharsLeft == 0 && !(finalChunk && i + 1 == length))
            softBreak();
        m_lastEncoded = c;
    }
    writeAll(out, encoded);
}

void QMailQuotedPrintableCodec::decodeChunk(QDataStream &out, const char *in, int length, bool finalChunk)
{
    QByteArray decoded;
    decoded.reserve(length);
    int i = 0;
    // An escape sequence begun in the previous chunk.
    while (!m_pendingEscape.isEmpty() && i < length) {
        unsigned char c = uchar(in[i++]);
        if (m_pendingEscape.size() == 1 && isLineEnd(c)) {
            m_pendingEscape.clear();
            if (c == CR && i < length && uchar(in[i]) == LF)
                c = uchar(in[i++]);
            m_lastDecoded = c;
            break;
        }
        m_pendingEscape.append(char(c));
        if (m_pendingEscape.size() == 2)
            m_lastDecoded = c;
        if (m_pendingEscape.size() == 3) {
            decoded.append(char((hexValue(uchar(m_pendingEscape.at(1))) << 4) | hexValue(c)));
            m_pendingEscape.clear();
        }
    }
    while (i < length) {
        unsigned char c = uchar(in[i++]);
        if (c == '=') {
            if (i == length) {
                m_pendingEscape = "=";
            } else {
                c = uchar(in[i++]);
                // "=" before a line end is a soft line break; the LF of its CRLF belongs to
                // it too, also in binary content (where the platform's reader keeps it).
                if (c == CR && i < length && uchar(in[i]) == LF)
                    c = uchar(in[i++]);
                if (!isLineEnd(c)) {
                    if (i == length)
                        m_pendingEscape = QByteArray("=") + char(c);
                    else
                        decoded.append(char((hexValue(c) << 4) | hexValue(uchar(in[i++]))));
                }
            }
        } else if (m_content == Text && isLineEnd(c)) {
            if (!(m_lastDecoded == CR && c == LF))
                decoded.append('\n');
        } else if (c == '_' && m_conformance == Rfc2047) {
            decoded.append(' ');
        } else {
            decoded.append(char(c));
        }
        m_lastDecoded = c;
    }
    if (finalChunk && !m_pendingEscape.isEmpty())
        qWarning() << "QMailQuotedPrintableCodec: the input ends inside an escape sequence";
    writeAll(out, decoded);
}

// --- QMailPassThroughCodec ---

QString QMailPassThroughCodec::name() const
{
    return QStringLiteral("QMailPassThroughCodec");
}

void QMailPassThroughCodec::encodeChunk(QDataStream &out, const unsigned char *in, int length, bool finalChunk)
{
    Q_UNUSED(finalChunk)
    out.writeRawData(reinterpret_cast<const char *>(in), length);
}

void QMailPassThroughCodec::decodeChunk(QDataStream &out, const char *in, int length, bool finalChunk)
{
    Q_UNUSED(finalChunk)
    out.writeRawData(in, length);
}

// --- QMailLineEndingCodec ---

QMailLineEndingCodec::QMailLineEndingCodec() = default;

QString QMailLineEndingCodec::name() const
{
    return QStringLiteral("QMailLineEndingCodec");
}

namespace {

// Every CR, LF or CRLF becomes lineEnd.
QByteArray convertLineEnds(const char *in, int length, unsigned char *lastChar, const char *lineEnd)
{
    QByteArray result;
    result.reserve(length + length / 16);
    for (int i = 0; i < length; ++i) {
        const unsigned char c = uchar(in[i]);
        if (isLineEnd(c)) {
            if (!(*lastChar == CR && c == LF))
                result.append(lineEnd);
        } else {
            result.append(char(c));
        }
        *lastChar = c;
    }
    return result;
}

} // namespace

void QMailLineEndingCodec::encodeChunk(QDataStream &out, const unsigned char *in, int length, bool finalChunk)
{
    Q_UNUSED(finalChunk)
    writeAll(out, convertLineEnds(reinterpret_cast<const char *>(in), length, &m_lastChar, "\r\n"));
}

void QMailLineEndingCodec::decodeChunk(QDataStream &out, const char *in, int length, bool finalChunk)
{
    Q_UNUSED(finalChunk)
    writeAll(out, convertLineEnds(in, length, &m_lastChar, "\n"));
}
