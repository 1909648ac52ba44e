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
    m_positions.insert(action->_serial, Position{action->_priority, at, order});

    QList<ActionPointer> &equal = m_byDescription[action->description()];
    if (atHead)
        equal.prepend(action);
    else
        equal.append(action);

    if (action->_mergePolicy == ZavekServiceActionManager::Action::MergeIfLastStoreChange)
        m_storeChanges.insert(order, action);
}

ActionPointer ActionQueue::remove(QHash<uint, Position>::iterator position)
{
    const Position where = position.value();
    m_positions.erase(position);

    Lane &lane = m_lanes[where.priority];
    const ActionPointer action = *where.at;
    lane.erase(where.at);
    if (lane.empty())
        m_lanes.erase(where.priority);

    const auto equal = m_byDescription.find(action->description());
    if (equal != m_byDescription.end()) {
        // Usually one entry; the list holds every queued operation of this description.
        equal.value().removeOne(action);
        if (equal.value().isEmpty())
            m_byDescription.erase(equal);
    }
    m_storeChanges.remove(where.order);
    return action;
}

ActionPointer ActionQueue::takeNext()
{
    if (m_lanes.empty())
        return ActionPointer();
    // The last lane is the most urgent; its front is the earliest of that priority.
    const ActionPointer next = m_lanes.rbegin()->second.front();
    return remove(m_positions.find(next->_serial));
}

ActionPointer ActionQueue::first() const
{
    ActionPointer head;
    qint64 headOrder = 0;
    for (const auto &lane : m_lanes) {
        const ActionPointer &candidate = lane.second.front();
        const qint64 order = m_positions.value(candidate->_serial).order;
        if (head.isNull() || order < headOrder) {
            head = candidate;
            headOrder = order;
        }
    }
    return head;
}

ActionPointer ActionQueue::take(uint serial)
{
    const auto position = m_positions.find(serial);
    if (position == m_positions.end())
        return ActionPointer();
    return remove(position);
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

QList<ActionPointer> ActionQueue::withDescription(const QString &description) const
{
    return m_byDescription.value(description);
}

ActionPointer ActionQueue::lastStoreChange() const
{
    return m_storeChanges.isEmpty() ? ActionPointer() : m_storeChanges.last();
}

} // namespace ZavekServiceActionManagerPrivate
