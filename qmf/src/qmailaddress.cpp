#include "qmailaddress.h"

#include <QRegularExpression>
#include <QSharedData>

// An address is kept as written: the name with its quotes and comments, the address, an
// optional "/TYPE=" suffix, or for a group its display name and its member list as text.
class QMailAddressPrivate : public QSharedData
{
public:
    QString name;
    QString address;
    QString suffix;
    bool group = false;

    void setComponents(const QString &nameText, const QString &addressText);
};

namespace {

const QString typeSuffixMark = QStringLiteral("/TYPE=");

// One character of address text in its lexical context. A backslash quotes the character
// after it and is itself consumed; the opening and closing quote of a quoted string, and the
// parentheses of a comment, count as inside.
struct Lexeme {
    QChar c;
    bool quoted;
    bool escaped;
    int commentDepth;

    bool isPlain() const { return !quoted && !escaped && commentDepth == 0; }
};

template <typename Visit>
void scan(const QString &text, Visit visit)
{
    int depth = 0;
    bool quoted = false;
    bool escaped = false;
    for (const QChar c : text) {
        if (!escaped && c == QLatin1Char('\\')) {
            escaped = true;
            continue;
        }
        bool opensQuote = false;
        if (!quoted && !escaped && c == QLatin1Char('(')) {
            ++depth;
        } else if (!quoted && !escaped && c == QLatin1Char('"')) {
            quoted = true;
            opensQuote = true;
        }
        visit(Lexeme{c, quoted, escaped, depth});
        if (!quoted && !escaped && c == QLatin1Char(')') && depth > 0)
            --depth;
        else if (quoted && !opensQuote && !escaped && c == QLatin1Char('"'))
            quoted = false;
        escaped = false;
    }
}

const QRegularExpression &emailPattern()
{
    // A dot-atom local part, "@", and "localhost" or a dotted domain of letters, digits and
    // inner hyphens.
    static const QRegularExpression pattern(QStringLiteral(
        "^[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+(?:\\.[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*"
        "@(?:localhost|(?:[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?\\.)+[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?)$"));
    return pattern;
}

// A name needs quotes when it holds a special character outside a quoted pair, or
// parentheses that do not pair up as comments.
bool nameNeedsQuotes(const QString &word)
{
    static const QString specials = QStringLiteral("<>[]:;@\\,.");
    int depth = 0;
    for (int i = 0; i < word.size(); ++i) {
        const QChar c = word.at(i);
        if (c == QLatin1Char('\\')) {
            ++i;
            continue;
        }
        if (specials.contains(c))
            return true;
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')') && --depth < 0)
            return true;
    }
    return depth != 0;
}

