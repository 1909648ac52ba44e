#include "zavekserviceactionmanager_p.h"

namespace ZavekServiceActionManagerPrivate {

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
    Q_ASSERT(!m_positions.contains(action->_serial));
    if (action.isNull())
        return;
    reserveAhead(m_positions, m_positionsReserved);
    reserveAhead(m_byDescription, m_descriptionsReserved);
    // One lookup in what may be a large table: the slot is claimed and checked at once.
    ActionPointer &position = m_positions[action->_serial];
    if (!position.isNull())
        return;
    position = action;

    // Appends carry the largest order and prepends the smallest, so every lane and every
    // description list stays sorted by queue order.
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

    EqualActions &equal = m_byDescription[descriptionKey(*action)];
    if (atHead)
        equal.insert(equal.begin(), action);
    else
        equal.append(action);

    if (isStoreChange(*action))
        m_storeChanges.insert(order, action);
}

// Removal goes by key: QHash::erase() looks for the following node, which costs more and
// more as a large table empties.
ActionPointer ActionQueue::remove(uint serial)
{
    const ActionPointer action = m_positions.take(serial);
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

    const HashedText description = descriptionKey(*entry);
    const auto equal = m_byDescription.find(description);
    if (equal != m_byDescription.end()) {
        EqualActions &actions = equal.value();
        for (auto it = actions.begin(); it != actions.end(); ++it) {
            if (*it == action) {
                actions.erase(it);
                break;
            }
        }
        if (actions.isEmpty())
            m_byDescription.remove(description);
    }
    if (isStoreChange(*action))
        m_storeChanges.remove(action->_queueOrder);
    releaseIfEmpty(m_positions, m_positionsReserved);
    releaseIfEmpty(m_byDescription, m_descriptionsReserved);
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
    return m_positions.value(serial);
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
