#pragma once

#include "MapDocument.h"
#include "UndoRing.h"

#include <QString>

// One state of the map as undo keeps it. Strings are shared, so a snapshot costs little.
struct MapSnapshot {
    bool empty = true; // a slot that never held a state
    std::array<MapDocument::Row, MapDocument::DestinationCount> rows;
    std::array<QString, MapDocument::IslandCount> islands;
    int island = 0;          // the island chosen in the combo
    bool islandMode = false; // the island toggle is down
    QString picturePath;     // the map picture at that time
    int row = 1;             // the selected grid row (1..62)

    bool operator==(const MapSnapshot&) const = default;
};

// The map's 21-slot undo ring: at most 20 steps back.
class MapUndo {
public:
    static constexpr int Slots = 21;

    MapUndo() : m_ring(Slots) {}

    static MapSnapshot take(const MapDocument& doc, int island, bool islandMode, const QString& picturePath,
                            int row);

    void reset(const MapSnapshot& state) { m_ring.reset(state); }
    // Whether the state differs from the current one in what undo restores: the destinations,
    // the islands and the map picture (the combo, the toggle and the row are carried along only).
    bool differs(const MapSnapshot& state) const;
    // Records the state when it differs; true when a step was recorded.
    bool push(const MapSnapshot& state);
    bool undo() { return m_ring.undo(); }
    bool redo() { return m_ring.redo(); }

    const MapSnapshot& current() const { return m_ring.currentState(); }
    bool canUndo() const { return m_ring.canUndo(); }
    bool canRedo() const { return m_ring.canRedo(); }
    int label() const { return m_ring.label(); }
    const UndoRing<MapSnapshot>& ring() const { return m_ring; }

private:
    UndoRing<MapSnapshot> m_ring;
};
