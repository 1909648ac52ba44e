#ifndef ZAVEKSERVICEACTIONMANAGER_P_H
#define ZAVEKSERVICEACTIONMANAGER_P_H

#include "zavekserviceactionmanager.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSharedPointer>
#include <QString>

#include <list>
#include <map>

namespace ZavekServiceActionManagerPrivate {

typedef QSharedPointer<ZavekServiceActionManager::Action> ActionPointer;

// The manager's queue, indexed so that appending, merging, cancelling and taking the next
// operation cost the same whatever its length. Queue order is arrival order, except that a
// prepended operation goes to the head. takeNext() returns the most urgent operation,
// ties going to the one nearest the head. An operation is queued at most once.
class ActionQueue
{
public:
    bool isEmpty() const { return m_positions.isEmpty(); }
    int size() const { return m_positions.size(); }

    void append(const ActionPointer &action);
    void prepend(const ActionPointer &action);

    // Removes and returns the most urgent operation; null when empty.
    ActionPointer takeNext();
    // The operation at the head of the queue order; null when empty.
    ActionPointer first() const;
    // Removes the operation with this serial; null when none is queued.
    ActionPointer take(uint serial);
    ActionPointer find(uint serial) const;
    bool contains(const ActionPointer &action) const;

    // Queued operations with this description, in queue order.
    QList<ActionPointer> withDescription(const QString &description) const;
    // The store change nearest the tail; null when none is queued.
    ActionPointer lastStoreChange() const;

private:
    typedef std::list<ActionPointer> Lane;
    struct Position {
        int priority;
        Lane::iterator at;
        qint64 order;
    };

    void insert(const ActionPointer &action, qint64 order, bool atHead);
    ActionPointer remove(QHash<uint, Position>::iterator position);

    // One lane per priority, each in queue order; std::map keeps priorities sorted.
    std::map<int, Lane> m_lanes;
    QHash<uint, Position> m_positions;
    QHash<QString, QList<ActionPointer> > m_byDescription;
    QMap<qint64, ActionPointer> m_storeChanges;
    qint64 m_headOrder = 0;
    qint64 m_tailOrder = 0;
};

// Remembers under which cache keys each serial was entered, so that forgetting a serial
// touches only its own entries, under the keys exactly as they were stored.
class CacheIndex
{
public:
    struct Keys {
        QList<QMailMessageId> ids;
        QList<QString> locations;
    };

    void addId(uint serial, const QMailMessageId &id) { m_keys[serial].ids.append(id); }
    void addLocation(uint serial, const QString &key) { m_keys[serial].locations.append(key); }
    Keys take(uint serial) { return m_keys.take(serial); }

private:
    QHash<uint, Keys> m_keys;
};

} // namespace ZavekServiceActionManagerPrivate

#endif // ZAVEKSERVICEACTIONMANAGER_P_H
