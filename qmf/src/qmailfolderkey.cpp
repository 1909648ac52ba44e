#include "qmailfolderkey.h"

#include "qmailkeynode_p.h"

using namespace QmfStandIn;
using Keys::equality;
using Keys::idValues;
using Keys::inclusion;

QMailFolderKey::QMailFolderKey() = default;

QMailFolderKey::QMailFolderKey(const QMailFolderKey &other) = default;

QMailFolderKey::~QMailFolderKey() = default;

QMailFolderKey QMailFolderKey::operator~() const
{
    return KeyAccess::make<QMailFolderKey>(Keys::negated(d));
}

QMailFolderKey QMailFolderKey::operator&(const QMailFolderKey &other) const
{
    return KeyAccess::make<QMailFolderKey>(Keys::conjunction(d, other.d));
}

QMailFolderKey QMailFolderKey::operator|(const QMailFolderKey &other) const
{
    return KeyAccess::make<QMailFolderKey>(Keys::disjunction(d, other.d));
}

const QMailFolderKey &QMailFolderKey::operator&=(const QMailFolderKey &other)
{
    d = Keys::conjunction(d, other.d);
    return *this;
}

const QMailFolderKey &QMailFolderKey::operator|=(const QMailFolderKey &other)
{
    d = Keys::disjunction(d, other.d);
    return *this;
}

bool QMailFolderKey::operator==(const QMailFolderKey &other) const
{
    return Keys::same(d, other.d);
}

bool QMailFolderKey::operator!=(const QMailFolderKey &other) const
{
    return !Keys::same(d, other.d);
}

const QMailFolderKey &QMailFolderKey::operator=(const QMailFolderKey &other)
{
    d = other.d;
    return *this;
}

bool QMailFolderKey::isEmpty() const
{
    return Keys::isEmpty(d);
}

bool QMailFolderKey::isNonMatching() const
{
    return Keys::isNonMatching(d);
}

bool QMailFolderKey::isNegated() const
{
    return Keys::isNegated(d);
}

QMailFolderKey QMailFolderKey::nonMatchingKey()
{
    return KeyAccess::make<QMailFolderKey>(Keys::nonMatching());
}

QMailFolderKey QMailFolderKey::id(const QMailFolderId &id, QMailDataComparator::EqualityComparator cmp)
{
    // As in the platform library, the key on an invalid id is the non-matching key itself.
    if (!id.isValid() && cmp == QMailDataComparator::Equal)
        return nonMatchingKey();
    return KeyAccess::make<QMailFolderKey>(Keys::criterion(FolderIdProperty, equality(cmp), {id.toULongLong()}));
}

QMailFolderKey QMailFolderKey::id(const QMailFolderIdList &ids, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailFolderKey>(Keys::listCriterion(FolderIdProperty, cmp == QMailDataComparator::Excludes, idValues(ids)));
}

QMailFolderKey QMailFolderKey::status(quint64 mask, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailFolderKey>(Keys::criterion(FolderStatusProperty, inclusion(cmp), {mask}));
}

QMailFolderKey QMailFolderKey::status(quint64 value, QMailDataComparator::EqualityComparator cmp)
{
    return KeyAccess::make<QMailFolderKey>(Keys::criterion(FolderStatusProperty, equality(cmp), {value}));
}

QMailFolderKey QMailFolderKey::path(const QString &value, QMailDataComparator::EqualityComparator cmp)
{
    return KeyAccess::make<QMailFolderKey>(Keys::textCriterion(FolderPathProperty, equality(cmp), value));
}

QMailFolderKey QMailFolderKey::path(const QString &value, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailFolderKey>(Keys::textCriterion(FolderPathProperty, inclusion(cmp), value));
}

QMailFolderKey QMailFolderKey::parentAccountId(const QMailAccountId &id, QMailDataComparator::EqualityComparator cmp)
{
    return KeyAccess::make<QMailFolderKey>(Keys::criterion(FolderParentAccountIdProperty, equality(cmp), {id.toULongLong()}));
}

QMailFolderKey QMailFolderKey::parentAccountId(const QMailAccountKey &key, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailFolderKey>(Keys::subKeyCriterion(FolderParentAccountKeyProperty, inclusion(cmp), KeyAccess::node(key)));
}

QMailFolderKey QMailFolderKey::parentFolderId(const QMailFolderId &id, QMailDataComparator::EqualityComparator cmp)
{
    return KeyAccess::make<QMailFolderKey>(Keys::criterion(FolderParentFolderIdProperty, equality(cmp), {id.toULongLong()}));
}

QMailFolderKey QMailFolderKey::parentFolderId(const QMailFolderIdList &ids, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailFolderKey>(Keys::listCriterion(FolderParentFolderIdProperty, cmp == QMailDataComparator::Excludes, idValues(ids)));
}
