#include "qmailmessage_p.h"

#include <QTextCodec>

namespace {

const char hexDigits[] = "0123456789ABCDEF";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray wrappedBase64(const QByteArray &decoded)
{
    const QByteArray plain = decoded.toBase64();
    QByteArray result;
    result.reserve(plain.size() + plain.size() / 76 + 1);
    for (int i = 0; i < plain.size(); i += 76) {
        result.append(plain.constData() + i, qMin(76, plain.size() - i));
        result.append('\n');
    }
    return result;
}

QTextCodec *codecFor(const QByteArray &charset)
{
    const QByteArray lower = charset.trimmed().toLower();
    if (lower.isEmpty() || lower == "us-ascii" || lower == "ascii" || lower == "utf-8" || lower == "utf8")
        return nullptr;
    return QTextCodec::codecForName(lower);
}

} // namespace

const char qmfPartialContentField[] = "X-qmf-internal-partial-content";

namespace QmfMessageCodec {

QByteArray quotedPrintableEncode(const QByteArray &input)
{
    QByteArray result;
    result.reserve(input.size() + input.size() / 8);
    int lineLength = 0;
    const auto appendEncoded = [&](uchar c) {
        if (lineLength + 3 > 75) {
            result.append("=\n");
            lineLength = 0;
        }
        result.append('=');
        result.append(hexDigits[c >> 4]);
        result.append(hexDigits[c & 0xf]);
        lineLength += 3;
    };
    for (int i = 0; i < input.size(); ++i) {
        const uchar c = uchar(input.at(i));
        if (c == '\n') {
            result.append('\n');
            lineLength = 0;
            continue;
        }
        if (c == '\r' && i + 1 < input.size() && input.at(i + 1) == '\n')
            continue;
        const bool atLineEnd = (i + 1 == input.size()) || input.at(i + 1) == '\n' || input.at(i + 1) == '\r';
        const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !atLineEnd);
        if (!literal) {
            appendEncoded(c);
            continue;
        }
        if (lineLength + 1 > 75) {
            result.append("=\n");
            lineLength = 0;
        }
        result.append(char(c));
        ++lineLength;
    }
    return result;
}

QByteArray quotedPrintableDecode(const QByteArray &input)
{
    QByteArray result;
    result.reserve(input.size());
    const int size = input.size();
    for (int i = 0; i < size; ++i) {
        const char c = input.at(i);
        if (c != '=') {
            result.append(c);
            continue;
        }
        // Soft line break: "=" followed by optional blanks and the end of the line.
        int j = i + 1;
        while (j < size && (input.at(j) == ' ' || input.at(j) == '\t'))
            ++j;
        if (j < size && (input.at(j) == '\n' || input.at(j) == '\r')) {
            if (input.at(j) == '\r' && j + 1 < size && input.at(j + 1) == '\n')
                ++j;
            i = j;
            continue;
        }
        if (j >= size) {
            i = j;
            continue;
        }
        if (i + 2 < size) {
            const int high = hexValue(input.at(i + 1));
            const int low = hexValue(input.at(i + 2));
            if (high >= 0 && low >= 0) {
                result.append(char(high * 16 + low));
                i += 2;
                continue;
            }
        }
        // A stray "=" is kept as it is, as readers commonly do.
        result.append(c);
    }
    return result;
}

QByteArray encode(const QByteArray &decoded, QMailMessageBody::TransferEncoding encoding)
{
    switch (encoding) {
    case QMailMessageBody::Base64:
        return wrappedBase64(decoded);
    case QMailMessageBody::QuotedPrintable:
        return quotedPrintableEncode(decoded);
    default:
        return decoded;
    }
}

QByteArray decode(const QByteArray &encoded, QMailMessageBody::TransferEncoding encoding)
{
    switch (encoding) {
    case QMailMessageBody::Base64:
        return QByteArray::fromBase64(encoded);
    case QMailMessageBody::QuotedPrintable:
        return quotedPrintableDecode(encoded);
    default:
        return encoded;
    }
}

QMailMessageBody::TransferEncoding encodingFromName(const QByteArray &name)
{
    const QByteArray lower = name.trimmed().toLower();
    if (lower == "7bit")
        return QMailMessageBody::SevenBit;
    if (lower == "8bit")
        return QMailMessageBody::EightBit;
    if (lower == "base64")
        return QMailMessageBody::Base64;
    if (lower == "quoted-printable")
        return QMailMessageBody::QuotedPrintable;
    if (lower == "binary")
        return QMailMessageBody::Binary;
    return QMailMessageBody::NoEncoding;
}

QByteArray encodingName(QMailMessageBody::TransferEncoding encoding)
{
    switch (encoding) {
    case QMailMessageBody::SevenBit:
        return "7bit";
    case QMailMessageBody::EightBit:
        return "8bit";
    case QMailMessageBody::Base64:
        return "base64";
    case QMailMessageBody::QuotedPrintable:
        return "quoted-printable";
    case QMailMessageBody::Binary:
        return "binary";
    case QMailMessageBody::NoEncoding:
        break;
    }
    return QByteArray();
}

QString toUnicode(const QByteArray &bytes, const QByteArray &charset)
{
    if (QTextCodec *codec = codecFor(charset))
        return codec->toUnicode(bytes);
    // No charset, US-ASCII or UTF-8: take UTF-8, and Latin-1 for bytes that are not
    // UTF-8, so undeclared 8-bit text still reads sensibly.
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state;
    const QString text = utf8->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return text;
    return QString::fromLatin1(bytes);
}

QByteArray fromUnicode(const QString &text, const QByteArray &charset)
{
    if (QTextCodec *codec = codecFor(charset))
        return codec->fromUnicode(text);
    return text.toUtf8();
}

} // namespace QmfMessageCodec
