#ifndef ZAVEKSERVICEACTIONMANAGER_CACHES_P_H
#define ZAVEKSERVICEACTIONMANAGER_CACHES_P_H

#include "zavekflatindex_p.h"
#include "zavekserviceactionmanager.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

namespace ZavekServiceActionManagerPrivate {

// Serials of unfinished operations under one kind of key, as operations() returns them.
//
// Nearly every key holds one operation entered once (a part retrieval under its part and its
// message). Such a key's entry is the operation itself, which carries its key, and its list
// of one serial is made only when someone asks for it. Other keys have an entry of their own
// with the list. KeyTraits says how to read an operation's key:
//   Key      the owned key type of an entry with a list
//   View     what lookups pass (the key itself, or a view of the text)
//   keyOf(action): an owned copy of the key an operation carries
//   carries(action, view): whether that key equals the view
//   toKey(view): an owned copy of a key
template <typename KeyTraits>
class SerialCache
{
public:
    typedef typename KeyTraits::Key Key;
    typedef typename KeyTraits::View View;

    SerialCache() = default;
    ~SerialCache()
    {
        m_entries.forEach([](const Entry &entry) { delete entry.list(); });
    }

    // Enters @p serial under @p key. @p carrier is the operation of that serial when the key
    // is the one it carries, so that it may stand for the entry; null otherwise.
    void add(View key, uint hash, ZavekServiceActionManager::Action *carrier, uint serial)
    {
        Entry *entry = m_entries.find(Lookup{key, hash}, hash);
        if (!entry) {
            m_entries.insert(carrier ? Entry(carrier) : Entry(new List{KeyTraits::toKey(key), hash, QList<uint>{serial}}), hash);
            return;
        }
        listOf(*entry, key, hash)->serials.append(serial);
    }

    // Removes every entry of @p serial under @p key, one the operation does not carry.
    void remove(View key, uint hash, uint serial)
    {
        removeFrom(m_entries.find(Lookup{key, hash}, hash), serial);
    }

    // Removes every entry of @p action's serial under the key the operation carries.
    void removeCarried(const ZavekServiceActionManager::Action &action)
    {
        const uint hash = KeyTraits::hashOf(action);
        // An operation that stands for its entry is found by address: its key (for a part, text
        // in a block of its own) is read only when a merged request made the entry a list.
        Entry *entry = m_entries.find(Entry(const_cast<ZavekServiceActionManager::Action *>(&action)), hash);
        if (!entry) {
            const Key key = KeyTraits::keyOf(action);
            entry = m_entries.find(Lookup{View(key), hash}, hash);
        }
        removeFrom(entry, action._serial);
    }

    // The first serial under the key, in the order entered, that accepted(serial) approves;
    // 0 when there is none.
    template <typename Accept>
    uint findSerial(View key, uint hash, Accept accepted) const
    {
        const Entry *entry = m_entries.find(Lookup{key, hash}, hash);
        if (!entry)
            return 0;
        if (const List *list = entry->list()) {
            for (uint serial : list->serials) {
                if (accepted(serial))
                    return serial;
            }
            return 0;
        }
        const uint serial = entry->carrier()->_serial;
        return accepted(serial) ? serial : 0;
    }

    // Null when no serial is entered under the key. The list lives until the key's entry
    // changes.
    const QList<uint> *find(View key, uint hash) const
    {
        Entry *entry = m_entries.find(Lookup{key, hash}, hash);
        return entry ? &listOf(*entry, key, hash)->serials : nullptr;
    }

private:
    struct List {
        Key key;
        uint hash;
        QList<uint> serials;
    };

    // An operation that carries its key, or a list; told apart by the lowest bit, which
    // neither pointer uses.
    class Entry
    {
    public:
        Entry() = default;
        explicit Entry(ZavekServiceActionManager::Action *carrier) : m_bits(quintptr(carrier)) {}
        explicit Entry(List *list) : m_bits(quintptr(list) | 1) {}
        bool operator!() const { return m_bits == 0; }
        bool operator==(const Entry &other) const { return m_bits == other.m_bits; }
        List *list() const { return (m_bits & 1) ? reinterpret_cast<List *>(m_bits & ~quintptr(1)) : nullptr; }
        ZavekServiceActionManager::Action *carrier() const
        {
            return (m_bits & 1) ? nullptr : reinterpret_cast<ZavekServiceActionManager::Action *>(m_bits);
        }

    private:
        quintptr m_bits = 0;
    };

    struct Lookup {
        View key;
        uint hash;
    };

