#ifndef QMAILFOLDERKEY_H
#define QMAILFOLDERKEY_H

#include "qmailglobal.h"
#include "qmaildatacomparator.h"
#include "qmailid.h"
#include "qmailaccountkey.h"

#include <QMetaType>
#include <QSharedPointer>
#include <QString>

namespace QmfStandIn {
struct KeyNode;
struct KeyAccess;
}

// Selects folders in store queries. Keys are immutable, implicitly shared criteria trees;
// the empty key matches every folder.
class QMF_EXPORT QMailFolderKey
{
public:
    QMailFolderKey();
    QMailFolderKey(const QMailFolderKey &other);
    virtual ~QMailFolderKey();

    QMailFolderKey operator~() const;
    QMailFolderKey operator&(const QMailFolderKey &other) const;
    QMailFolderKey operator|(const QMailFolderKey &other) const;
    const QMailFolderKey &operator&=(const QMailFolderKey &other);
    const QMailFolderKey &operator|=(const QMailFolderKey &other);

    bool operator==(const QMailFolderKey &other) const;
    bool operator!=(const QMailFolderKey &other) const;

    const QMailFolderKey &operator=(const QMailFolderKey &other);

    bool isEmpty() const;
    bool isNonMatching() const;
    bool isNegated() const;

    static QMailFolderKey nonMatchingKey();

    static QMailFolderKey id(const QMailFolderId &id, QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailFolderKey id(const QMailFolderIdList &ids, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailFolderKey status(quint64 mask, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailFolderKey status(quint64 value, QMailDataComparator::EqualityComparator cmp);
    static QMailFolderKey path(const QString &value, QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailFolderKey path(const QString &value, QMailDataComparator::InclusionComparator cmp);
    static QMailFolderKey parentAccountId(const QMailAccountId &id, QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailFolderKey parentAccountId(const QMailAccountKey &key, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailFolderKey parentFolderId(const QMailFolderId &id, QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailFolderKey parentFolderId(const QMailFolderIdList &ids, QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);

private:
    friend struct QmfStandIn::KeyAccess;
    QSharedPointer<const QmfStandIn::KeyNode> d;
};

Q_DECLARE_METATYPE(QMailFolderKey)

#endif // QMAILFOLDERKEY_H
