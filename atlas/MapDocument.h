#pragma once

#include "ColourText.h"

#include <QString>
#include <QStringList>
#include <array>

// The content of one map: what the map file holds, apart from where its files lie.
struct MapDocument {
    static constexpr int DestinationCount = 62;
    static constexpr int ColumnCount = 7;
    static constexpr int TreasureCount = 101;
    static constexpr int IslandCount = 3;

    // Columns of a destination record (grid column - 1).
    enum Column { Position, Title1, Title2, Picture, Speech1, Speech2, Description };

    using Row = std::array<QString, ColumnCount>;
    // The items' names, as the grid heads its columns and messages name a place.
    static const QStringList& columnLabels();

    std::array<Row, DestinationCount> rows;
    std::array<QString, IslandCount> islands;
    std::array<ColourText::TColor, 3> colours = defaultColours();
    // "t01", "t02", then the rare ones "r01"...; bare file names in the picture folder.
    std::array<QString, TreasureCount> treasures;

    static constexpr std::array<ColourText::TColor, 3> defaultColours()
    {
        return {ColourText::clNavy, ColourText::clRed, ColourText::clYellow};
    }

    bool isFree(int row) const;
    // Rows below the given one move up by one; the last row becomes free.
    void deleteRow(int row);
    // Rows from the given one move down by one and it becomes free; refused (false) while the
    // last row is in use.
    bool insertRow(int row);
    void swapRows(int a, int b) { std::swap(rows[a], rows[b]); }
    // Empties every destination, island and treasure; colours are left alone.
    void clearContent();

    bool operator==(const MapDocument&) const = default;
};

// " 05": how a destination number is shown.
QString destinationNumber(int index);

// A picture cell's name without the changed-picture marker " *" and surrounding blanks.
QString barePictureName(const QString& cell);
// The marker appended to a picture name whose picture changed since the last save.
inline constexpr char16_t ChangedMarker[] = u" *";
