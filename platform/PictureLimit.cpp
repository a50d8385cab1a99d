#include "PictureLimit.h"

#include <QBuffer>
#include <QImageReader>
#include <QMimeData>

#include <climits>

using namespace Qt::StringLiterals;

namespace PictureLimit {

namespace {

qint64 g_limit = MaxPixels;

// QImage keeps a row's byte count in an int: its own limit on a 32-bit picture's width.
constexpr qint64 WidestRow = (INT_MAX - 31) / 32;
// RGBA32FPx4, the widest pixel Qt decodes into.
constexpr qint64 WidestPixelBytes = 16;

} // namespace

qint64 maxPixels()
{
    return g_limit;
}

bool admits(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= WidestRow && height <= g_limit && width <= g_limit / height;
}

QString tooLargeMessage(qint64 width, qint64 height)
{
    return u"画像が大きすぎます (%1 x %2)。"_s.arg(width).arg(height);
}

namespace {

// A decoded picture held to the limit: itself, or null with *error set.
QImage heldToLimit(const QImage& image, QString* error)
{
    if (admits(image.width(), image.height()))
        return image;
    if (error)
        *error = tooLargeMessage(image.width(), image.height());
    return {};
}

// Encoded bytes another program offers, checked on the size their header declares before decoding.
QImage readOffered(const QByteArray& bytes, const QByteArray& format, QString* error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize declared = reader.size();
    if (declared.isValid() && !admits(declared.width(), declared.height())) {
        if (error)
            *error = tooLargeMessage(declared.width(), declared.height());
        return {};
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        if (error)
            *error = u"コピーされた画像を読み込めません。"_s;
        return {};
    }
    // A reader that cannot tell the size beforehand is held to the limit afterwards.
    return heldToLimit(image, error);
}

} // namespace

void allowInQt()
{
    QImageReader::setAllocationLimit(int((MaxPixels * WidestPixelBytes + (1 << 20) - 1) >> 20));
}

QImage fromMimeData(const QMimeData* data, QString* error)
{
    if (error)
        error->clear();
    if (!data)
        return {};
    // Other programs offer encoded data, PNG above all; decoded here, after its header is checked,
    // and never through imageData(), which decodes first.
    QStringList offered;
    for (const QString& mime : data->formats())
        if (mime.startsWith(u"image/"_s) && !QImageReader::imageFormatsForMimeType(mime.toLatin1()).isEmpty())
            offered.append(mime);
    if (offered.removeAll(u"image/png"_s))
        offered.prepend(u"image/png"_s);
    for (const QString& mime : std::as_const(offered)) {
        const QByteArray bytes = data->data(mime);
        if (!bytes.isEmpty())
            return readOffered(bytes, QImageReader::imageFormatsForMimeType(mime.toLatin1()).value(0), error);
    }
    if (!data->hasImage())
        return {};
    // A picture of this process is there already; the limit holds for it all the same.
    const QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull())
        return {};
    return heldToLimit(image, error);
}

ScopedTestLimit::ScopedTestLimit(qint64 pixels)
    : m_previous(g_limit)
{
    g_limit = pixels;
}

ScopedTestLimit::~ScopedTestLimit()
{
    g_limit = m_previous;
}

} // namespace PictureLimit
