#ifndef ZAVEKSERIALWINDOW_P_H
#define ZAVEKSERIALWINDOW_P_H

#include "zavekflatindex_p.h"

#include <QtGlobal>

#include <vector>

namespace ZavekServiceActionManagerPrivate {

// Items keyed by serial. Serials are handed out counting up and queued operations are mostly
// recent ones, so the items sit in a window of consecutive serials, one slot per serial:
// appending, finding and taking walk memory in order instead of jumping around a hash table.
//
// A straggler far older than the rest (a sync that waits while thousands of part retrievals
// come and go) would stretch the window over every serial issued since; such items move to
// a hash table instead, so the window stays at most about twice as long as it is full.
//
// Traits::serialOf(item) gives an item's serial. A default-constructed Item is an empty slot,
// so a stored item is never null.
template <typename Item, typename Traits>
class SerialWindow
{
public:
    int size() const { return m_count + m_far.size(); }
    bool isEmpty() const { return size() == 0; }

    // Null when no item has this serial. Valid until the next change.
    const Item *find(uint serial) const
    {
        // The window may have grown over the serial of an item moved out of it.
        if (inWindow(serial) && slot(serial))
            return &slot(serial);
        return m_far.isEmpty() ? nullptr : m_far.find(serial, serial);
    }

    // The caller makes sure that no item of the same serial is stored.
    void insert(Item item, uint serial)
    {
        Q_ASSERT(!!item);
        if (m_count == 0) {
            m_base = serial;
        } else if (serial >= m_base + uint(m_length)) {
            // Make room behind the window; leave the oldest stragglers behind if the window
            // would be mostly empty.
            while (m_count > 0 && serial - m_base >= sparseLimit(m_count + 1))
                evictFront();
            if (m_count == 0)
                m_base = serial;
        } else if (serial < m_base && m_base + uint(m_length) - serial > sparseLimit(m_count + 1)) {
            m_far.insert(std::move(item), serial);
            return;
        }
        place(std::move(item), serial);
    }

    // Removes and returns the item of this serial; a null item when there is none.
    Item take(uint serial)
    {
        if (!inWindow(serial) || !slot(serial)) {
            Item *far = m_far.isEmpty() ? nullptr : m_far.find(serial, serial);
            return far ? m_far.takeAt(far) : Item();
        }
        Item taken = std::move(slot(serial));
        slot(serial) = Item();
        --m_count;
        trim();
        return taken;
    }

    template <typename Function>
    void forEach(Function function) const
    {
        for (int i = 0; i < m_length; ++i) {
            if (const Item &item = m_slots[index(i)])
                function(item);
        }
        m_far.forEach(function);
    }

private:
    struct FarTraits {
        static bool matches(const Item &item, uint serial) { return Traits::serialOf(item) == serial; }
    };

    // A window longer than this, for @p count items, is mostly empty.
    static uint sparseLimit(int count) { return 2 * uint(count) + 64; }

    bool inWindow(uint serial) const { return serial - m_base < uint(m_length); }
    size_t index(int offset) const
    {
        const size_t i = m_head + size_t(offset);
        return i < m_slots.size() ? i : i - m_slots.size();
    }
    Item &slot(uint serial) { return m_slots[index(int(serial - m_base))]; }
    const Item &slot(uint serial) const { return m_slots[index(int(serial - m_base))]; }

    void place(Item item, uint serial)
    {
        if (serial < m_base) {
            const int grow = int(m_base - serial);
            reserve(m_length + grow);
            m_head = (m_head + m_slots.size() - size_t(grow)) % m_slots.size();
            m_length += grow;
            m_base = serial;
        } else if (serial - m_base >= uint(m_length)) {
            const int length = int(serial - m_base) + 1;
            reserve(length);
            m_length = length;
        }
        Q_ASSERT(!slot(serial));
        slot(serial) = std::move(item);
        ++m_count;
    }

    // Slots outside the window are always empty, so growing the window needs no clearing.
    void reserve(int length)
    {
        if (size_t(length) <= m_slots.size())
            return;
        std::vector<Item> ring(qMax<size_t>(16, qMax(size_t(length), m_slots.size() + m_slots.size() / 2)));
        for (int i = 0; i < m_length; ++i)
            ring[size_t(i)] = std::move(m_slots[index(i)]);
        m_slots.swap(ring);
        m_head = 0;
    }

    void evictFront()
    {
        Item &front = m_slots[m_head];
        const uint serial = m_base;
        m_far.insert(std::move(front), serial);
        front = Item();
        --m_count;
        trim();
    }

    // Drops empty slots at both ends, so that the first and last slots are full.
    void trim()
    {
        if (m_count == 0) {
            clearWindow();
            return;
        }
        while (!m_slots[m_head]) {
            m_head = index(1);
            ++m_base;
            --m_length;
        }
        while (!m_slots[index(m_length - 1)])
            --m_length;
    }

    // A drained window gives a large memory block back (a large queue is seldom refilled at
    // once) and keeps a small one, which a short queue would otherwise allocate at each request.
    void clearWindow()
    {
        if (m_slots.size() > 64)
            std::vector<Item>().swap(m_slots);
        m_head = 0;
        m_length = 0;
    }

    std::vector<Item> m_slots; // a ring; the window starts at m_head
    size_t m_head = 0;
    int m_length = 0; // slots from the first to the last item, both included
    int m_count = 0;  // items in the window; none exactly when m_length is 0
    uint m_base = 0;  // serial of the window's first slot
    FlatIndex<Item, FarTraits> m_far;
};

} // namespace ZavekServiceActionManagerPrivate

#endif // ZAVEKSERIALWINDOW_P_H
