#ifndef QMAILADDRESS_H
#define QMAILADDRESS_H

#include "qmailglobal.h"

#include <QList>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>
#include <QStringList>

class QMailAddressPrivate;

// One mailbox or group as written in an address header: an optional display name and an
// address, kept as written (quotes and comments included).
class QMF_EXPORT QMailAddress
{
public:
    QMailAddress();
    explicit QMailAddress(const QString &addressText);
    QMailAddress(const QString &name, const QString &emailAddress);
    QMailAddress(const QMailAddress &other);
    ~QMailAddress();

    const QMailAddress &operator=(const QMailAddress &other);

    bool isNull() const;

    QString name() const;
    QString address() const;

    // A group ("Name: member, member;") keeps its members as one address text.
    bool isGroup() const;
    QList<QMailAddress> groupMembers() const;

    bool isEmailAddress() const;

    QString toString(bool forceDelimited = false) const;

    bool operator==(const QMailAddress &other) const;
    bool operator!=(const QMailAddress &other) const;

    static QStringList toStringList(const QList<QMailAddress> &list, bool forceDelimited = false);
    static QList<QMailAddress> fromStringList(const QString &list);
    static QList<QMailAddress> fromStringList(const QStringList &list);

    static QString removeComments(const QString &input);
    static QString removeWhitespace(const QString &input);

private:
    QSharedDataPointer<QMailAddressPrivate> d;
};

Q_DECLARE_METATYPE(QMailAddress)

typedef QList<QMailAddress> QMailAddressList;

#endif // QMAILADDRESS_H
