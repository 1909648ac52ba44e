#ifndef QMAILID_H
#define QMAILID_H

#include "qmailglobal.h"

#include <QDebug>
#include <QList>
#include <QMetaType>
#include <QTextStream>
#include <QVariant>

// Identifiers of stored items. The value 0 is the invalid id; a stored item always has a
// non-zero id. Ids compare, order and hash by their value.

class QMF_EXPORT QMailAccountId
{
public:
    QMailAccountId();
    explicit QMailAccountId(quint64 value);
    QMailAccountId(const QMailAccountId &other);
    virtual ~QMailAccountId();

    QMailAccountId &operator=(const QMailAccountId &other);

    bool isValid() const;
    quint64 toULongLong() const;

    operator QVariant() const;

    bool operator!=(const QMailAccountId &other) const;
    bool operator==(const QMailAccountId &other) const;
    bool operator<(const QMailAccountId &other) const;

private:
    quint64 m_value = 0;
};

typedef QList<QMailAccountId> QMailAccountIdList;

QMF_EXPORT uint qHash(const QMailAccountId &id);
// Non-const QDebug& on purpose: `qWarning() << id` as the first item does not compile
// against the real library either, so such code is caught here.
QMF_EXPORT QDebug &operator<<(QDebug &debug, const QMailAccountId &id);
QMF_EXPORT QTextStream &operator<<(QTextStream &stream, const QMailAccountId &id);

class QMF_EXPORT QMailFolderId
{
public:
    enum PredefinedFolderId { LocalStorageFolderId = 1 };

    QMailFolderId();
    explicit QMailFolderId(quint64 value);
    // Implicit, so that QMailFolderId::LocalStorageFolderId can stand where an id is wanted.
    QMailFolderId(QMailFolderId::PredefinedFolderId id);
    QMailFolderId(const QMailFolderId &other);
    virtual ~QMailFolderId();

    QMailFolderId &operator=(const QMailFolderId &other);

    bool isValid() const;
    quint64 toULongLong() const;

    operator QVariant() const;

    bool operator!=(const QMailFolderId &other) const;
    bool operator==(const QMailFolderId &other) const;
    bool operator<(const QMailFolderId &other) const;

private:
    quint64 m_value = 0;
};

typedef QList<QMailFolderId> QMailFolderIdList;

QMF_EXPORT uint qHash(const QMailFolderId &id);
// Non-const QDebug& on purpose: `qWarning() << id` as the first item does not compile
// against the real library either, so such code is caught here.
QMF_EXPORT QDebug &operator<<(QDebug &debug, const QMailFolderId &id);
QMF_EXPORT QTextStream &operator<<(QTextStream &stream, const QMailFolderId &id);

class QMF_EXPORT QMailMessageId
{
public:
    QMailMessageId();
    explicit QMailMessageId(quint64 value);
    QMailMessageId(const QMailMessageId &other);
    virtual ~QMailMessageId();

    QMailMessageId &operator=(const QMailMessageId &other);

    bool isValid() const;
    quint64 toULongLong() const;

    operator QVariant() const;

    bool operator!=(const QMailMessageId &other) const;
    bool operator==(const QMailMessageId &other) const;
    bool operator<(const QMailMessageId &other) const;

private:
    quint64 m_value = 0;
};

typedef QList<QMailMessageId> QMailMessageIdList;

QMF_EXPORT uint qHash(const QMailMessageId &id);
// Non-const QDebug& on purpose: `qWarning() << id` as the first item does not compile
// against the real library either, so such code is caught here.
QMF_EXPORT QDebug &operator<<(QDebug &debug, const QMailMessageId &id);
QMF_EXPORT QTextStream &operator<<(QTextStream &stream, const QMailMessageId &id);

class QMF_EXPORT QMailThreadId
{
public:
    QMailThreadId();
    explicit QMailThreadId(quint64 value);
    QMailThreadId(const QMailThreadId &other);
    virtual ~QMailThreadId();

    QMailThreadId &operator=(const QMailThreadId &other);

    bool isValid() const;
    quint64 toULongLong() const;

    operator QVariant() const;

    bool operator!=(const QMailThreadId &other) const;
    bool operator==(const QMailThreadId &other) const;
    bool operator<(const QMailThreadId &other) const;

private:
    quint64 m_value = 0;
};

typedef QList<QMailThreadId> QMailThreadIdList;

QMF_EXPORT uint qHash(const QMailThreadId &id);
// Non-const QDebug& on purpose: `qWarning() << id` as the first item does not compile
// against the real library either, so such code is caught here.
QMF_EXPORT QDebug &operator<<(QDebug &debug, const QMailThreadId &id);
QMF_EXPORT QTextStream &operator<<(QTextStream &stream, const QMailThreadId &id);

Q_DECLARE_METATYPE(QMailAccountId)
Q_DECLARE_METATYPE(QMailFolderId)
Q_DECLARE_METATYPE(QMailMessageId)
Q_DECLARE_METATYPE(QMailThreadId)
Q_DECLARE_METATYPE(QMailAccountIdList)
Q_DECLARE_METATYPE(QMailFolderIdList)
Q_DECLARE_METATYPE(QMailMessageIdList)
Q_DECLARE_METATYPE(QMailThreadIdList)

#endif // QMAILID_H
