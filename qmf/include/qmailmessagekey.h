#ifndef QMAILMESSAGEKEY_H
#define QMAILMESSAGEKEY_H

#include "qmailglobal.h"
#include "qmaildatacomparator.h"
#include "qmailid.h"
#include "qmailaccountkey.h"
#include "qmailfolderkey.h"

#include <QMetaType>
#include <QSharedPointer>
#include <QString>

namespace QmfStandIn {
struct KeyNode;
struct KeyAccess;
}

// Selects messages in store queries. Keys are immutable, implicitly shared criteria trees;
// the empty key matches every message.
class QMF_EXPORT QMailMessageKey
{
public:
    QMailMessageKey();
    QMailMessageKey(const QMailMessageKey &other);
    virtual ~QMailMessageKey();

    QMailMessageKey operator~() const;
    QMailMessageKey operator&(const QMailMessageKey &other) const;
    QMailMessageKey operator|(const QMailMessageKey &other) const;
    const QMailMessageKey &operator&=(const QMailMessageKey &other);
    const QMailMessageKey &operator|=(const QMailMessageKey &other);

    bool operator==(const QMailMessageKey &other) const;
    bool operator!=(const QMailMessageKey &other) const;

    const QMailMessageKey &operator=(const QMailMessageKey &other);

    bool isEmpty() const;
    bool isNonMatching() const;
    bool isNegated() const;

    static QMailMessageKey nonMatchingKey();

    static QMailMessageKey id(const QMailMessageId &id, QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailMessageKey id(const QMailMessageIdList &ids, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailMessageKey status(quint64 mask, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailMessageKey status(quint64 value, QMailDataComparator::EqualityComparator cmp);
    static QMailMessageKey parentAccountId(const QMailAccountId &id, QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailMessageKey parentAccountId(const QMailAccountKey &key, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailMessageKey parentFolderId(const QMailFolderId &id, QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailMessageKey parentFolderId(const QMailFolderIdList &ids, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailMessageKey parentFolderId(const QMailFolderKey &key, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);

private:
    friend struct QmfStandIn::KeyAccess;
    QSharedPointer<const QmfStandIn::KeyNode> d;
};

Q_DECLARE_METATYPE(QMailMessageKey)

#endif // QMAILMESSAGEKEY_H
