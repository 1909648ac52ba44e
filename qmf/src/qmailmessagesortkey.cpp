#include "qmailmessagesortkey.h"

#include "qmailkeynode_p.h"

using namespace QmfStandIn;

QMailMessageSortKey::QMailMessageSortKey() = default;

QMailMessageSortKey::QMailMessageSortKey(const QMailMessageSortKey &other) = default;

QMailMessageSortKey::~QMailMessageSortKey() = default;

QMailMessageSortKey QMailMessageSortKey::operator&(const QMailMessageSortKey &other) const
{
    QMailMessageSortKey combined(*this);
    combined.m_criteria += other.m_criteria;
    return combined;
}

const QMailMessageSortKey &QMailMessageSortKey::operator&=(const QMailMessageSortKey &other)
{
    m_criteria += other.m_criteria;
    return *this;
}

bool QMailMessageSortKey::operator==(const QMailMessageSortKey &other) const
{
    return m_criteria == other.m_criteria;
}

bool QMailMessageSortKey::operator!=(const QMailMessageSortKey &other) const
{
    return m_criteria != other.m_criteria;
}

const QMailMessageSortKey &QMailMessageSortKey::operator=(const QMailMessageSortKey &other)
{
    m_criteria = other.m_criteria;
    return *this;
}

bool QMailMessageSortKey::isEmpty() const
{
    return m_criteria.isEmpty();
}

QMailMessageSortKey QMailMessageSortKey::id(Qt::SortOrder order)
{
    return KeyAccess::makeSort<QMailMessageSortKey>(SortById, order);
}

QMailMessageSortKey QMailMessageSortKey::timeStamp(Qt::SortOrder order)
{
    return KeyAccess::makeSort<QMailMessageSortKey>(SortByTimeStamp, order);
}
