#include "zavekserviceactionmanager_p.h"

namespace ZavekServiceActionManagerPrivate {

namespace {

// Store changes and additions are matched by position, never by description; part
// retrievals are found through the part cache, one table fewer to touch per request.
bool indexedByDescription(const ZavekServiceActionManager::Action &action)
{
    return (action._mergePolicy == ZavekServiceActionManager::Action::MergeAlways
            || action._mergePolicy == ZavekServiceActionManager::Action::MergeUnlessStarted)
        && !action._equalByPartKey;
}

// Counter order across a wrap: live serials (and head ranks) are far fewer than 2^31 apart.
bool precedes(quint32 value, quint32 other)
{
    return qint32(value - other) < 0;
}

} // namespace

ActionQueue::Place ActionQueue::placeOf(const ZavekServiceActionManager::Action &action)
{
    return Place{action._headRank, action._serial};
}

bool ActionQueue::Earlier::operator()(const Place &place, const Place &other) const
{
    if (place.headRank && other.headRank)
        return precedes(other.headRank, place.headRank);
    if (place.headRank || other.headRank)
        return place.headRank != 0;
    return precedes(place.serial, other.serial);
}

void ActionQueue::append(const ActionPointer &action)
{
    insert(action, false);
}

void ActionQueue::prepend(const ActionPointer &action)
{
    insert(action, true);
}

void ActionQueue::insert(const ActionPointer &action, bool atHead)
{
    Q_ASSERT(!action.isNull());
    if (action.isNull())
        return;
    Q_ASSERT(!m_bySerial.find(action->_serial));
    if (m_bySerial.find(action->_serial))
        return;
    m_bySerial.insert(action, action->_serial);

    // Appends carry the largest order and prepends the smallest, so every lane and every
    // chain of equal descriptions stays sorted by queue order.
    Lane &lane = m_lanes[action->_priority];
    ZavekServiceActionManager::Action *entry = action.data();
    const uint serial = entry->_serial;
    if (atHead) {
        entry->_queuePrevious = 0;
        entry->_queueNext = lane.head;
        if (ZavekServiceActionManager::Action *first = at(lane.head))
            first->_queuePrevious = serial;
        else
            lane.tail = serial;
        lane.head = serial;
    } else {
        entry->_queueNext = 0;
        entry->_queuePrevious = lane.tail;
        if (ZavekServiceActionManager::Action *last = at(lane.tail))
            last->_queueNext = serial;
        else
            lane.head = serial;
        lane.tail = serial;
    }
    if (atHead && ++m_headPuts == 0)
        ++m_headPuts; // 0 marks an appended operation
    entry->_headRank = atHead ? m_headPuts : 0;

    if (indexedByDescription(*entry))
        linkEqual(entry, atHead);
    if (isStoreChange(*action))
        m_storeChanges.emplace(placeOf(*entry), action);
}

void ActionQueue::linkEqual(ZavekServiceActionManager::Action *action, bool atHead)
{
    const HashedText description = descriptionKey(*action);
    ZavekServiceActionManager::Action **first = m_byDescription.find(description, description.hash);
    action->_nextEqual = 0;
    if (!first) {
        m_byDescription.insert(action, description.hash);
    } else if (atHead) {
        action->_nextEqual = (*first)->_serial;
        *first = action;
    } else {
        ZavekServiceActionManager::Action *last = *first;
        while (ZavekServiceActionManager::Action *next = at(last->_nextEqual))
            last = next;
        last->_nextEqual = action->_serial;
    }
}

void ActionQueue::unlinkEqual(ZavekServiceActionManager::Action *action)
{
    // Usually the operation heads its chain: found by address, without reading any text.
    ZavekServiceActionManager::Action **first = m_byDescription.find(action, action->_descriptionHash);
    if (!first)
        first = m_byDescription.find(descriptionKey(*action), action->_descriptionHash);
    if (first && *first == action) {
        if (ZavekServiceActionManager::Action *next = at(action->_nextEqual))
            *first = next;
        else
            m_byDescription.takeAt(first);
    } else if (first) {
        ZavekServiceActionManager::Action *previous = *first;
        while (previous->_nextEqual != action->_serial && at(previous->_nextEqual))
            previous = at(previous->_nextEqual);
        if (previous->_nextEqual == action->_serial)
            previous->_nextEqual = action->_nextEqual;
    }
    action->_nextEqual = 0;
}

ActionPointer ActionQueue::remove(uint serial)
{
    ActionPointer action = m_bySerial.take(serial); // not const: returned without a copy
    if (action.isNull())
        return action;
    ZavekServiceActionManager::Action *entry = action.data();
    const auto lane = m_lanes.find(entry->_priority);
    Q_ASSERT(lane != m_lanes.end());
    if (ZavekServiceActionManager::Action *previous = at(entry->_queuePrevious))
        previous->_queueNext = entry->_queueNext;
    else
        lane->second.head = entry->_queueNext;
    if (ZavekServiceActionManager::Action *next = at(entry->_queueNext))
        next->_queuePrevious = entry->_queuePrevious;
    else
        lane->second.tail = entry->_queuePrevious;
    entry->_queuePrevious = entry->_queueNext = 0;
    if (!lane->second.head)
        m_lanes.erase(lane);

    if (indexedByDescription(*entry))
        unlinkEqual(entry);
    if (isStoreChange(*action))
        m_storeChanges.erase(placeOf(*entry));
    return action;
}

ActionPointer ActionQueue::takeNext()
{
    if (m_lanes.empty())
        return ActionPointer();
    // The last lane is the most urgent; its head is the earliest of that priority.
    return remove(m_lanes.rbegin()->second.head);
}

uint ActionQueue::firstSerial() const
{
    const ZavekServiceActionManager::Action *head = nullptr;
    for (const auto &lane : m_lanes) {
        const ZavekServiceActionManager::Action *laneHead = at(lane.second.head);
        if (laneHead && (!head || Earlier()(placeOf(*laneHead), placeOf(*head))))
            head = laneHead;
    }
    return head ? head->_serial : 0;
}

ZavekServiceActionManager::Action *ActionQueue::at(uint serial) const
{
    const ActionPointer *position = serial ? m_bySerial.find(serial) : nullptr;
    return position ? position->data() : nullptr;
}

ActionPointer ActionQueue::take(uint serial)
{
    return remove(serial);
}

ActionPointer ActionQueue::find(uint serial) const
{
    const ActionPointer *position = m_bySerial.find(serial);
    return position ? *position : ActionPointer();
}

ActionPointer ActionQueue::lastStoreChange() const
{
    return m_storeChanges.empty() ? ActionPointer() : m_storeChanges.rbegin()->second;
}

} // namespace ZavekServiceActionManagerPrivate
