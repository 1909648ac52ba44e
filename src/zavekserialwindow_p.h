#ifndef ZAVEKSERIALWINDOW_P_H
#define ZAVEKSERIALWINDOW_P_H

#include "zavekflatindex_p.h"

#include <QtGlobal>

#include <deque>

namespace ZavekServiceActionManagerPrivate {

// Items keyed by serial. Serials are handed out counting up and queued operations are mostly
// recent ones, so the items sit in a window of consecutive serials, one slot per serial:
// appending, finding and taking walk memory in order instead of jumping around a hash table.
// The slots live in a deque, whose blocks are added and dropped at the ends as the window
// moves: a long queue grows without its slots being copied (or its memory cleared) again.
//
// A straggler far older than the rest (a sync that waits while thousands of part retrievals
// come and go) would stretch the window over every serial issued since; such items move to
// a hash table instead, so the window stays at most about twice as long as it is full.
//
// Traits::serialOf(item) gives an item's serial. A default-constructed Item is an empty slot,
// so a stored item is never null.
//
// Serials are compared as a counter that wraps: the window may span the wrap, as long as the
// items stored are within 2^31 serials of each other.
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
        } else if (!inWindow(serial) && !precedes(serial, m_base)) {
            // Make room behind the window; leave the oldest stragglers behind if the window
            // would be mostly empty.
            while (m_count > 0 && serial - m_base >= sparseLimit(m_count + 1))
                evictFront();
            if (m_count == 0)
                m_base = serial;
        } else if (precedes(serial, m_base) && m_base + uint(m_slots.size()) - serial > sparseLimit(m_count + 1)) {
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
        for (const Item &item : m_slots) {
            if (item)
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

    bool inWindow(uint serial) const { return serial - m_base < uint(m_slots.size()); }
    static bool precedes(uint serial, uint other) { return qint32(serial - other) < 0; }
    Item &slot(uint serial) { return m_slots[serial - m_base]; }
    const Item &slot(uint serial) const { return m_slots[serial - m_base]; }

    void place(Item item, uint serial)
    {
        if (precedes(serial, m_base)) {
            m_slots.insert(m_slots.begin(), m_base - serial, Item());
            m_base = serial;
        } else if (serial - m_base >= uint(m_slots.size())) {
            // Usually the next serial, appended straight after the last.
            m_slots.resize(size_t(serial - m_base));
            m_slots.push_back(std::move(item));
            ++m_count;
            return;
        }
        Q_ASSERT(!slot(serial));
        slot(serial) = std::move(item);
        ++m_count;
    }

    void evictFront()
    {
        m_far.insert(std::move(m_slots.front()), m_base);
        m_slots.front() = Item();
        --m_count;
        trim();
    }

    // Drops empty slots at both ends, so that the first and last slots are full.
    void trim()
    {
        if (m_count == 0) {
            m_slots.clear();
            return;
        }
        while (!m_slots.front()) {
            m_slots.pop_front();
            ++m_base;
        }
        while (!m_slots.back())
            m_slots.pop_back();
    }

    std::deque<Item> m_slots; // the window: m_slots[0] has serial m_base
    int m_count = 0;          // items in the window; none exactly when m_slots is empty
    uint m_base = 0;          // serial of the window's first slot
    FlatIndex<Item, FarTraits> m_far;
};

} // namespace ZavekServiceActionManagerPrivate

#endif // ZAVEKSERIALWINDOW_P_H
