#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QMimeData;

// The one size limit of every road a picture comes in by (files of either kind, the clipboard, the
// import, the tracing picture, the map editor's pictures, the dialogs' preview), checked on the
// size a header declares, before anything of the picture is allocated.
namespace PictureLimit {

// 120 megapixels: a 32-bit picture of 480 MB. Only the pixel count is limited, never a side on
// its own, so a long strip other programs read is read here too.
inline constexpr qint64 MaxPixels = 120'000'000;

// The limit in force: MaxPixels, unless a test lowers it (ScopedTestLimit).
qint64 maxPixels();

// Whether a picture of this size is taken: at least one pixel each way, at most maxPixels() in
// all, and rows a QImage can hold.
bool admits(qint64 width, qint64 height);
// "画像が大きすぎます (W x H)。", the one message for a picture over the limit, whatever its kind.
QString tooLargeMessage(qint64 width, qint64 height);

// Qt's image readers take every picture the limit admits (in Qt's widest pixel format); Qt's own
// default would refuse above 128 MiB. Both programs call this at start-up.
void allowInQt();

// The picture a clipboard offers, taken by the same limit: encoded data (as other programs offer
// it) is checked before it is decoded, a picture this process put there by its size. Null with
// *error empty when no picture is offered, with *error set when one is refused.
QImage fromMimeData(const QMimeData* data, QString* error = nullptr);

// Lowers the limit for the lifetime of the object, so that a test can walk every road at the
// limit and one pixel over without making pictures of hundreds of megabytes.
class ScopedTestLimit {
public:
    explicit ScopedTestLimit(qint64 pixels);
    ~ScopedTestLimit();
    ScopedTestLimit(const ScopedTestLimit&) = delete;
    ScopedTestLimit& operator=(const ScopedTestLimit&) = delete;

private:
    qint64 m_previous;
};

} // namespace PictureLimit
