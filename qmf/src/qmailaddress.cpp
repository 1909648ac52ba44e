#include "qmailaddress.h"

#include "qmailmessage.h"

#include <QSharedData>

class QMailAddressPrivate : public QSharedData
{
public:
    QString name;
    QString address;
};

namespace {

// Splits at separator characters that are outside quotes, comments and angle brackets.
QStringList splitOutsideQuotes(const QString &text, const QString &separators)
{
    QStringList result;
    QString current;
    bool quoted = false;
    bool escaped = false;
    int commentDepth = 0;
    bool inAngle = false;
    for (const QChar c : text) {
        if (escaped) {
            escaped = false;
        } else if (c == QLatin1Char('\\')) {
            escaped = true;
        } else if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char('(')) {
            ++commentDepth;
        } else if (c == QLatin1Char(')') && commentDepth > 0) {
            --commentDepth;
        } else if (commentDepth == 0 && c == QLatin1Char('<')) {
            inAngle = true;
        } else if (commentDepth == 0 && c == QLatin1Char('>')) {
            inAngle = false;
        } else if (commentDepth == 0 && !inAngle && separators.contains(c)) {
            result.append(current);
            current.clear();
            continue;
        }
        current.append(c);
    }
    result.append(current);
    return result;
}

QString stripEnclosingQuotes(const QString &text)
{
    if (text.length() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"'))) {
        QString inner = text.mid(1, text.length() - 2);
        inner.replace(QLatin1String("\\\""), QLatin1String("\""));
        inner.replace(QLatin1String("\\\\"), QLatin1String("\\"));
        return inner;
    }
    return text;
}

} // namespace

QMailAddress::QMailAddress()
    : d(new QMailAddressPrivate)
{
}

QMailAddress::QMailAddress(const QString &addressText)
    : d(new QMailAddressPrivate)
{
    const QString text = addressText.trimmed();
    const int open = text.lastIndexOf(QLatin1Char('<'));
    const int close = text.lastIndexOf(QLatin1Char('>'));
    if (open >= 0 && close > open) {
        QString name = text.left(open).trimmed();
        d->address = removeWhitespace(removeComments(text.mid(open + 1, close - open - 1)));
        d->name = name;
    } else if (open >= 0) {
        // An unterminated bracket: keep what follows it as the address.
        d->name = text.left(open).trimmed();
        d->address = text.mid(open + 1).trimmed();
    } else {
        const QString bare = removeComments(text).trimmed();
        d->address = bare;
        d->name = bare;
    }
}

QMailAddress::QMailAddress(const QString &name, const QString &emailAddress)
    : d(new QMailAddressPrivate)
{
    d->name = name.trimmed();
    QString address = emailAddress.trimmed();
    if (address.startsWith(QLatin1Char('<')) && address.endsWith(QLatin1Char('>')))
        address = address.mid(1, address.length() - 2).trimmed();
    d->address = address;
}

QMailAddress::QMailAddress(const QMailAddress &other) = default;
QMailAddress::~QMailAddress() = default;

const QMailAddress &QMailAddress::operator=(const QMailAddress &other)
{
    d = other.d;
    return *this;
}

bool QMailAddress::isNull() const
{
    return d->name.isNull() && d->address.isNull();
}

QString QMailAddress::name() const
{
    return stripEnclosingQuotes(d->name);
}

QString QMailAddress::address() const
{
    return d->address;
}

bool QMailAddress::isEmailAddress() const
{
    const int at = d->address.indexOf(QLatin1Char('@'));
    return at > 0 && at < d->address.length() - 1;
}

QString QMailAddress::toString(bool forceDelimited) const
{
    // A bare address was given: it is its own name and is written as it came.
    if (d->name == d->address && !d->name.isEmpty())
        return d->address;

    QString name = d->name;
    if (name.isEmpty()) {
        if (forceDelimited && !d->address.isEmpty())
            return QLatin1Char('<') + d->address + QLatin1Char('>');
        return d->address;
    }

    static const QString specials = QStringLiteral("<>[]:;@\\,.");
    const bool alreadyQuoted = name.length() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'));
    if (!alreadyQuoted) {
        bool needsQuotes = false;
        for (const QChar c : name) {
            if (specials.contains(c)) {
                needsQuotes = true;
                break;
            }
        }
        if (needsQuotes) {
            name.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
            name.replace(QLatin1Char('"'), QLatin1String("\\\""));
            name = QLatin1Char('"') + name + QLatin1Char('"');
        }
    }
    return name + QLatin1String(" <") + d->address + QLatin1Char('>');
}

bool QMailAddress::operator==(const QMailAddress &other) const
{
    return d->name == other.d->name && d->address == other.d->address;
}

bool QMailAddress::operator!=(const QMailAddress &other) const
{
    return !(*this == other);
}

QStringList QMailAddress::toStringList(const QList<QMailAddress> &list, bool forceDelimited)
{
    QStringList result;
    result.reserve(list.size());
    for (const QMailAddress &address : list)
        result.append(address.toString(forceDelimited));
    return result;
}

QList<QMailAddress> QMailAddress::fromStringList(const QString &list)
{
    QList<QMailAddress> result;
    const QStringList items = splitOutsideQuotes(list, QStringLiteral(",;"));
    for (QString item : items) {
        item = item.trimmed();
        // A group "Friends: a@b, c@d;" lists its members after the colon.
        const QStringList groupParts = splitOutsideQuotes(item, QStringLiteral(":"));
        if (groupParts.size() > 1)
            item = groupParts.mid(1).join(QLatin1Char(':')).trimmed();
        if (!item.isEmpty())
            result.append(QMailAddress(item));
    }
    return result;
}

QList<QMailAddress> QMailAddress::fromStringList(const QStringList &list)
{
    QList<QMailAddress> result;
    for (const QString &item : list)
        result.append(fromStringList(item));
    return result;
}

QString QMailAddress::removeComments(const QString &input)
{
    // Comment and quote delimiters are ASCII, so the byte-wise scan of the header field
    // code serves UTF-8 text unchanged.
    return QString::fromUtf8(QMailMessageHeaderField::removeComments(input.toUtf8()));
}

QString QMailAddress::removeWhitespace(const QString &input)
{
    QString result;
    result.reserve(input.size());
    bool quoted = false;
    for (const QChar c : input) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (!quoted && c.isSpace())
            continue;
        result.append(c);
    }
    return result;
}
