#include "qmailmessage.h"
#include "qmailmessage_p.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

const QByteArray contentTypeName("Content-Type");
const QByteArray contentDispositionName("Content-Disposition");

// Joins folded lines: a line break followed by white space continues the field.
QByteArray unfold(const QByteArray &text)
{
    if (!text.contains('\n') && !text.contains('\r'))
        return text;
    QByteArray result;
    result.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\r' || c == '\n')
            continue;
        result.append(c);
    }
    return result;
}

// Splits at ';' outside double quotes.
QList<QByteArray> splitParameters(const QByteArray &text)
{
    QList<QByteArray> result;
    QByteArray current;
    bool quoted = false;
    bool escaped = false;
    for (const char c : text) {
        if (escaped) {
            escaped = false;
        } else if (quoted && c == '\\') {
            escaped = true;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ';') {
            result.append(current);
            current.clear();
            continue;
        }
        current.append(c);
    }
    result.append(current);
    return result;
}

QByteArray unquote(const QByteArray &value)
{
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
        QByteArray inner;
        inner.reserve(value.size() - 2);
        bool escaped = false;
        for (int i = 1; i < value.size() - 1; ++i) {
            const char c = value.at(i);
            if (!escaped && c == '\\') {
                escaped = true;
                continue;
            }
            escaped = false;
            inner.append(c);
        }
        return inner;
    }
    return value;
}

bool needsQuoting(const QByteArray &value)
{
    if (value.isEmpty())
        return true;
    static const QByteArray specials("()<>@,;:\\\"/[]?= \t");
    for (const char c : value) {
        if (specials.contains(c) || uchar(c) < 0x20 || uchar(c) >= 0x7f)
            return true;
    }
    return false;
}

QByteArray quoted(const QByteArray &value)
{
    QByteArray escaped = value;
    escaped.replace('\\', "\\\\");
    escaped.replace('"', "\\\"");
    return '"' + escaped + '"';
}

// The RFC 2231 section index of "name*2" or "name*2*" relative to base "name", or -1.
int continuationIndex(const QByteArray &lowerName, const QByteArray &lowerBase)
{
    if (!lowerName.startsWith(lowerBase + '*'))
        return -1;
    QByteArray rest = lowerName.mid(lowerBase.size() + 1);
    if (rest.endsWith('*'))
        rest.chop(1);
    if (rest.isEmpty())
        return -1;
    bool ok = false;
    const int index = rest.toInt(&ok);
    return ok && index >= 0 ? index : -1;
}

QString decodeEncodedWord(const QByteArray &charset, char encoding, const QByteArray &text, bool *ok)
{
    QByteArray bytes;
    if (encoding == 'b' || encoding == 'B') {
        bytes = QByteArray::fromBase64(text);
    } else {
        QByteArray qText = text;
        qText.replace('_', ' ');
        bytes = QmfMessageCodec::quotedPrintableDecode(qText);
    }
    QByteArray plainCharset = charset;
    const int languageMark = plainCharset.indexOf('*');
    if (languageMark >= 0)
        plainCharset.truncate(languageMark);
    *ok = true;
    return QmfMessageCodec::toUnicode(bytes, plainCharset);
}

} // namespace

QMailMessageHeaderField::QMailMessageHeaderField()
    : d(new QMailMessageHeaderFieldPrivate)
{
}

QMailMessageHeaderField::QMailMessageHeaderField(const QByteArray &text, FieldType fieldType)
    : d(new QMailMessageHeaderFieldPrivate)
{
    const int colon = text.indexOf(':');
    if (colon > 0) {
        d->id = text.left(colon).trimmed();
        parse(text.mid(colon + 1), fieldType);
    } else {
        parse(text, fieldType);
    }
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
    const QByteArray unfolded = unfold(text);
    d->structured = (fieldType == StructuredField);
    d->parameters.clear();
    if (!d->structured) {
        d->content = unfolded.trimmed();
        return;
    }
    const QList<QByteArray> items = splitParameters(unfolded);
    d->content = items.first().trimmed();
    for (int i = 1; i < items.size(); ++i) {
        const QByteArray item = items.at(i).trimmed();
        if (item.isEmpty())
            continue;
        const int equals = item.indexOf('=');
        if (equals <= 0) {
            // A lone word is kept as a parameter without value rather than dropped.
            d->parameters.append(qMakePair(item, QByteArray()));
            continue;
        }
        d->parameters.append(qMakePair(item.left(equals).trimmed(), unquote(item.mid(equals + 1).trimmed())));
    }
}

bool QMailMessageHeaderField::isNull() const
{
    return d->content.isEmpty() && d->parameters.isEmpty();
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
    const QByteArray lowerName = name.toLower();
    const QByteArray extendedName = lowerName + '*';
    for (const ParameterType &parameter : d->parameters) {
        const QByteArray lower = parameter.first.toLower();
        if (lower == lowerName || lower == extendedName)
            return parameter.second;
    }

    // RFC 2231 continuations: name*0, name*1*, ... joined in index order.
    QList<QPair<int, QByteArray>> sections;
    for (const ParameterType &parameter : d->parameters) {
        const int index = continuationIndex(parameter.first.toLower(), lowerName);
        if (index >= 0)
            sections.append(qMakePair(index, parameter.second));
    }
    std::stable_sort(sections.begin(), sections.end(),
                     [](const QPair<int, QByteArray> &a, const QPair<int, QByteArray> &b) { return a.first < b.first; });
    QByteArray joined;
    for (const auto &section : qAsConst(sections))
        joined.append(section.second);
    return joined;
}

