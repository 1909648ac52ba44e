#ifndef QMAILMESSAGESORTKEY_H
#define QMAILMESSAGESORTKEY_H

#include "qmailglobal.h"

#include <QList>
#include <QMetaType>
#include <QPair>

namespace QmfStandIn {
struct KeyAccess;
}

// Orders messages in store queries: the first criterion decides, later ones break ties.
// The empty key means the store's own order (ascending id).
class QMF_EXPORT QMailMessageSortKey
{
public:
    QMailMessageSortKey();
    QMailMessageSortKey(const QMailMessageSortKey &other);
    virtual ~QMailMessageSortKey();

    QMailMessageSortKey operator&(const QMailMessageSortKey &other) const;
    const QMailMessageSortKey &operator&=(const QMailMessageSortKey &other);

    bool operator==(const QMailMessageSortKey &other) const;
    bool operator!=(const QMailMessageSortKey &other) const;

    const QMailMessageSortKey &operator=(const QMailMessageSortKey &other);

    bool isEmpty() const;

    static QMailMessageSortKey id(Qt::SortOrder order = Qt::AscendingOrder);
    static QMailMessageSortKey timeStamp(Qt::SortOrder order = Qt::AscendingOrder);

private:
    friend struct QmfStandIn::KeyAccess;
    QList<QPair<int, Qt::SortOrder>> m_criteria;
};

Q_DECLARE_METATYPE(QMailMessageSortKey)

#endif // QMAILMESSAGESORTKEY_H
