#ifndef QMAILACCOUNTKEY_H
#define QMAILACCOUNTKEY_H

#include "qmailglobal.h"
#include "qmaildatacomparator.h"
#include "qmailid.h"

#include <QMetaType>
#include <QSharedPointer>
#include <QString>

namespace QmfStandIn {
struct KeyNode;
struct KeyAccess;
}

// Selects accounts in store queries. Keys are immutable, implicitly shared criteria trees;
// the empty key matches every account.
class QMF_EXPORT QMailAccountKey
{
public:
    QMailAccountKey();
    QMailAccountKey(const QMailAccountKey &other);
    virtual ~QMailAccountKey();

    QMailAccountKey operator~() const;
    QMailAccountKey operator&(const QMailAccountKey &other) const;
    QMailAccountKey operator|(const QMailAccountKey &other) const;
    const QMailAccountKey &operator&=(const QMailAccountKey &other);
    const QMailAccountKey &operator|=(const QMailAccountKey &other);

    bool operator==(const QMailAccountKey &other) const;
    bool operator!=(const QMailAccountKey &other) const;

    const QMailAccountKey &operator=(const QMailAccountKey &other);

    bool isEmpty() const;
    bool isNonMatching() const;
    bool isNegated() const;

    static QMailAccountKey nonMatchingKey();

    static QMailAccountKey id(const QMailAccountId &id, QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailAccountKey id(const QMailAccountIdList &ids, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailAccountKey status(quint64 mask, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailAccountKey status(quint64 value, QMailDataComparator::EqualityComparator cmp);
    static QMailAccountKey name(const QString &value, QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailAccountKey name(const QString &value, QMailDataComparator::InclusionComparator cmp);

private:
    friend struct QmfStandIn::KeyAccess;
    QSharedPointer<const QmfStandIn::KeyNode> d;
};

Q_DECLARE_METATYPE(QMailAccountKey)

#endif // QMAILACCOUNTKEY_H