void QMailMessageHeaderField::setParameter(const QByteArray &name, const QByteArray &value)
{
    const QByteArray lowerName = name.toLower();
    const QByteArray baseName = lowerName.endsWith('*') ? lowerName.left(lowerName.size() - 1) : lowerName;
    // Replace every earlier form of the parameter, encoded or continued.
    for (int i = d->parameters.size() - 1; i >= 0; --i) {
        const QByteArray lower = d->parameters.at(i).first.toLower();
        if (lower == baseName || lower == baseName + '*' || continuationIndex(lower, baseName) >= 0) {
            if (lower == lowerName) {
                d->parameters[i].second = value;
                continue;
            }
            d->parameters.removeAt(i);
        }
    }
    for (ParameterType &parameter : d->parameters) {
        if (parameter.first.toLower() == lowerName)
            return;
    }
    d->parameters.append(qMakePair(name, value));
}

bool QMailMessageHeaderField::isParameterEncoded(const QByteArray &name) const
{
    const QByteArray lowerName = name.toLower();
    for (const ParameterType &parameter : d->parameters) {
        const QByteArray lower = parameter.first.toLower();
        if (lower == lowerName + '*' || lower == lowerName + "*0*")
            return true;
    }
    return false;
}

void QMailMessageHeaderField::setParameterEncoded(const QByteArray &name)
{
    const QByteArray lowerName = name.toLower();
    for (ParameterType &parameter : d->parameters) {
        if (parameter.first.toLower() == lowerName) {
            parameter.first.append('*');
            return;
        }
    }
}

QList<QMailMessageHeaderField::ParameterType> QMailMessageHeaderField::parameters() const
{
    return d->parameters;
}

QByteArray QMailMessageHeaderField::toString(bool includeName, bool presentable) const
{
    Q_UNUSED(presentable)
    QByteArray result;
    if (includeName && !d->id.isEmpty())
        result = d->id + ": ";
    result.append(d->content);
    for (const ParameterType &parameter : d->parameters) {
        result.append("; ");
        result.append(parameter.first);
        if (parameter.second.isNull())
            continue;
        result.append('=');
        // Extended (RFC 2231) values are percent-encoded and never quoted.
        if (!parameter.first.endsWith('*') && needsQuoting(parameter.second))
            result.append(quoted(parameter.second));
        else
            result.append(parameter.second);
    }
    return result;
}

QString QMailMessageHeaderField::decodedContent() const
{
    QString result = decodeContent(d->content);
    for (const ParameterType &parameter : d->parameters) {
        QByteArray name = parameter.first;
        QString value;
        if (name.endsWith('*')) {
            name.chop(1);
            value = decodeParameter(parameter.second);
        } else {
            value = decodeContent(parameter.second);
        }
        result.append(QLatin1String("; ") + QString::fromLatin1(name) + QLatin1Char('='));
        const QByteArray asBytes = value.toUtf8();
        result.append(needsQuoting(asBytes) ? QLatin1Char('"') + value + QLatin1Char('"') : value);
    }
    return result;
}

bool QMailMessageHeaderField::operator==(const QMailMessageHeaderField &other) const
{
    return d->id.toLower() == other.d->id.toLower() && toString(false) == other.toString(false);
}

QByteArray QMailMessageHeaderField::encodeWord(const QString &input, const QByteArray &charset)
{
    bool plain = true;
    for (const QChar c : input) {
        if (c.unicode() >= 0x7f || (c.unicode() < 0x20 && c != QLatin1Char('\t'))) {
            plain = false;
            break;
        }
    }
    if (plain)
        return input.toLatin1();

    const QByteArray useCharset = charset.isEmpty() ? QByteArray("UTF-8") : charset;
    // Keep each encoded word short (RFC 2047 caps them at 75 characters) and never
    // split a character between two words.
    QByteArray result;
    int start = 0;
    while (start < input.size()) {
        int length = qMin(20, input.size() - start);
        if (start + length < input.size() && input.at(start + length - 1).isHighSurrogate())
            ++length;
        const QByteArray bytes = QmfMessageCodec::fromUnicode(input.mid(start, length), useCharset);
        if (!result.isEmpty())
            result.append(' ');
        result.append("=?" + useCharset + "?B?" + bytes.toBase64() + "?=");
        start += length;
    }
    return result;
}

QString QMailMessageHeaderField::decodeWord(const QByteArray &input)
{
    return decodeContent(input);
}

QByteArray QMailMessageHeaderField::encodeParameter(const QString &input, const QByteArray &charset, const QByteArray &language)
{
    const QByteArray useCharset = charset.isEmpty() ? QByteArray("UTF-8") : charset;
    const QByteArray bytes = QmfMessageCodec::fromUnicode(input, useCharset);
    return useCharset + '\'' + language + '\'' + bytes.toPercentEncoding("!#$&+-.^_`|~");
}