    struct EntryTraits {
        static bool matches(const Entry &entry, const Entry &same) { return entry == same; }
        static bool matches(const Entry &entry, const Lookup &lookup)
        {
            if (const List *list = entry.list())
                return list->hash == lookup.hash && View(list->key) == lookup.key;
            // The table compared the hashes already.
            return KeyTraits::carries(*entry.carrier(), lookup.key);
        }
    };

    void removeFrom(Entry *entry, uint serial)
    {
        if (!entry)
            return;
        if (List *list = entry->list()) {
            list->serials.removeAll(serial);
            if (list->serials.isEmpty()) {
                m_entries.takeAt(entry);
                delete list;
            }
        } else if (entry->carrier()->_serial == serial) {
            m_entries.takeAt(entry);
        }
    }

    // The entry's list; an operation standing for its entry is replaced by a list of its
    // serial first.
    static List *listOf(Entry &entry, View key, uint hash)
    {
        if (List *list = entry.list())
            return list;
        List *list = new List{KeyTraits::toKey(key), hash, QList<uint>{entry.carrier()->_serial}};
        entry = Entry(list);
        return list;
    }

    mutable FlatIndex<Entry, EntryTraits> m_entries;
};

// A message id, by its number.
struct MessageIdKey {
    typedef quint64 Key;
    typedef quint64 View;
    static quint64 toKey(quint64 id) { return id; }
    static quint64 keyOf(const ZavekServiceActionManager::Action &action) { return action._cacheId; }
    static bool carries(const ZavekServiceActionManager::Action &action, quint64 id) { return action._cacheId == id; }
    static uint hashOf(const ZavekServiceActionManager::Action &action) { return qHash(action._cacheId); }
};

// A part location's extended text, as the manager keys parts by. Other operations carry it
// inside their description; a part retrieval equal by its key keeps only the key's hash (a
// heap block less per queued part), and its text is worked out again from its location when
// a lookup's hash matches.
struct PartLocationKey {
    typedef QString Key;
    typedef QStringView View;
    static QString toKey(QStringView text) { return text.toString(); }
    static QString keyOf(const ZavekServiceActionManager::Action &action)
    {
        if (action._equalByPartKey)
            return action.messagePartLocation().toString(true);
        return carriedText(action).toString();
    }
    static bool carries(const ZavekServiceActionManager::Action &action, QStringView key)
    {
        if (action._equalByPartKey)
            return action.messagePartLocation().toString(true) == key;
        return carriedText(action) == key;
    }
    static uint hashOf(const ZavekServiceActionManager::Action &action) { return action._partKeyHash; }
    static QStringView carriedText(const ZavekServiceActionManager::Action &action)
    {
        return QStringView(action._description).mid(action._partKeyOffset, action._partKeyLength);
    }
};

// The manager's two caches: serials by message id and by part location.
class OperationCaches
{
public:
    // Each entry of the operation is recorded (on it, or for several ids by its serial), so
    // that remove() finds them all.
    void enter(ZavekServiceActionManager::Action &action, const QMailMessageId &id);
    void enter(ZavekServiceActionManager::Action &action, const QMailMessageIdList &ids);
    // @p key is the location's extended text: that of the operation's location when it is
    // equal by its key, or else the text its description contains at its _partKeyOffset.
    void enterPart(ZavekServiceActionManager::Action &action, const QString &key);
    void remove(ZavekServiceActionManager::Action &action);

    // Null when none.
    const QList<uint> *operations(const QMailMessageId &id) const;
    const QList<uint> *operations(const QString &partKey) const;

    // The part cache's hash of a location key ("message id-part number"): the message id's
    // three lowest bits, and above them its other bits mixed with the part number's hash, so
    // that the same part of neighbouring messages (previews as a list scrolls) gets
    // neighbouring slots.
    static uint partKeyHash(QStringView partKey);
    // The first serial entered under the part key that accepted(serial) approves; 0 when none.
    template <typename Accept>
    uint findPartSerial(QStringView partKey, uint hash, Accept accepted) const
    {
        return m_byPart.findSerial(partKey, hash, accepted);
    }

private:
    SerialCache<MessageIdKey> m_byMessage;
    SerialCache<PartLocationKey> m_byPart;
    // The ids of the operations entered under several messages, by serial: few operations name
    // several, so an operation keeps no list of its own.
    QHash<uint, QMailMessageIdList> m_idLists;
};

} // namespace ZavekServiceActionManagerPrivate

#endif // ZAVEKSERVICEACTIONMANAGER_CACHES_P_H
