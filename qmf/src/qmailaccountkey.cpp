#include "qmailaccountkey.h"

#include "qmailkeynode_p.h"

using namespace QmfStandIn;
using Keys::equality;
using Keys::idValues;
using Keys::inclusion;

QMailAccountKey::QMailAccountKey() = default;

QMailAccountKey::QMailAccountKey(const QMailAccountKey &other) = default;

QMailAccountKey::~QMailAccountKey() = default;

QMailAccountKey QMailAccountKey::operator~() const
{
    return KeyAccess::make<QMailAccountKey>(Keys::negated(d));
}

QMailAccountKey QMailAccountKey::operator&(const QMailAccountKey &other) const
{
    return KeyAccess::make<QMailAccountKey>(Keys::conjunction(d, other.d));
}

QMailAccountKey QMailAccountKey::operator|(const QMailAccountKey &other) const
{
    return KeyAccess::make<QMailAccountKey>(Keys::disjunction(d, other.d));
}

const QMailAccountKey &QMailAccountKey::operator&=(const QMailAccountKey &other)
{
    d = Keys::conjunction(d, other.d);
    return *this;
}

const QMailAccountKey &QMailAccountKey::operator|=(const QMailAccountKey &other)
{
    d = Keys::disjunction(d, other.d);
    return *this;
}

bool QMailAccountKey::operator==(const QMailAccountKey &other) const
{
    return Keys::same(d, other.d);
}

bool QMailAccountKey::operator!=(const QMailAccountKey &other) const
{
    return !Keys::same(d, other.d);
}

const QMailAccountKey &QMailAccountKey::operator=(const QMailAccountKey &other)
{
    d = other.d;
    return *this;
}

bool QMailAccountKey::isEmpty() const
{
    return Keys::isEmpty(d);
}

bool QMailAccountKey::isNonMatching() const
{
    return Keys::isNonMatching(d);
}

bool QMailAccountKey::isNegated() const
{
    return Keys::isNegated(d);
}

QMailAccountKey QMailAccountKey::nonMatchingKey()
{
    return KeyAccess::make<QMailAccountKey>(Keys::nonMatching());
}

QMailAccountKey QMailAccountKey::id(const QMailAccountId &id, QMailDataComparator::EqualityComparator cmp)
{
    // As in the platform library, the key on an invalid id is the non-matching key itself.
    if (!id.isValid() && cmp == QMailDataComparator::Equal)
        return nonMatchingKey();
    return KeyAccess::make<QMailAccountKey>(Keys::criterion(AccountIdProperty, equality(cmp), {id.toULongLong()}));
}

QMailAccountKey QMailAccountKey::id(const QMailAccountIdList &ids, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailAccountKey>(Keys::listCriterion(AccountIdProperty, cmp == QMailDataComparator::Excludes, idValues(ids)));
}

QMailAccountKey QMailAccountKey::status(quint64 mask, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailAccountKey>(Keys::criterion(AccountStatusProperty, inclusion(cmp), {mask}));
}

QMailAccountKey QMailAccountKey::status(quint64 value, QMailDataComparator::EqualityComparator cmp)
{
    return KeyAccess::make<QMailAccountKey>(Keys::criterion(AccountStatusProperty, equality(cmp), {value}));
}

QMailAccountKey QMailAccountKey::name(const QString &value, QMailDataComparator::EqualityComparator cmp)
{
    return KeyAccess::make<QMailAccountKey>(Keys::textCriterion(AccountNameProperty, equality(cmp), value));
}

QMailAccountKey QMailAccountKey::name(const QString &value, QMailDataComparator::InclusionComparator cmp)
{
    return KeyAccess::make<QMailAccountKey>(Keys::textCriterion(AccountNameProperty, inclusion(cmp), value));
}
