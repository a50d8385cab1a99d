#pragma once

#include "JpegPicture.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// Windows bitmaps. Writing is always 24-bit, bottom-up, with fixed header fields, so the same
// picture gives the same bytes (undo snapshots compare them).
namespace BmpPicture {

// Reads 1, 4, 8, 24 and 32-bit uncompressed bitmaps (and what Qt's reader takes beyond that).
// Returns a null image and sets *error for anything that is not a readable bitmap; dimensions
// are checked against a cap before allocating.
QImage read(const QByteArray& bytes, QString* error = nullptr);
QImage readFile(const QString& path, QString* error = nullptr);

QByteArray write24(const QImage& image);
bool writeFile(const QString& path, const QImage& image, QString* error = nullptr);

} // namespace BmpPicture

// Pictures on disk by extension: ".bmp" or ".jpg", any case, the two names a map file stores.
// Anything else (".jpeg" too), or content that is not a picture, is refused with a message in
// *error.
namespace PictureFile {

bool isSupportedName(const QString& path);
bool isJpegName(const QString& path);
// The one message both programs give for a name of any other extension, before anything is done
// with it.
enum class NameUse { Open, Save };
QString refusedNameMessage(const QString& path, NameUse use);
// ".jpg" or ".bmp" by what the file holds (its first bytes), whatever its name; empty for anything
// else or a file that cannot be read.
QString contentSuffix(const QString& path);
// Whether the extension, in any case, names what the file holds.
bool namesItsContent(const QString& path);
// JPEG content is decoded in the given pixel format.
QImage load(const QString& path, QString* error = nullptr,
            JpegPicture::PixelFormat jpegFormat = JpegPicture::PixelFormat::FullColour);
// What a dialog shows of a picture file beside its list: the size its header declares, and the
// picture decoded no larger than showing it within `box` needs (a JPEG at 1/2, 1/4 or 1/8 of its
// size where that still fills the box). A picture over the size limit has its size and the limit's
// message, no picture; a file that cannot be read, neither.
struct Preview {
    QSize size;
    QImage picture;
    QString refusal;
};
Preview preview(const QString& path, QSize box);
// Written to a temporary file and renamed into place; nothing is written under a name that
// could not be read back. *written receives the bytes the file was given.
bool save(const QString& path, const QImage& image, int jpegQuality, QString* error = nullptr,
          QByteArray* written = nullptr);

} // namespace PictureFile
