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
    // An operation carries one key only; its entries under several ids are lists.
    action._cacheIds = ids;
    for (const QMailMessageId &id : ids)
        m_byMessage.add(id.toULongLong(), qHash(id.toULongLong()), nullptr, action._serial);
}

void OperationCaches::enterPart(ZavekServiceActionManager::Action &action, const QString &key)
{
    const QString &description = descriptionOf(action);
    const bool fits = action._partKeyOffset > 0 && action._partKeyOffset + key.size() <= description.size();
    const QStringView carried = fits ? QStringView(description).mid(action._partKeyOffset, key.size()) : QStringView();
    if (!fits || carried != QStringView(key)) {
        Q_ASSERT_X(false, "enterPart", "the description carries the part location");
        qWarning("OperationCaches::enterPart: the description does not carry the part location: not entered");
        return;
    }
    action._partKeyLength = quint16(key.size());
    action._partKeyHash = qHash(carried);
    m_byPart.add(carried, action._partKeyHash, &action, action._serial);
}

void OperationCaches::remove(ZavekServiceActionManager::Action &action)
{
    const uint serial = action._serial;
    if (action._cachedUnderId)
        m_byMessage.remove(action._cacheId, qHash(action._cacheId), &action, serial);
    for (const QMailMessageId &id : qAsConst(action._cacheIds))
        m_byMessage.remove(id.toULongLong(), qHash(id.toULongLong()), nullptr, serial);
    if (action._partKeyLength > 0)
        m_byPart.remove(PartLocationKey::keyOf(action), action._partKeyHash, &action, serial);
    action._cachedUnderId = false;
    action._cacheIds.clear();
    action._partKeyLength = 0;
}

const QList<uint> *OperationCaches::operations(const QMailMessageId &id) const
{
    const quint64 key = id.toULongLong();
    return m_byMessage.find(key, qHash(key));
}

const QList<uint> *OperationCaches::operations(const QString &partKey) const
{
    const QStringView key(partKey);
    return m_byPart.find(key, qHash(key));
}

} // namespace ZavekServiceActionManagerPrivate
