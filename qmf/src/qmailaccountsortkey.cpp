#include "qmailaccountsortkey.h"

#include "qmailkeynode_p.h"

using namespace QmfStandIn;

QMailAccountSortKey::QMailAccountSortKey() = default;

QMailAccountSortKey::QMailAccountSortKey(const QMailAccountSortKey &other) = default;

QMailAccountSortKey::~QMailAccountSortKey() = default;

QMailAccountSortKey QMailAccountSortKey::operator&(const QMailAccountSortKey &other) const
{
    QMailAccountSortKey combined(*this);
    combined.m_criteria += other.m_criteria;
    return combined;
}

const QMailAccountSortKey &QMailAccountSortKey::operator&=(const QMailAccountSortKey &other)
{
    m_criteria += other.m_criteria;
    return *this;
}

bool QMailAccountSortKey::operator==(const QMailAccountSortKey &other) const
{
    return m_criteria == other.m_criteria;
}

bool QMailAccountSortKey::operator!=(const QMailAccountSortKey &other) const
{
    return m_criteria != other.m_criteria;
}

const QMailAccountSortKey &QMailAccountSortKey::operator=(const QMailAccountSortKey &other)
{
    m_criteria = other.m_criteria;
    return *this;
}

bool QMailAccountSortKey::isEmpty() const
{
    return m_criteria.isEmpty();
}

QMailAccountSortKey QMailAccountSortKey::id(Qt::SortOrder order)
{
    return KeyAccess::makeSort<QMailAccountSortKey>(SortById, order);
}

QMailAccountSortKey QMailAccountSortKey::name(Qt::SortOrder order)
{
    return KeyAccess::makeSort<QMailAccountSortKey>(SortByName, order);
}
