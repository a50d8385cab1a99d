#include "MapUndo.h"

MapSnapshot MapUndo::take(const MapDocument& doc, int island, bool islandMode, const QString& picturePath, int row)
{
    MapSnapshot s;
    s.empty = false;
    s.rows = doc.rows;
    s.islands = doc.islands;
    s.island = island;
    s.islandMode = islandMode;
    s.picturePath = picturePath;
    s.row = row;
    return s;
}

bool MapUndo::differs(const MapSnapshot& state) const
{
    const MapSnapshot& now = current();
    // Exact comparisons: a change of letter case alone is a change that undo must be able to take back.
    return now.empty || now.picturePath != state.picturePath || now.rows != state.rows
           || now.islands != state.islands;
}

bool MapUndo::push(const MapSnapshot& state)
{
    if (!differs(state))
        return false;
    m_ring.push(state);
    return true;
}
