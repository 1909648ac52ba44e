#ifndef QMAILACCOUNTSORTKEY_H
#define QMAILACCOUNTSORTKEY_H

#include "qmailglobal.h"

#include <QList>
#include <QMetaType>
#include <QPair>

namespace QmfStandIn {
struct KeyAccess;
}

// Orders accounts in store queries: the first criterion decides, later ones break ties.
// The empty key means the store's own order (ascending id).
class QMF_EXPORT QMailAccountSortKey
{
public:
    QMailAccountSortKey();
    QMailAccountSortKey(const QMailAccountSortKey &other);
    virtual ~QMailAccountSortKey();

    QMailAccountSortKey operator&(const QMailAccountSortKey &other) const;
    const QMailAccountSortKey &operator&=(const QMailAccountSortKey &other);

    bool operator==(const QMailAccountSortKey &other) const;
    bool operator!=(const QMailAccountSortKey &other) const;

    const QMailAccountSortKey &operator=(const QMailAccountSortKey &other);

    bool isEmpty() const;

    static QMailAccountSortKey id(Qt::SortOrder order = Qt::AscendingOrder);
    static QMailAccountSortKey name(Qt::SortOrder order = Qt::AscendingOrder);

private:
    friend struct QmfStandIn::KeyAccess;
    QList<QPair<int, Qt::SortOrder>> m_criteria;
};

Q_DECLARE_METATYPE(QMailAccountSortKey)

#endif // QMAILACCOUNTSORTKEY_H
