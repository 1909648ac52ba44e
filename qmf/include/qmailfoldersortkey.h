#ifndef QMAILFOLDERSORTKEY_H
#define QMAILFOLDERSORTKEY_H

#include "qmailglobal.h"

#include <QList>
#include <QMetaType>
#include <QPair>

namespace QmfStandIn {
struct KeyAccess;
}

// Orders folders in store queries: the first criterion decides, later ones break ties.
// The empty key means the store's own order (ascending id).
class QMF_EXPORT QMailFolderSortKey
{
public:
    QMailFolderSortKey();
    QMailFolderSortKey(const QMailFolderSortKey &other);
    virtual ~QMailFolderSortKey();

    QMailFolderSortKey operator&(const QMailFolderSortKey &other) const;
    const QMailFolderSortKey &operator&=(const QMailFolderSortKey &other);

    bool operator==(const QMailFolderSortKey &other) const;
    bool operator!=(const QMailFolderSortKey &other) const;

    const QMailFolderSortKey &operator=(const QMailFolderSortKey &other);

    bool isEmpty() const;

    static QMailFolderSortKey id(Qt::SortOrder order = Qt::AscendingOrder);
    static QMailFolderSortKey path(Qt::SortOrder order = Qt::AscendingOrder);

private:
    friend struct QmfStandIn::KeyAccess;
    QList<QPair<int, Qt::SortOrder>> m_criteria;
};

Q_DECLARE_METATYPE(QMailFolderSortKey)

#endif // QMAILFOLDERSORTKEY_H
