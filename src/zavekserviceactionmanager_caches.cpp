#include "zavekserviceactionmanager_caches_p.h"
#include "zavekserviceactionmanager_p.h"

#include <QtGlobal>

namespace ZavekServiceActionManagerPrivate {

void OperationCaches::enter(ZavekServiceActionManager::Action &action, const QMailMessageId &id)
{
    // A merged request names the same message again; the entry then becomes a list.
    const quint64 key = id.toULongLong();
    Q_ASSERT(!action._cachedUnderId || action._cacheId == key);
    action._cacheId = key;
    action._cachedUnderId = true;
    m_byMessage.add(key, qHash(key), &action, action._serial);
}

void OperationCaches::enter(ZavekServiceActionManager::Action &action, const QMailMessageIdList &ids)
{
    if (ids.size() == 1) {
        enter(action, ids.first());
        return;
    }
    if (ids.isEmpty())
        return;
    // An operation carries one key only; its entries under several ids are lists.
    m_idLists.insert(action._serial, ids);
    for (const QMailMessageId &id : ids)
        m_byMessage.add(id.toULongLong(), qHash(id.toULongLong()), nullptr, action._serial);
}

void OperationCaches::enterPart(ZavekServiceActionManager::Action &action, const QString &key)
{
    if (action._equalByPartKey) {
        // It hashed the same key when it was made, to look for an equal one.
        Q_ASSERT(action._partKeyHash == partKeyHash(key));
    } else {
        // Lookups read the key from the description (built here if it was not yet), where
        // the part retrievals put it.
        const QStringView description = descriptionOf(action);
        Q_ASSERT(description.mid(action._partKeyOffset, key.size()) == QStringView(key));
        Q_UNUSED(description)
        action._partKeyHash = partKeyHash(key);
    }
    action._partKeyLength = quint32(key.size());
    m_byPart.add(key, action._partKeyHash, &action, action._serial);
}

void OperationCaches::remove(ZavekServiceActionManager::Action &action)
{
    if (action._cachedUnderId)
        m_byMessage.removeCarried(action);
    if (!m_idLists.isEmpty()) {
        const QMailMessageIdList ids = m_idLists.take(action._serial);
        for (const QMailMessageId &id : ids)
            m_byMessage.remove(id.toULongLong(), qHash(id.toULongLong()), action._serial);
    }
    if (action._partKeyLength > 0)
        m_byPart.removeCarried(action);
    action._cachedUnderId = false;
    action._partKeyLength = 0;
}

uint OperationCaches::partKeyHash(QStringView partKey)
{
    // Any text hashes the same way each time; for a key that is no location the number read
    // below is meaningless but still fixed by the text.
    const qsizetype dash = partKey.indexOf(u'-');
    quint64 id = 0;
    for (const QChar c : partKey.left(qMax<qsizetype>(dash, 0)))
        id = 10 * id + (c.unicode() - u'0');
    // Added, not xored: neighbouring ids keep neighbouring group numbers, which the table
    // spreads evenly, where xoring would scatter them into groups that collide.
    return qHash(id) + (qHash(partKey.mid(dash + 1)) << 3);
}

const QList<uint> *OperationCaches::operations(const QMailMessageId &id) const
{
    const quint64 key = id.toULongLong();
    return m_byMessage.find(key, qHash(key));
}

const QList<uint> *OperationCaches::operations(const QString &partKey) const
{
    const QStringView key(partKey);
    return m_byPart.find(key, partKeyHash(key));
}

} // namespace ZavekServiceActionManagerPrivate
