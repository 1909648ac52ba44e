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
    if (action.isNull() || m_positions.contains(action->_serial))
        return;

    // Appends carry the largest order and prepends the smallest, so every lane and every
    // description list stays sorted by queue order.
    Lane &lane = m_lanes[action->_priority];
    const Lane::iterator at = atHead ? lane.insert(lane.begin(), action) : lane.insert(lane.end(), action);
    m_positions.insert(action->_serial, Position{action->_priority, at});
    action->_queueOrder = order;

    EqualActions &equal = m_byDescription[action->description()];
    if (atHead)
        equal.insert(equal.begin(), action);
    else
        equal.append(action);

    if (action->_mergePolicy == ZavekServiceActionManager::Action::MergeIfLastStoreChange)
        m_storeChanges.insert(order, action);
}

// Removal goes by key: QHash::erase() looks for the following node, which costs more and
// more as a large table empties.
ActionPointer ActionQueue::remove(uint serial)
{
    const Position where = m_positions.take(serial);

    Lane &lane = m_lanes[where.priority];
    const ActionPointer action = *where.at;
    lane.erase(where.at);
    if (lane.empty())
        m_lanes.erase(where.priority);

    const auto equal = m_byDescription.find(action->description());
    if (equal != m_byDescription.end()) {
        EqualActions &actions = equal.value();
        for (auto it = actions.begin(); it != actions.end(); ++it) {
            if (*it == action) {
                actions.erase(it);
                break;
            }
        }
        if (actions.isEmpty())
            m_byDescription.remove(action->description());
    }
    if (action->_mergePolicy == ZavekServiceActionManager::Action::MergeIfLastStoreChange)
        m_storeChanges.remove(action->_queueOrder);
    return action;
}

ActionPointer ActionQueue::takeNext()
{
    if (m_lanes.empty())
        return ActionPointer();
    // The last lane is the most urgent; its front is the earliest of that priority.
    return remove(m_lanes.rbegin()->second.front()->_serial);
}

ActionPointer ActionQueue::first() const
{
    ActionPointer head;
    qint64 headOrder = 0;
    for (const auto &lane : m_lanes) {
        const ActionPointer &candidate = lane.second.front();
        if (head.isNull() || candidate->_queueOrder < headOrder) {
            head = candidate;
            headOrder = candidate->_queueOrder;
        }
    }
    return head;
}

ActionPointer ActionQueue::take(uint serial)
{
    if (!m_positions.contains(serial))
        return ActionPointer();
    return remove(serial);
}

ActionPointer ActionQueue::find(uint serial) const
{
    const auto position = m_positions.constFind(serial);
    return position == m_positions.constEnd() ? ActionPointer() : *position.value().at;
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
