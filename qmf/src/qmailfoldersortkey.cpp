#include "qmailfoldersortkey.h"

#include "qmailkeynode_p.h"

using namespace QmfStandIn;

QMailFolderSortKey::QMailFolderSortKey() = default;

QMailFolderSortKey::QMailFolderSortKey(const QMailFolderSortKey &other) = default;

QMailFolderSortKey::~QMailFolderSortKey() = default;

QMailFolderSortKey QMailFolderSortKey::operator&(const QMailFolderSortKey &other) const
{
    QMailFolderSortKey combined(*this);
    combined.m_criteria += other.m_criteria;
    return combined;
}

const QMailFolderSortKey &QMailFolderSortKey::operator&=(const QMailFolderSortKey &other)
{
    m_criteria += other.m_criteria;
    return *this;
}

bool QMailFolderSortKey::operator==(const QMailFolderSortKey &other) const
{
    return m_criteria == other.m_criteria;
}

bool QMailFolderSortKey::operator!=(const QMailFolderSortKey &other) const
{
    return m_criteria != other.m_criteria;
}

const QMailFolderSortKey &QMailFolderSortKey::operator=(const QMailFolderSortKey &other)
{
    m_criteria = other.m_criteria;
    return *this;
}

bool QMailFolderSortKey::isEmpty() const
{
    return m_criteria.isEmpty();
}

QMailFolderSortKey QMailFolderSortKey::id(Qt::SortOrder order)
{
    return KeyAccess::makeSort<QMailFolderSortKey>(SortById, order);
}

QMailFolderSortKey QMailFolderSortKey::path(Qt::SortOrder order)
{
    return KeyAccess::makeSort<QMailFolderSortKey>(SortByPath, order);
}
