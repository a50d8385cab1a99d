#pragma once

#include "JpegPicture.h"

#include <QImage>
#include <QSize>
#include <QString>

// The three kinds of picture a map holds, each of one exact size, and what stands in for them.
namespace MapPictures {

enum Kind { MapKind = 0, DestinationKind = 1, TreasureKind = 2 };

QSize requiredSize(int kind);
// The size of the picture a placeholder of the kind fills (the treasure form shows a larger one).
QSize placeholderSize(int kind);

// Loads the picture when it has the exact size of its kind (true). Otherwise *out becomes the
// instruction placeholder (no file), the wrong-size placeholder, or, for a file that is not a
// readable picture, a placeholder carrying the reason (also given in *why). JPEG content is decoded
// in jpegFormat.
bool LoadPictureChecked(int kind, const QString& path, QImage* out, QString* why = nullptr,
                        JpegPicture::PixelFormat jpegFormat = JpegPicture::PixelFormat::FullColour);

// What stands in for a missing picture of the kind. The treasure's shows TreasureSample() under its text.
QImage DrawInstructionPlaceholder(int kind);
// A small game screen with the place where a found treasure's picture appears framed in red.
QImage TreasureSample();
// What stands in for a picture of the wrong size.
QImage DrawWrongSizePlaceholder(int kind);
// What stands in for a file that could not be read as a picture.
QImage DrawUnreadablePlaceholder(int kind, const QString& why);

} // namespace MapPictures