QString quoted(const QString &word)
{
    QString inner = word;
    if (inner.startsWith(QLatin1Char('"')))
        inner.remove(0, 1);
    if (inner.endsWith(QLatin1Char('"')))
        inner.chop(1);
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

// The display name as written out: comments stay as they are, the other runs of text are
// quoted when they need it.
QString presentableName(const QString &name)
{
    QString result;
    QString run;
    bool inComment = false;
    bool inQuotes = false;
    const auto flush = [&]() {
        if (!run.isEmpty())
            result.append(nameNeedsQuotes(run) ? quoted(run) : run);
        run.clear();
    };
    scan(name, [&](const Lexeme &l) {
        if (l.commentDepth > 0) {
            inComment = true;
        } else {
            if (inComment) {
                result.append(run);
                run.clear();
                inComment = false;
            }
            if (inQuotes && !l.quoted) {
                inQuotes = false;
                flush();
            } else if (l.quoted) {
                inQuotes = true;
            }
        }
        run.append(l.c);
    });
    const QString trimmed = run.trimmed();
    if (trimmed.startsWith(QLatin1Char('(')) && trimmed.endsWith(QLatin1Char(')')))
        result.append(run);
    else
        flush();
    return result;
}

// Splits an address list into the text of each address. Commas and semicolons separate
// addresses; white space separates words, and words are joined back into one address as
// long as each kind (name, address, suffix) occurs once, so "a@b c@d" is two addresses but
// "Some Name <a@b>" one. A group "Name: members;" stays whole.
class AddressListSplitter
{
public:
    QStringList split(const QString &list)
    {
        scan(list, [this](const Lexeme &l) { take(l); });
        endWord(true);
        return m_addresses;
    }

private:
    enum Kind { Unknown, Address, Name, Suffix, Comment, Group, KindCount };
    typedef QPair<Kind, QString> Word;

    void take(const Lexeme &l)
    {
        const QChar c = l.c;
        if (m_wordEnded && !c.isSpace())
            endWord(false);
        if (!m_inGroup && l.isPlain() && (c == QLatin1Char(',') || c == QLatin1Char(';'))) {
            endWord(true);
            return;
        }
        if (!m_inGroup && l.isPlain() && c.isSpace()) {
            // The blank stays in the text so that nothing of the input is lost.
            m_text.append(c);
            m_wordEnded = true;
            return;
        }
        if (l.commentDepth > 0 && m_kind == Unknown && !m_started)
            m_kind = Comment;
        else if (l.quoted && (m_kind == Unknown || m_kind == Comment))
            m_kind = Name;
        m_text.append(c);
        m_started = true;
        if (!l.isPlain())
            return;
        if (c == QLatin1Char('<') && !m_inAddress) {
            m_inAddress = true;
            if (m_kind == Unknown || m_kind == Comment)
                m_kind = Address;
        } else if (c == QLatin1Char('>') && m_inAddress) {
            m_inAddress = false;
        } else if (c == QLatin1Char(':') && !m_inGroup && !m_inAddress) {
            m_inGroup = true;
            m_kind = Group;
        } else if (c == QLatin1Char(';') && m_inGroup && !m_inAddress) {
            m_inGroup = false;
            // A comment may still follow the group, so the address does not end here.
            endWord(false);
        }
    }

    void endWord(bool endsAddress)
    {
        if (!m_text.trimmed().isEmpty()) {
            Kind kind = m_kind;
            if (kind == Unknown) {
                static const QRegularExpression suffix(QStringLiteral("^\\s*/TYPE=.*$"));
                if (suffix.match(m_text).hasMatch())
                    kind = Suffix;
                else
                    kind = emailPattern().match(m_text.trimmed()).hasMatch() ? Address : Name;
            }
            m_words.append(qMakePair(kind, m_text));
            m_text.clear();
        }
        m_started = false;
        m_wordEnded = false;
        m_kind = Unknown;
        if (endsAddress)
            combineWords();
    }

    // How many words at the end of the pending list belong to one address.
    int lastAddressLength() const
    {
        bool seen[KindCount] = {};
        int count = 0;
        for (int i = m_words.size() - 1; i >= 0; --i, ++count) {
            const Kind kind = m_words.at(i).first;
            if (seen[kind] || (kind == Suffix && count > 0))
                break;
            if (kind == Comment)
                continue;
            if (seen[Group] || (kind == Group && (seen[Name] || seen[Address] || seen[Suffix])))
                break;
            seen[kind] = true;
        }
        return count;
    }

    void combineWords()
    {
        // A name of several words is one name; so is a group name of several words.
        for (int i = 1; i < m_words.size();) {
            const Kind kind = m_words.at(i).first;
            if (m_words.at(i - 1).first == Name && (kind == Name || kind == Group)) {
                m_words[i - 1] = qMakePair(kind, m_words.at(i - 1).second + m_words.at(i).second);
                m_words.removeAt(i);
            } else {
                ++i;
            }
        }
        QStringList reversed;
        while (int length = lastAddressLength()) {
            QString text;
            for (; length > 0; --length)
                text.prepend(m_words.takeLast().second);
            reversed.append(text);
        }
        for (int i = reversed.size() - 1; i >= 0; --i)
            m_addresses.append(reversed.at(i));
        m_words.clear();
    }

    QStringList m_addresses;
    QList<Word> m_words;
    QString m_text;
    Kind m_kind = Unknown;
    bool m_started = false;
    bool m_wordEnded = false;
    bool m_inAddress = false;
    bool m_inGroup = false;
};

// "Name: members;" with the colon and the semicolon outside quotes and comments.
bool isGroupText(const QString &text)
{
    bool colon = false;
    bool semicolon = false;
    scan(text, [&](const Lexeme &l) {
        if (!l.isPlain())
            return;
        if (l.c == QLatin1Char(':'))
            colon = true;
        else if (l.c == QLatin1Char(';') && colon)
            semicolon = true;
    });
    return semicolon;
}

// The first "<" and the first ">" outside quoted strings, or -1.
QPair<int, int> angleBrackets(const QString &text)
{
    int open = -1;
    int close = -1;
    bool quoted = false;
    bool escaped = false;
    for (int i = 0; i < text.size() && close < 0; ++i) {
        const QChar c = text.at(i);
        if (!escaped && c == QLatin1Char('\\')) {
            escaped = true;
            continue;
        }
        if (!escaped && c == QLatin1Char('"'))
            quoted = !quoted;
        if (!quoted) {
            if (open < 0 && c == QLatin1Char('<'))
                open = i;
            else if (c == QLatin1Char('>'))
                close = i;
        }
        escaped = false;
    }
    return qMakePair(open, close);
}

} // namespace

