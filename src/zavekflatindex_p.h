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
// Beside each slot a control byte says whether it is empty, removed or full, and holds 7
// bits of the item's hash: most slots that do not hold the key are passed over without
// reading the item (an operation elsewhere in memory). Removal leaves a marker instead of
// moving the following items back, for the same reason; markers are cleared when the table
// is rebuilt.
//
// Traits::hashOf(item) gives an item's hash; Traits::matches(item, key) whether it is the
// item of a key. A default-constructed Item is an empty slot, so a stored item is never null.
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
        if (m_items.empty())
            return nullptr;
        const size_t mask = m_items.size() - 1;
        const quint8 tag = tagOf(hash);
        for (size_t i = homeOf(hash);; i = (i + 1) & mask) {
            const quint8 control = m_controls[i];
            if (control == Empty)
                return nullptr;
            if (control == tag && Traits::matches(m_items[i], key))
                return &m_items[i];
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
        if (4 * (size_t(m_size + m_removed) + 1) > 3 * m_items.size())
            rebuild(4 * (size_t(m_size) + 1) > 3 * m_items.size() / 2 ? 2 * m_items.size() : m_items.size());
        const size_t i = freeSlot(hash);
        if (m_controls[i] == Removed)
            --m_removed;
        m_controls[i] = tagOf(hash);
        m_items[i] = std::move(item);
        ++m_size;
    }

    // Removes and returns the item in @p slot, a pointer that find() returned.
    Item takeAt(Item *slot)
    {
        const size_t i = size_t(slot - m_items.data());
        Item taken = std::move(m_items[i]);
        m_items[i] = Item();
        m_controls[i] = Removed;
        ++m_removed;
        // A drained table gives its memory back; a large queue is seldom refilled at once.
        if (--m_size == 0) {
            std::vector<Item>().swap(m_items);
            std::vector<quint8>().swap(m_controls);
            m_removed = 0;
            m_shift = 32;
        }
        return taken;
    }

    template <typename Function>
    void forEach(Function function) const
    {
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (m_controls[i] & Full)
                function(m_items[i]);
        }
    }

private:
    enum : quint8 { Empty = 0, Removed = 1, Full = 0x80 };

    // Fibonacci hashing: the top bits of the product, so that hashes that differ only in
    // their low bits (consecutive serials and message ids) spread over the whole table
    // instead of filling one run.
    size_t homeOf(uint hash) const { return size_t(quint32(hash * 2654435769u) >> m_shift); }
    static quint8 tagOf(uint hash) { return quint8(Full | (hash & 0x7f)); }

    size_t freeSlot(uint hash) const
    {
        const size_t mask = m_items.size() - 1;
        size_t i = homeOf(hash);
        while (m_controls[i] & Full)
            i = (i + 1) & mask;
        return i;
    }

    void rebuild(size_t size)
    {
        std::vector<Item> items(qMax<size_t>(16, size));
        std::vector<quint8> controls(items.size(), Empty);
        items.swap(m_items);
        controls.swap(m_controls);
        m_removed = 0;
        m_shift = 32;
        for (size_t n = m_items.size(); n > 1; n >>= 1)
            --m_shift;
        for (size_t i = 0; i < items.size(); ++i) {
            if (!(controls[i] & Full))
                continue;
            const uint hash = Traits::hashOf(items[i]);
            const size_t slot = freeSlot(hash);
            m_controls[slot] = tagOf(hash);
            m_items[slot] = std::move(items[i]);
        }
    }

    std::vector<Item> m_items;     // empty, or a power of two in size
    std::vector<quint8> m_controls; // one per item
    int m_size = 0;
    int m_removed = 0;
    int m_shift = 32; // 32 - log2 of the size
};

} // namespace ZavekServiceActionManagerPrivate

#endif // ZAVEKFLATINDEX_P_H
