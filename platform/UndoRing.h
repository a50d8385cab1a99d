#pragma once

#include <QtGlobal>
#include <algorithm>
#include <vector>

// A fixed ring of document states addressed by running positions (slot = position mod size).
// At most size - 1 steps can be undone. A new state recorded after undoing drops nothing: the
// undone states are appended again, newest first, before it, so undoing later walks back
// through them too.
template <class T>
class UndoRing {
public:
    explicit UndoRing(int slotCount) : m_slots(std::max(2, slotCount)) {}

    int size() const { return int(m_slots.size()); }
    qint64 current() const { return m_current; }
    qint64 first() const { return m_first; }
    qint64 last() const { return m_last; }
    bool canUndo() const { return m_current != m_first; }
    bool canRedo() const { return m_current != m_last; }
    // What the position label shows.
    int label() const { return int(m_current % size()); }

    T& at(qint64 position) { return m_slots[size_t(position % size())]; }
    const T& at(qint64 position) const { return m_slots[size_t(position % size())]; }
    T& currentState() { return at(m_current); }
    const T& currentState() const { return at(m_current); }

    // Empties every slot and makes the state the only entry, at position 0.
    void reset(const T& state)
    {
        std::fill(m_slots.begin(), m_slots.end(), T{});
        m_slots[0] = state;
        m_current = m_first = m_last = 0;
    }

    void push(const T& state)
    {
        if (m_current < m_last) {
            // Read every undone state before writing any: the appended positions share slots
            // with the oldest states still to be read once more than half the ring is undone.
            std::vector<T> undone;
            for (qint64 p = m_last - 1; p >= m_current; --p)
                undone.push_back(at(p));
            for (const T& s : undone)
                at(++m_last) = s;
        }
        at(++m_last) = state;
        m_current = m_last;
        m_first = std::max<qint64>(0, m_last - (size() - 1));
    }

    // Steps back or forward; false when there is nowhere to go.
    bool undo()
    {
        if (!canUndo())
            return false;
        m_current = std::max(m_first, m_current - 1);
        return true;
    }
    bool redo()
    {
        if (!canRedo())
            return false;
        m_current = std::min(m_last, m_current + 1);
        return true;
    }

private:
    std::vector<T> m_slots;
    qint64 m_current = 0, m_first = 0, m_last = 0;
};
