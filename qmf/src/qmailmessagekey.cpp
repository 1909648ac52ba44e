#include "qmailmessagekey.h"

#include "qmailkeynode_p.h"

using namespace QmfStandIn;
using Keys::equality;
using Keys::idValues;
using Keys::inclusion;

QMailMessageKey::QMailMessageKey() = default;

QMailMessageKey::QMailMessageKey(const QMailMessageKey &other) = default;

QMailMessageKey::~QMailMessageKey() = default;

QMailMessageKey QMailMessageKey::operator~() const
{
    return KeyAccess::make<QMailMessageKey>(Keys::negated(d));
}

QMailMessageKey QMailMessageKey::operator&(const QMailMessageKey &other) const
{
    return KeyAccess::make<QMailMessageKey>(Keys::conjunction(d, other.d));
}

QMailMessageKey QMailMessageKey::operator|(const QMailMessageKey &other) const
{
    return KeyAccess::make<QMailMessageKey>(Keys::disjunction(d, other.d));
}

const QMailMessageKey &QMailMessageKey::operator&=(const QMailMessageKey &other)
{
    d = Keys::conjunction(d, other.d);
    return *this;
}

const QMailMessageKey &QMailMessageKey::operator|=(const QMailMessageKey &other)
{
    d = Keys::disjunction(d, other.d);
    return *this;
}

bool QMailMessageKey::operator==(const QMailMessageKey &other) const
{
    return Keys::same(d, other.d);
}

bool QMailMessageKey::operator!=(const QMailMessageKey &other) const
{
    return !Keys::same(d, other.d);
}

const QMailMessageKey &QMailMessageKey::operator=(const QMailMessageKey &other)
{
    d = other.d;
    return *this;
}

bool QMailMessageKey::isEmpty() const
{
    return Keys::isEmpty(d);
}

bool QMailMessageKey::isNonMatching() const
{
    return Keys::isNonMatching(d);
}

bool QMailMessageKey::isNegated() const
{
    return Keys::isNegated(d);
}

QMailMessageKey QMailMessageKey::nonMatchingKey()
{
    return KeyAccess::make<QMailMessageKey>(Keys::nonMatching());
}

QMailMessageKey QMailMessageKey::id(const QMailMessageId &id, QMailDataComparator::EqualityComparator cmp)
{
    // As in the platform library, the key on an invalid id is the non-matching key itself.
    if (!id.isValid() && cmp == QMailDataComparator::Equal)
        return nonMatchingKey();
    return KeyAccess::make<QMailMessageKey>(Keys::criterion(MessageIdProperty, equality(cmp), {id.toULongLong()}));
}

QMailMessageKey QMailMessageKey::id(const QMailMessageIdList &ids, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailMessageKey>(Keys::listCriterion(MessageIdProperty, cmp == QMailDataComparator::Excludes, idValues(ids)));
}

QMailMessageKey QMailMessageKey::status(quint64 mask, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailMessageKey>(Keys::criterion(MessageStatusProperty, inclusion(cmp), {mask}));
}

QMailMessageKey QMailMessageKey::status(quint64 value, QMailDataComparator::EqualityComparator cmp)
{
    return KeyAccess::make<QMailMessageKey>(Keys::criterion(MessageStatusProperty, equality(cmp), {value}));
}

QMailMessageKey QMailMessageKey::parentAccountId(const QMailAccountId &id, QMailDataComparator::EqualityComparator cmp)
{
    return KeyAccess::make<QMailMessageKey>(Keys::criterion(MessageParentAccountIdProperty, equality(cmp), {id.toULongLong()}));
}

QMailMessageKey QMailMessageKey::parentAccountId(const QMailAccountKey &key, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailMessageKey>(Keys::subKeyCriterion(MessageParentAccountKeyProperty, inclusion(cmp), KeyAccess::node(key)));
}

QMailMessageKey QMailMessageKey::parentFolderId(const QMailFolderId &id, QMailDataComparator::EqualityComparator cmp)
{
    return KeyAccess::make<QMailMessageKey>(Keys::criterion(MessageParentFolderIdProperty, equality(cmp), {id.toULongLong()}));
}

QMailMessageKey QMailMessageKey::parentFolderId(const QMailFolderIdList &ids, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailMessageKey>(Keys::listCriterion(MessageParentFolderIdProperty, cmp == QMailDataComparator::Excludes, idValues(ids)));
}

QMailMessageKey QMailMessageKey::parentFolderId(const QMailFolderKey &key, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailMessageKey>(Keys::subKeyCriterion(MessageParentFolderKeyProperty, inclusion(cmp), KeyAccess::node(key)));
}
