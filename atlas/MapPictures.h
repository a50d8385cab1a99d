#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// The three kinds of picture a map holds, each of one exact size.
namespace MapPictures {

enum Kind { MapKind = 0, DestinationKind = 1, TreasureKind = 2 };

QSize requiredSize(int kind);

// Loads the picture when it has the exact size of its kind; otherwise *out becomes a placeholder
// of that size telling why, and the result is false.
bool LoadPictureChecked(int kind, const QString& path, QImage* out);

// What stands in for a missing picture of the kind.
QImage DrawInstructionPlaceholder(int kind);
// What stands in for a picture of the wrong size (or one that could not be read).
QImage DrawWrongSizePlaceholder(int kind, const QString& why);

} // namespace MapPictures
