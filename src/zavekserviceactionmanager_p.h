#ifndef ZAVEKSERVICEACTIONMANAGER_P_H
#define ZAVEKSERVICEACTIONMANAGER_P_H

#include "zavekserviceactionmanager.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSharedPointer>
#include <QString>
#include <QVarLengthArray>

#include <map>

namespace ZavekServiceActionManagerPrivate {

typedef QSharedPointer<ZavekServiceActionManager::Action> ActionPointer;

// The manager's tables grow by doubling but are not shrunk step by step while they drain
// (each shrink rebuilds the whole table); they are released once empty. reserved is the
// size a table was last reserved for.
// The description of an operation as a table key; its hash is worked out once.
inline HashedText descriptionKey(ZavekServiceActionManager::Action &action)
{
    if (!action._descriptionHashed) {
        action._descriptionHash = qHash(action.description());
        action._descriptionHashed = true;
    }
    return HashedText(action.description(), action._descriptionHash);
}

// Additions and updates never merge, but they change the store like deletions, flags and
// moves: a flag queued before an update must not take in a later equal flag, or the update,
// carrying the older status, would undo the user's last change.
inline bool isStoreChange(const ZavekServiceActionManager::Action &action)
{
    return action._mergePolicy == ZavekServiceActionManager::Action::MergeIfLastStoreChange
        || action._mergePolicy == ZavekServiceActionManager::Action::MergeNever;
}

template <typename Hash>
void reserveAhead(Hash &table, int &reserved)
{
    if (table.size() < reserved)
        return;
    reserved = qMax(64, 2 * table.size());
    table.reserve(reserved);
}

template <typename Hash>
void releaseIfEmpty(Hash &table, int &reserved)
{
    if (reserved == 0 || !table.isEmpty())
        return;
    table = Hash();
    reserved = 0;
}

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
    // Serial of the operation at the head of the queue order; 0 when empty.
    uint firstSerial() const;
    // Removes the operation with this serial; null when none is queued.
    ActionPointer take(uint serial);
    ActionPointer find(uint serial) const;
    bool contains(const ActionPointer &action) const;

    // The first queued operation with this description, in queue order, that accepted()
    // approves; null when there is none.
    template <typename Predicate>
    ActionPointer findEqual(const HashedText &description, Predicate accepted) const
    {
        const auto equal = m_byDescription.constFind(description);
        if (equal == m_byDescription.constEnd())
            return ActionPointer();
        for (const ActionPointer &candidate : equal.value()) {
            if (accepted(candidate))
                return candidate;
        }
        return ActionPointer();
    }
    // The store change nearest the tail; null when none is queued.
    ActionPointer lastStoreChange() const;
    // Calls visit(action) for every queued operation, in no particular order.
    template <typename Visit>
    void forEach(Visit visit) const
    {
        for (const ActionPointer &action : m_positions)
            visit(action);
    }

private:
    // Operations of one priority in queue order, linked through the operations themselves.
    struct Lane {
        ZavekServiceActionManager::Action *head = nullptr;
        ZavekServiceActionManager::Action *tail = nullptr;
    };
    // Usually one operation per description; more only for repeated store changes and
    // follow-ups of snapshot requests.
    typedef QVarLengthArray<ActionPointer, 1> EqualActions;

    void insert(const ActionPointer &action, qint64 order, bool atHead);
    // Null when no operation with this serial is queued.
    ActionPointer remove(uint serial);
    const ZavekServiceActionManager::Action *head() const;

    // One lane per priority; std::map keeps priorities sorted.
    std::map<int, Lane> m_lanes;
    QHash<uint, ActionPointer> m_positions;
    QHash<HashedText, EqualActions> m_byDescription;
    QMap<qint64, ActionPointer> m_storeChanges;
    qint64 m_headOrder = 0;
    qint64 m_tailOrder = 0;
    int m_positionsReserved = 0;
    int m_descriptionsReserved = 0;
};

} // namespace ZavekServiceActionManagerPrivate

#endif // ZAVEKSERVICEACTIONMANAGER_P_H
