#include "qmailid.h"

#include <QCoreApplication>

QMailAccountId::QMailAccountId() = default;

QMailAccountId::QMailAccountId(quint64 value)
    : m_value(value)
{
}

QMailAccountId::QMailAccountId(const QMailAccountId &other) = default;

QMailAccountId::~QMailAccountId() = default;

QMailAccountId &QMailAccountId::operator=(const QMailAccountId &other) = default;

bool QMailAccountId::isValid() const
{
    return m_value != 0;
}

quint64 QMailAccountId::toULongLong() const
{
    return m_value;
}

QMailAccountId::operator QVariant() const
{
    return QVariant::fromValue(*this);
}

bool QMailAccountId::operator!=(const QMailAccountId &other) const
{
    return m_value != other.m_value;
}

bool QMailAccountId::operator==(const QMailAccountId &other) const
{
    return m_value == other.m_value;
}

bool QMailAccountId::operator<(const QMailAccountId &other) const
{
    return m_value < other.m_value;
}

uint qHash(const QMailAccountId &id)
{
    return qHash(id.toULongLong());
}

QDebug &operator<<(QDebug &debug, const QMailAccountId &id)
{
    debug << id.toULongLong();
    return debug;
}

QTextStream &operator<<(QTextStream &stream, const QMailAccountId &id)
{
    stream << id.toULongLong();
    return stream;
}

QMailFolderId::QMailFolderId() = default;

QMailFolderId::QMailFolderId(quint64 value)
    : m_value(value)
{
}

QMailFolderId::QMailFolderId(QMailFolderId::PredefinedFolderId id)
    : m_value(quint64(id))
{
}

QMailFolderId::QMailFolderId(const QMailFolderId &other) = default;

QMailFolderId::~QMailFolderId() = default;

QMailFolderId &QMailFolderId::operator=(const QMailFolderId &other) = default;

bool QMailFolderId::isValid() const
{
    return m_value != 0;
}

quint64 QMailFolderId::toULongLong() const
{
    return m_value;
}

QMailFolderId::operator QVariant() const
{
    return QVariant::fromValue(*this);
}

bool QMailFolderId::operator!=(const QMailFolderId &other) const
{
    return m_value != other.m_value;
}

bool QMailFolderId::operator==(const QMailFolderId &other) const
{
    return m_value == other.m_value;
}

bool QMailFolderId::operator<(const QMailFolderId &other) const
{
    return m_value < other.m_value;
}

uint qHash(const QMailFolderId &id)
{
    return qHash(id.toULongLong());
}

QDebug &operator<<(QDebug &debug, const QMailFolderId &id)
{
    debug << id.toULongLong();
    return debug;
}

QTextStream &operator<<(QTextStream &stream, const QMailFolderId &id)
{
    stream << id.toULongLong();
    return stream;
}

QMailMessageId::QMailMessageId() = default;

QMailMessageId::QMailMessageId(quint64 value)
    : m_value(value)
{
}

QMailMessageId::QMailMessageId(const QMailMessageId &other) = default;

QMailMessageId::~QMailMessageId() = default;

QMailMessageId &QMailMessageId::operator=(const QMailMessageId &other) = default;

bool QMailMessageId::isValid() const
{
    return m_value != 0;
}

quint64 QMailMessageId::toULongLong() const
{
    return m_value;
}

QMailMessageId::operator QVariant() const
{
    return QVariant::fromValue(*this);
}

bool QMailMessageId::operator!=(const QMailMessageId &other) const
{
    return m_value != other.m_value;
}

bool QMailMessageId::operator==(const QMailMessageId &other) const
{
    return m_value == other.m_value;
}

bool QMailMessageId::operator<(const QMailMessageId &other) const
{
    return m_value < other.m_value;
}

uint qHash(const QMailMessageId &id)
{
    return qHash(id.toULongLong());
}

QDebug &operator<<(QDebug &debug, const QMailMessageId &id)
{
    debug << id.toULongLong();
    return debug;
}

QTextStream &operator<<(QTextStream &stream, const QMailMessageId &id)
{
    stream << id.toULongLong();
    return stream;
}

QMailThreadId::QMailThreadId() = default;

QMailThreadId::QMailThreadId(quint64 value)
    : m_value(value)
{
}

QMailThreadId::QMailThreadId(const QMailThreadId &other) = default;

QMailThreadId::~QMailThreadId() = default;

QMailThreadId &QMailThreadId::operator=(const QMailThreadId &other) = default;

bool QMailThreadId::isValid() const
{
    return m_value != 0;
}

quint64 QMailThreadId::toULongLong() const
{
    return m_value;
}

QMailThreadId::operator QVariant() const
{
    return QVariant::fromValue(*this);
}

bool QMailThreadId::operator!=(const QMailThreadId &other) const
{
    return m_value != other.m_value;
}

bool QMailThreadId::operator==(const QMailThreadId &other) const
{
    return m_value == other.m_value;
}

bool QMailThreadId::operator<(const QMailThreadId &other) const
{
    return m_value < other.m_value;
}

uint qHash(const QMailThreadId &id)
{
    return qHash(id.toULongLong());
}

QDebug &operator<<(QDebug &debug, const QMailThreadId &id)
{
    debug << id.toULongLong();
    return debug;
}

QTextStream &operator<<(QTextStream &stream, const QMailThreadId &id)
{
    stream << id.toULongLong();
    return stream;
}

namespace {

// Queued connections and QVariant need the types registered under the names the
// signal signatures spell; doing it at application start-up covers both.
void registerIdMetaTypes()
{
    qRegisterMetaType<QMailAccountId>("QMailAccountId");
    qRegisterMetaType<QMailFolderId>("QMailFolderId");
    qRegisterMetaType<QMailMessageId>("QMailMessageId");
    qRegisterMetaType<QMailThreadId>("QMailThreadId");
    qRegisterMetaType<QMailAccountIdList>("QMailAccountIdList");
    qRegisterMetaType<QMailFolderIdList>("QMailFolderIdList");
    qRegisterMetaType<QMailMessageIdList>("QMailMessageIdList");
    qRegisterMetaType<QMailThreadIdList>("QMailThreadIdList");
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(registerIdMetaTypes)