QString QMailMessageHeaderField::decodeParameter(const QByteArray &input)
{
    const int first = input.indexOf('\'');
    const int second = first >= 0 ? input.indexOf('\'', first + 1) : -1;
    if (first < 0 || second < 0)
        return QmfMessageCodec::toUnicode(QByteArray::fromPercentEncoding(input), QByteArray());
    const QByteArray charset = input.left(first);
    return QmfMessageCodec::toUnicode(QByteArray::fromPercentEncoding(input.mid(second + 1)), charset);
}

QByteArray QMailMessageHeaderField::encodeContent(const QString &input, const QByteArray &charset)
{
    return encodeWord(input, charset);
}

QString QMailMessageHeaderField::decodeContent(const QByteArray &input)
{
    static const QRegularExpression encodedWord(QStringLiteral("=\\?([^?\\s]+)\\?([bBqQ])\\?([^?\\s]*)\\?="));
    const QString text = QString::fromLatin1(input);
    if (!text.contains(QLatin1String("=?")))
        return QmfMessageCodec::toUnicode(input, QByteArray());

    QString result;
    int position = 0;
    bool previousWasEncoded = false;
    QRegularExpressionMatchIterator it = encodedWord.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString between = text.mid(position, match.capturedStart() - position);
        // White space between two adjacent encoded words is not part of the text.
        if (!(previousWasEncoded && between.trimmed().isEmpty()))
            result.append(QmfMessageCodec::toUnicode(between.toLatin1(), QByteArray()));
        bool ok = false;
        result.append(decodeEncodedWord(match.captured(1).toLatin1(), match.captured(2).at(0).toLatin1(),
                                        match.captured(3).toLatin1(), &ok));
        position = match.capturedEnd();
        previousWasEncoded = true;
    }
    result.append(QmfMessageCodec::toUnicode(text.mid(position).toLatin1(), QByteArray()));
    return result;
}

QByteArray QMailMessageHeaderField::removeComments(const QByteArray &input)
{
    QByteArray result;
    result.reserve(input.size());
    int depth = 0;
    bool isQuoted = false;
    bool escaped = false;
    for (const char c : input) {
        if (escaped) {
            escaped = false;
            if (depth == 0)
                result.append(c);
            continue;
        }
        if (c == '\\') {
            escaped = true;
            if (depth == 0)
                result.append(c);
            continue;
        }
        if (!isQuoted && c == '(') {
            ++depth;
            continue;
        }
        if (!isQuoted && c == ')' && depth > 0) {
            --depth;
            continue;
        }
        if (depth == 0) {
            if (c == '"')
                isQuoted = !isQuoted;
            result.append(c);
        }
    }
    return result;
}

QByteArray QMailMessageHeaderField::removeWhitespace(const QByteArray &input)
{
    QByteArray result;
    result.reserve(input.size());
    bool isQuoted = false;
    for (const char c : input) {
        if (c == '"')
            isQuoted = !isQuoted;
        if (!isQuoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n'))
            continue;
        result.append(c);
    }
    return result;
}

// --- QMailMessageContentType ---

QMailMessageContentType::QMailMessageContentType()
    : QMailMessageHeaderField(contentTypeName, QByteArray())
{
}

QMailMessageContentType::QMailMessageContentType(const QByteArray &type)
    : QMailMessageHeaderField(contentTypeName, type)
{
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
    setContent(type() + '/' + subType);
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
    return parameter("boundary");
}

void QMailMessageContentType::setBoundary(const QByteArray &boundary)
{
    setParameter("boundary", boundary);
}

QByteArray QMailMessageContentType::charset() const
{
    return parameter("charset");
}

void QMailMessageContentType::setCharset(const QByteArray &charset)
{
    setParameter("charset", charset);
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
    const QByteArray text = content().trimmed().toLower();
    if (text == "inline")
        return Inline;
    if (text == "attachment")
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
    setParameter("creation-date", timeStamp.toString().toLatin1());
}

QMailTimeStamp QMailMessageContentDisposition::modificationDate() const
{
    return QMailTimeStamp(QString::fromLatin1(parameter("modification-date")));
}

void QMailMessageContentDisposition::setModificationDate(const QMailTimeStamp &timeStamp)
{
    setParameter("modification-date", timeStamp.toString().toLatin1());
}

QMailTimeStamp QMailMessageContentDisposition::readDate() const
{
    return QMailTimeStamp(QString::fromLatin1(parameter("read-date")));
}

void QMailMessageContentDisposition::setReadDate(const QMailTimeStamp &timeStamp)
{
    setParameter("read-date", timeStamp.toString().toLatin1());
}

int QMailMessageContentDisposition::size() const
{
    const QByteArray text = parameter("size").trimmed();
    if (text.isEmpty())
        return -1;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : -1;
}

void QMailMessageContentDisposition::setSize(int size)
{
    setParameter("size", QByteArray::number(size));
}