void QMailAddressPrivate::setComponents(const QString &nameText, const QString &addressText)
{
    name = nameText.trimmed();
    address = addressText.trimmed();
    const int mark = address.indexOf(typeSuffixMark);
    if (mark >= 0) {
        suffix = address.mid(mark + typeSuffixMark.size());
        address = address.left(mark).trimmed();
    }
    const int open = address.indexOf(QLatin1Char('<'));
    if (open >= 0)
        address.remove(open, 1);
    const int close = address.lastIndexOf(QLatin1Char('>'));
    if (close >= 0)
        address.remove(close, 1);
}

QMailAddress::QMailAddress()
    : d(new QMailAddressPrivate)
{
}

QMailAddress::QMailAddress(const QString &addressText)
    : d(new QMailAddressPrivate)
{
    if (addressText.isEmpty())
        return;
    QString text = addressText.trimmed();
    if (isGroupText(text)) {
        const int semicolon = text.lastIndexOf(QLatin1Char(';'));
        const int colon = text.lastIndexOf(QLatin1Char(':'), semicolon);
        if (colon >= 0) {
            d->name = text.left(colon).trimmed();
            d->address = text.mid(colon + 1, semicolon - colon - 1).trimmed();
            d->group = true;
        }
        return;
    }

    QString name;
    QString address;
    const int mark = text.indexOf(typeSuffixMark);
    if (mark >= 0) {
        d->suffix = text.mid(mark + typeSuffixMark.size());
        text = text.left(mark);
    }
    const QPair<int, int> brackets = angleBrackets(text);
    if (brackets.first < 0 && brackets.second < 0) {
        name = address = text.trimmed();
    } else {
        if (brackets.first < 0) {
            // A stray ">": what precedes it is the address.
            address = text.left(brackets.second);
        } else {
            name = text.left(brackets.first);
            address = brackets.second < 0 ? text.mid(brackets.first + 1)
                                          : text.mid(brackets.first + 1, brackets.second - brackets.first - 1).trimmed();
        }
        if (name.isEmpty())
            name = address;
    }
    d->setComponents(name, address);
}

QMailAddress::QMailAddress(const QString &name, const QString &emailAddress)
    : d(new QMailAddressPrivate)
{
    if (AddressListSplitter().split(emailAddress).size() > 1) {
        // A list given as the address makes this a group of that name.
        d->name = name;
        d->address = emailAddress;
        d->group = true;
        return;
    }
    d->setComponents(name, emailAddress);
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
    return d->name.isNull() && d->address.isNull() && d->suffix.isNull();
}

QString QMailAddress::name() const
{
    const QString &name = d->name;
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        return name.mid(1, name.size() - 2);
    return name;
}

QString QMailAddress::address() const
{
    return d->address;
}

bool QMailAddress::isGroup() const
{
    return d->group;
}

QList<QMailAddress> QMailAddress::groupMembers() const
{
    return d->group ? fromStringList(d->address) : QList<QMailAddress>();
}

bool QMailAddress::isEmailAddress() const
{
    return emailPattern().match(removeWhitespace(removeComments(d->address))).hasMatch();
}

QString QMailAddress::toString(bool forceDelimited) const
{
    if (d->name == d->address)
        return d->name;
    if (d->group)
        return d->name + QLatin1String(": ") + d->address + QLatin1Char(';');

    QString result;
    if (!d->name.isEmpty())
        result = presentableName(d->name);
    if (!d->address.isEmpty()) {
        if (!forceDelimited && result.isEmpty()) {
            result = d->address;
        } else {
            if (!result.isEmpty())
                result.append(QLatin1Char(' '));
            result.append(QLatin1Char('<') + d->address + QLatin1Char('>'));
        }
    }
    if (!d->suffix.isEmpty())
        result.append(QLatin1Char(' ') + typeSuffixMark + d->suffix);
    return result;
}

bool QMailAddress::operator==(const QMailAddress &other) const
{
    return d->name == other.d->name && d->address == other.d->address && d->suffix == other.d->suffix
           && d->group == other.d->group;
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
    return fromStringList(AddressListSplitter().split(list));
}

QList<QMailAddress> QMailAddress::fromStringList(const QStringList &list)
{
    QList<QMailAddress> result;
    result.reserve(list.size());
    for (const QString &item : list)
        result.append(QMailAddress(item));
    return result;
}

QString QMailAddress::removeComments(const QString &input)
{
    QString result;
    scan(input, [&](const Lexeme &l) {
        if (l.commentDepth == 0 && (l.quoted || l.c.isPrint()))
            result.append(l.c);
    });
    return result.trimmed();
}

QString QMailAddress::removeWhitespace(const QString &input)
{
    QString result;
    scan(input, [&](const Lexeme &l) {
        if (!l.c.isSpace() || l.quoted || l.escaped || l.commentDepth > 0)
            result.append(l.c);
    });
    return result;
}
