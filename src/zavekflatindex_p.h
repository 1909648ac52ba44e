#ifndef ZAVEKFLATINDEX_P_H
#define ZAVEKFLATINDEX_P_H

#include <QtGlobal>

#include <utility>
#include <vector>

namespace ZavekServiceActionManagerPrivate {

// A hash table of small handles (pointers, shared pointers) that allocates no node per
// entry: the handles sit in one array, found by linear probing. The manager keeps one
// entry per queued operation in several such tables, so a node and a bucket per entry would
// cost more than the operation itself.
//
// Beside each slot a control word says whether it is empty, removed or full, and holds 31
// bits of the item's hash: slots that do not hold the key are passed over, and the table is
// rebuilt, without reading the items (operations elsewhere in memory, which a large queue
// no longer has in the processor's caches). Removal leaves a marker instead of moving the
// following items back, for the same reason; markers are cleared when the table is rebuilt.
// Slots are stored in pairs, the two control words before the two items, so that a probe
// reads one cache line and a pointer and its control word take 12 bytes, not 16.
//
// Traits::matches(item, key) says whether an item whose hash equals the key's is the key's
// item. A default-constructed Item is an empty slot, so a stored item is never null.
template <typename Item, typename Traits>
class FlatIndex
{
public:
    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    // The slot holding the key's item; null when none does. Valid until the next change.
    template <typename Key>
    Item *find(const Key &key, uint hash)
    {
        if (m_pairs.empty())
            return nullptr;
        const size_t mask = slotCount() - 1;
        const quint32 tag = tagOf(hash);
        for (size_t i = homeOf(tag);; i = (i + 1) & mask) {
            const quint32 control = controlAt(i);
            if (control == Empty)
                return nullptr;
            if (control == tag && Traits::matches(itemAt(i), key))
                return &itemAt(i);
        }
    }
    template <typename Key>
    const Item *find(const Key &key, uint hash) const
    {
        return const_cast<FlatIndex *>(this)->find(key, hash);
    }

    // The caller makes sure that no item of the same key is stored.
    void insert(Item item, uint hash)
    {
        Q_ASSERT(!!item);
        // Full and removed slots together at most three quarters, so that probes stay short.
        if (4 * (size_t(m_size + m_removed) + 1) > 3 * slotCount())
            rebuild(4 * (size_t(m_size) + 1) > 3 * slotCount() / 2 ? 2 * slotCount() : slotCount());
        const quint32 tag = tagOf(hash);
        const size_t i = freeSlot(tag);
        if (controlAt(i) == Removed)
            --m_removed;
        controlAt(i) = tag;
        itemAt(i) = std::move(item);
        ++m_size;
    }

    // Removes and returns the item in @p slot, a pointer that find() returned.
    Item takeAt(Item *slot)
    {
        const size_t pair = size_t(reinterpret_cast<char *>(slot) - reinterpret_cast<char *>(m_pairs.data())) / sizeof(Pair);
        const size_t i = 2 * pair + (slot == &m_pairs[pair].items[1] ? 1 : 0);
        Item taken = std::move(itemAt(i));
        itemAt(i) = Item();
        controlAt(i) = Removed;
        ++m_removed;
        // A drained table gives its memory back; a large queue is seldom refilled at once.
        if (--m_size == 0) {
            std::vector<Pair>().swap(m_pairs);
            m_removed = 0;
            m_shift = 32;
        }
        return taken;
    }

    template <typename Function>
    void forEach(Function function) const
    {
        for (const Pair &pair : m_pairs) {
            for (int lane = 0; lane < 2; ++lane) {
                if (pair.controls[lane] & Full)
                    function(pair.items[lane]);
            }
        }
    }

private:
    enum : quint32 { Empty = 0, Removed = 1, Full = 0x80000000 };

    struct Pair {
        quint32 controls[2] = {Empty, Empty};
        Item items[2];
    };

    size_t slotCount() const { return 2 * m_pairs.size(); }
    quint32 &controlAt(size_t i) { return m_pairs[i >> 1].controls[i & 1]; }
    quint32 controlAt(size_t i) const { return m_pairs[i >> 1].controls[i & 1]; }
    Item &itemAt(size_t i) { return m_pairs[i >> 1].items[i & 1]; }

    // Slots go in groups of eight: hashes that differ only in their three lowest bits
    // (neighbouring message ids or serials) get neighbouring slots, so that requests for
    // neighbouring messages share cache lines. Fibonacci hashing of the other bits (the top
    // bits of the product) spreads the groups over the whole table, so that a run of
    // consecutive keys does not become one long run of full slots.
    size_t homeOf(quint32 tag) const
    {
        return size_t(quint32((tag >> 3) * 2654435769u) >> (m_shift + 3)) << 3 | (tag & 7);
    }
    static quint32 tagOf(uint hash) { return Full | hash; }

    size_t freeSlot(quint32 tag) const
    {
        const size_t mask = slotCount() - 1;
        size_t i = homeOf(tag);
        while (controlAt(i) & Full)
            i = (i + 1) & mask;
        return i;
    }

    void rebuild(size_t size)
    {
        std::vector<Pair> previous(qMax<size_t>(16, size) / 2);
        previous.swap(m_pairs);
        m_removed = 0;
        m_shift = 32;
        for (size_t n = slotCount(); n > 1; n >>= 1)
            --m_shift;
        for (Pair &pair : previous) {
            for (int lane = 0; lane < 2; ++lane) {
                if (!(pair.controls[lane] & Full))
                    continue;
                const size_t i = freeSlot(pair.controls[lane]);
                controlAt(i) = pair.controls[lane];
                itemAt(i) = std::move(pair.items[lane]);
            }
        }
    }

    std::vector<Pair> m_pairs; // empty, or a power of two in slots
    int m_size = 0;
    int m_removed = 0;
    int m_shift = 32; // 32 - log2 of the number of slots
};

} // namespace ZavekServiceActionManagerPrivate

#endif // ZAVEKFLATINDEX_P_H
