#ifndef ZAVEKSERVICEACTIONMANAGER_P_H
#define ZAVEKSERVICEACTIONMANAGER_P_H

#include "zavekflatindex_p.h"
#include "zavekserialwindow_p.h"
#include "zavekserviceactionmanager.h"

#include <QSharedPointer>
#include <QString>

#include <map>

namespace ZavekServiceActionManagerPrivate {

typedef QSharedPointer<ZavekServiceActionManager::Action> ActionPointer;

// The text of an operation's description, kept by the operation after the first call:
// read in place, without a copy (each copy of a string and its release are atomic counts).
inline const QString &descriptionOf(const ZavekServiceActionManager::Action &action)
{
    if (action._description.isEmpty())
        action.description();
    return action._description;
}

// A text key that carries its hash, so that it is not hashed again at every lookup. The text
// is the operation's own; the key is valid while the operation lives.
struct HashedText {
    HashedText(const QString &text, uint hash) : text(text), hash(hash) {}

    const QString &text;
    uint hash = 0;
};

// The description of an operation as a table key; its hash is worked out once.
inline HashedText descriptionKey(ZavekServiceActionManager::Action &action)
{
    const QString &text = descriptionOf(action);
    if (!action._descriptionHashed) {
        action._descriptionHash = qHash(text);
        action._descriptionHashed = true;
    }
    return HashedText(text, action._descriptionHash);
}

// Additions and updates never merge, but they change the store like deletions, flags and
// moves: a flag queued before an update must not take in a later equal flag, or the update,
// carrying the older status, would undo the user's last change.
inline bool isStoreChange(const ZavekServiceActionManager::Action &action)
{
    return action._mergePolicy == ZavekServiceActionManager::Action::MergeIfLastStoreChange
        || action._mergePolicy == ZavekServiceActionManager::Action::MergeNever;
}

// The manager's queue, indexed so that appending, merging, cancelling and taking the next
// operation cost the same whatever its length. Queue order is arrival order, except that a
// prepended operation goes to the head; operations are appended in the order of their
// serials. takeNext() returns the most urgent operation, ties going to the one nearest the
// head. An operation is queued at most once.
class ActionQueue
{
public:
    bool isEmpty() const { return m_bySerial.isEmpty(); }
    int size() const { return m_bySerial.size(); }

    void append(const ActionPointer &action);
    void prepend(const ActionPointer &action);

    // Removes and returns the most urgent operation; null when empty.
    ActionPointer takeNext();
    // Serial of the operation at the head of the queue order; 0 when empty.
    uint firstSerial() const;
    // Removes the operation with this serial; null when none is queued.
    ActionPointer take(uint serial);
    ActionPointer find(uint serial) const;

    // The first queued operation with this description, in queue order, that accepted()
    // approves; null when there is none. Only operations that merge by description
    // (MergeAlways, MergeUnlessStarted) are found, and not those equal by their part key.
    template <typename Predicate>
    ActionPointer findEqual(const HashedText &description, Predicate accepted) const
    {
        const ZavekServiceActionManager::Action *const *first = m_byDescription.find(description, description.hash);
        for (const ZavekServiceActionManager::Action *candidate = first ? *first : nullptr; candidate;
             candidate = at(candidate->_nextEqual)) {
            if (accepted(*candidate))
                return find(candidate->_serial);
        }
        return ActionPointer();
    }
    // The store change nearest the tail; null when none is queued.
    ActionPointer lastStoreChange() const;
    // Calls visit(action) for every queued operation, in no particular order.
    template <typename Visit>
    void forEach(Visit visit) const
    {
        m_bySerial.forEach(visit);
    }

private:
    // Operations of one priority in queue order, linked through the operations themselves
    // by serial; 0 ends a lane.
    struct Lane {
        uint head = 0;
        uint tail = 0;
    };
    // The queue's own references, by serial.
    struct BySerial {
        static uint serialOf(const ActionPointer &action) { return action->_serial; }
    };
    // The first queued operation of each description; the others with the same description
    // (repeated snapshot requests and their follow-ups) follow it through _nextEqual.
    struct ByDescription {
        static bool matches(const ZavekServiceActionManager::Action *action, const HashedText &description)
        {
            return action->_descriptionHash == description.hash && action->_description == description.text;
        }
        static bool matches(const ZavekServiceActionManager::Action *action, const ZavekServiceActionManager::Action *same)
        {
            return action == same;
        }
    };

    void insert(const ActionPointer &action, bool atHead);
    void linkEqual(ZavekServiceActionManager::Action *action, bool atHead);
    void unlinkEqual(ZavekServiceActionManager::Action *action);
    // Null when no operation with this serial is queued.
    ActionPointer remove(uint serial);
    // The queued operation with this serial, a link to it; null when none is queued (0 links
    // to none).
    ZavekServiceActionManager::Action *at(uint serial) const;

    // An operation's place in queue order (see Action::_headRank).
    struct Place {
        quint32 headRank;
        uint serial;
    };
    // Whether @p place comes before @p other in queue order: the operations put at the head,
    // the latest first, then the appended ones by serial. Both counters may have wrapped.
    struct Earlier {
        bool operator()(const Place &place, const Place &other) const;
    };
    static Place placeOf(const ZavekServiceActionManager::Action &action);

    // One lane per priority; std::map keeps priorities sorted.
    std::map<int, Lane> m_lanes;
    SerialWindow<ActionPointer, BySerial> m_bySerial;
    FlatIndex<ZavekServiceActionManager::Action *, ByDescription> m_byDescription;
    std::map<Place, ActionPointer, Earlier> m_storeChanges;
    // Operations put at the head so far.
    quint32 m_headPuts = 0;
};

} // namespace ZavekServiceActionManagerPrivate

#endif // ZAVEKSERVICEACTIONMANAGER_P_H
