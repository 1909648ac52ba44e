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

} // namespace

void ActionQueue::append(const ActionPointer &action)
{
    insert(action, ++m_tailOrder, false);
}

void ActionQueue::prepend(const ActionPointer &action)
{
    insert(action, --m_headOrder, true);
}

void ActionQueue::insert(const ActionPointer &action, qint64 order, bool atHead)
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
    if (atHead) {
        entry->_queuePrevious = nullptr;
        entry->_queueNext = lane.head;
        (lane.head ? lane.head->_queuePrevious : lane.tail) = entry;
        lane.head = entry;
    } else {
        entry->_queueNext = nullptr;
        entry->_queuePrevious = lane.tail;
        (lane.tail ? lane.tail->_queueNext : lane.head) = entry;
        lane.tail = entry;
    }
    action->_queueOrder = order;

    if (indexedByDescription(*entry))
        linkEqual(entry, atHead);
    if (isStoreChange(*action))
        m_storeChanges.insert(order, action);
}

void ActionQueue::linkEqual(ZavekServiceActionManager::Action *action, bool atHead)
{
    const HashedText description = descriptionKey(*action);
    ZavekServiceActionManager::Action **first = m_byDescription.find(description, description.hash);
    action->_nextEqual = nullptr;
    if (!first) {
        m_byDescription.insert(action, description.hash);
    } else if (atHead) {
        action->_nextEqual = *first;
        *first = action;
    } else {
        ZavekServiceActionManager::Action *last = *first;
        while (last->_nextEqual)
            last = last->_nextEqual;
        last->_nextEqual = action;
    }
}

void ActionQueue::unlinkEqual(ZavekServiceActionManager::Action *action)
{
    // Usually the operation heads its chain: found by address, without reading any text.
    ZavekServiceActionManager::Action **first = m_byDescription.find(action, action->_descriptionHash);
    if (!first)
        first = m_byDescription.find(descriptionKey(*action), action->_descriptionHash);
    if (first && *first == action) {
        if (action->_nextEqual)
            *first = action->_nextEqual;
        else
            m_byDescription.takeAt(first);
    } else if (first) {
        ZavekServiceActionManager::Action *previous = *first;
        while (previous->_nextEqual && previous->_nextEqual != action)
            previous = previous->_nextEqual;
        if (previous->_nextEqual == action)
            previous->_nextEqual = action->_nextEqual;
    }
    action->_nextEqual = nullptr;
}

ActionPointer ActionQueue::remove(uint serial)
{
    ActionPointer action = m_bySerial.take(serial); // not const: returned without a copy
    if (action.isNull())
        return action;
    ZavekServiceActionManager::Action *entry = action.data();
    const auto lane = m_lanes.find(entry->_priority);
    Q_ASSERT(lane != m_lanes.end());
    (entry->_queuePrevious ? entry->_queuePrevious->_queueNext : lane->second.head) = entry->_queueNext;
    (entry->_queueNext ? entry->_queueNext->_queuePrevious : lane->second.tail) = entry->_queuePrevious;
    entry->_queuePrevious = entry->_queueNext = nullptr;
    if (!lane->second.head)
        m_lanes.erase(lane);

    if (indexedByDescription(*entry))
        unlinkEqual(entry);
    if (isStoreChange(*action))
        m_storeChanges.remove(action->_queueOrder);
    return action;
}

ActionPointer ActionQueue::takeNext()
{
    if (m_lanes.empty())
        return ActionPointer();
    // The last lane is the most urgent; its head is the earliest of that priority.
    return remove(m_lanes.rbegin()->second.head->_serial);
}

const ZavekServiceActionManager::Action *ActionQueue::head() const
{
    const ZavekServiceActionManager::Action *head = nullptr;
    for (const auto &lane : m_lanes) {
        if (!head || lane.second.head->_queueOrder < head->_queueOrder)
            head = lane.second.head;
    }
    return head;
}

uint ActionQueue::firstSerial() const
{
    const ZavekServiceActionManager::Action *entry = head();
    return entry ? entry->_serial : 0;
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

bool ActionQueue::contains(const ActionPointer &action) const
{
    return !action.isNull() && find(action->_serial) == action;
}

ActionPointer ActionQueue::lastStoreChange() const
{
    return m_storeChanges.isEmpty() ? ActionPointer() : m_storeChanges.last();
}

} // namespace ZavekServiceActionManagerPrivate
