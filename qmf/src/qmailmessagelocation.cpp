#include "qmailmessage.h"

#include <QStringList>

namespace {

// Strict decimal: digits only, no sign, no leading zero, so that text and value
// round-trip exactly.
bool parseNumber(const QString &text, quint64 *value)
{
    if (text.isEmpty() || (text.size() > 1 && text.startsWith(QLatin1Char('0'))))
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    *value = text.toULongLong(&ok);
    return ok;
}

} // namespace

QMailMessagePartContainer::Location::Location() = default;

QMailMessagePartContainer::Location::Location(const QString &description)
{
    const int dash = description.indexOf(QLatin1Char('-'));
    const QString idText = dash < 0 ? QString() : description.left(dash);
    const QString indexText = dash < 0 ? description : description.mid(dash + 1);

    quint64 id = 0;
    bool ok = dash < 0 || parseNumber(idText, &id);
    QList<uint> indices;
    if (ok && !indexText.isEmpty()) {
        const QStringList items = indexText.split(QLatin1Char('.'));
        for (const QString &item : items) {
            quint64 index = 0;
            if (!parseNumber(item, &index) || index == 0 || index > 0xffffffffu) {
                ok = false;
                break;
            }
            indices.append(uint(index));
        }
    }
    if (!ok) {
        // Text that would not round-trip names no part; an invalid location is the
        // safe answer for any build.
        qWarning() << "QMailMessagePartContainer::Location: invalid location text" << description;
        return;
    }
    m_messageId = QMailMessageId(id);
    m_indices = indices;
}

QMailMessagePartContainer::Location::Location(const QMailMessageId &messageId, const QList<uint> &indices)
    : m_messageId(messageId)
    , m_indices(indices)
{
}

QMailMessagePartContainer::Location::Location(const Location &other) = default;
QMailMessagePartContainer::Location::~Location() = default;

const QMailMessagePartContainer::Location &QMailMessagePartContainer::Location::operator=(const Location &other)
{
    m_messageId = other.m_messageId;
    m_indices = other.m_indices;
    return *this;
}

bool QMailMessagePartContainer::Location::operator==(const Location &other) const
{
    return m_messageId == other.m_messageId && m_indices == other.m_indices;
}

bool QMailMessagePartContainer::Location::operator!=(const Location &other) const
{
    return !(*this == other);
}

bool QMailMessagePartContainer::Location::isValid(bool extended) const
{
    return !m_indices.isEmpty() && (!extended || m_messageId.isValid());
}

QMailMessageId QMailMessagePartContainer::Location::containingMessageId() const
{
    return m_messageId;
}

void QMailMessagePartContainer::Location::setContainingMessageId(const QMailMessageId &id)
{
    m_messageId = id;
}

QString QMailMessagePartContainer::Location::toString(bool extended) const
{
    QString result;
    if (extended)
        result = QString::number(m_messageId.toULongLong()) + QLatin1Char('-');
    for (int i = 0; i < m_indices.size(); ++i) {
        if (i > 0)
            result.append(QLatin1Char('.'));
        result.append(QString::number(m_indices.at(i)));
    }
    return result;
}
