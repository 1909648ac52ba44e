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
    bool fits = action._equalByPartKey;
    QStringView carried = action._partKey;
    if (!action._equalByPartKey) {
        const QString &description = descriptionOf(action);
        fits = action._partKeyOffset > 0 && action._partKeyOffset + key.size() <= description.size();
        carried = fits ? QStringView(description).mid(action._partKeyOffset, key.size()) : QStringView();
    }
    if (!fits || carried != QStringView(key)) {
        Q_ASSERT_X(false, "enterPart", "the description carries the part location");
        qWarning("OperationCaches::enterPart: the description does not carry the part location: not entered");
        return;
    }
    action._partKeyLength = quint16(key.size());
    // A part retrieval hashed its key when it was made, to look for an equal one.
    if (!action._equalByPartKey)
        action._partKeyHash = partKeyHash(carried);
    m_byPart.add(carried, action._partKeyHash, &action, action._serial);
}

void OperationCaches::remove(ZavekServiceActionManager::Action &action)
{
    if (action._cachedUnderId)
        m_byMessage.removeCarried(action);
    for (const QMailMessageId &id : qAsConst(action._cacheIds))
        m_byMessage.remove(id.toULongLong(), qHash(id.toULongLong()), action._serial);
    if (action._partKeyLength > 0)
        m_byPart.removeCarried(action);
    action._cachedUnderId = false;
    action._cacheIds.clear();
    action._partKeyLength = 0;
}

uint OperationCaches::partKeyHash(QStringView partKey)
{
    quint64 id = 0;
    qsizetype digits = 0;
    for (; digits < partKey.size(); ++digits) {
        const char16_t c = partKey[digits].unicode();
        if (c < u'0' || c > u'9')
            break;
        id = 10 * id + (c - u'0');
    }
    if (digits == 0 || digits == partKey.size() || partKey[digits] != u'-')
        return qHash(partKey);
    return qHash(id) ^ (qHash(partKey.mid(digits + 1)) << 3);
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
