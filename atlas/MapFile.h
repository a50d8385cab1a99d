#pragma once

#include "MapDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The map file: code page 932 text, CR LF. Line 1 holds islands, the map picture's name and the
// colours; lines 2 to 63 the 62 destinations; then the treasure picture names.
namespace MapFile {

struct Content {
    std::array<QString, MapDocument::IslandCount> islands;
    QString mapPictureName;
    // Present when line 1 carries the colours (seven items or more); a colour that is not a
    // colour reads as its default.
    std::optional<std::array<ColourText::TColor, 3>> colours;
    // Each destination line's items as read (possibly fewer or more than seven).
    std::array<QStringList, MapDocument::DestinationCount> rows;
    // Lines 64 on, as written: row 1, row 2, then the filled rare rows.
    QStringList treasureLines;
};

// Reads a whole file. A file that is not a usable map (too few lines, a short first line, bytes
// that are not code page 932 text) gives nothing and a message saying why.
std::optional<Content> parse(const QByteArray& bytes, QString* error);

// The file's bytes, checked against parse() before they are given: a document whose file would not
// read back as the same document gives nothing, and *why names the first place that would not
// (the destination and its column, an island, a treasure) and its character, so a file this
// program cannot open again is never written.
QByteArray write(const MapDocument& doc, const QString& mapPictureName, QString* why = nullptr);

// The comparable form of what write() would store (used for the "modified" test).
QString text(const MapDocument& doc, const QString& mapPictureName);

} // namespace MapFile
