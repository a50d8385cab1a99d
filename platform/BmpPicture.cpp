#include "BmpPicture.h"

#include "AsciiCase.h"
#include "FileOps.h"
#include "JpegPicture.h"
#include "PictureLimit.h"

#include <QBuffer>
#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr int FileHeaderSize = 14;
constexpr int InfoHeaderSize = 40;
constexpr int CoreHeaderSize = 12;

constexpr quint32 BiRgb = 0;
constexpr quint32 BiRle8 = 1;
constexpr quint32 BiRle4 = 2;
constexpr quint32 BiBitfields = 3;
constexpr quint32 BiAlphaBitfields = 6;

QString badFormat()
{
    return u"BMP ファイルの形式が正しくありません。"_s;
}

QString truncated()
{
    return u"BMP ファイルが途中で切れています。"_s;
}

QString notFound(const QString& path)
{
    return u"ファイルが見つかりません。\r\n"_s + path;
}

QString cannotOpen(const QString& path, const QString& reason)
{
    return u"ファイルを開けません。\r\n"_s + path + u"\r\n"_s + reason;
}

// The whole file, when it can be a picture file: a regular one of at most the picture limit.
bool readPictureFile(const QString& path, QByteArray& bytes, QString* error)
{
    if (!QFileInfo::exists(path)) {
        if (error)
            *error = notFound(path);
        return false;
    }
    QString reason;
    if (FileOps::readFile(path, FileOps::ReadLimit::Picture, bytes, nullptr, &reason))
        return true;
    if (error)
        *error = cannotOpen(path, reason);
    return false;
}

QImage refuse(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return {};
}

quint32 u16At(const uchar* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8;
}

quint32 u32At(const uchar* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// The size a bitmap's header declares, rows counted either way up; none for a header too short.
struct Declared {
    qint64 width = 0;
    qint64 height = 0;
    bool topDown = false;
};

Declared declaredSize(const uchar* data, qint64 headerSize)
{
    Declared d;
    if (headerSize == CoreHeaderSize) {
        d.width = u16At(data + 18);
        d.height = u16At(data + 20);
    } else if (headerSize >= 16) {
        // From 40 bytes up (and in OS/2's 64-byte variant) the fields start alike.
        d.width = qint32(u32At(data + 18));
        d.height = qint32(u32At(data + 22));
        d.topDown = d.height < 0;
        d.height = std::abs(d.height);
    }
    return d;
}

void putU16(char* p, quint32 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8 & 0xFF);
}

void putU32(char* p, quint32 v)
{
    putU16(p, v & 0xFFFF);
    putU16(p + 2, v >> 16);
}

// One colour channel of a 16 or 32-bit pixel, scaled to 0..255.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    quint64 maximum = 0;

    explicit Channel(quint32 m) : mask(m)
    {
        if (mask) {
            shift = std::countr_zero(mask);
            maximum = (quint64(1) << std::bit_width(mask >> shift)) - 1;
        }
    }
    int operator()(quint32 pixel) const
    {
        if (!maximum)
            return 0;
        const quint64 v = (pixel & mask) >> shift;
        return int((v * 255 + maximum / 2) / maximum);
    }
};

struct Layout {
    qint64 width = 0;
    qint64 height = 0; // always positive; topDown says which way the rows run
    bool topDown = false;
    int bitCount = 0;
    quint32 compression = BiRgb;
    quint32 masks[3] = {};
    qint64 paletteOffset = 0;
    int paletteEntrySize = 4;
    qint64 paletteCount = 0;
};

bool ownDecoderTakes(const Layout& layout)
{
    if (layout.compression == BiRle8 || layout.compression == BiRle4)
        return layout.bitCount == (layout.compression == BiRle8 ? 8 : 4) && !layout.topDown;
    if (layout.compression == BiRgb)
        return layout.bitCount == 1 || layout.bitCount == 4 || layout.bitCount == 8 || layout.bitCount == 16
               || layout.bitCount == 24 || layout.bitCount == 32;
    if (layout.compression == BiBitfields || layout.compression == BiAlphaBitfields)
        return layout.bitCount == 16 || layout.bitCount == 32;
    return false;
}

void readPalette(const uchar* data, const Layout& layout, QRgb (&palette)[256])
{
    std::fill(std::begin(palette), std::end(palette), qRgb(0, 0, 0));
    for (qint64 i = 0; i < layout.paletteCount; ++i) {
        const uchar* entry = data + layout.paletteOffset + i * layout.paletteEntrySize;
        palette[i] = qRgb(entry[2], entry[1], entry[0]);
    }
}

// Run-length coded rows of 8 or 4 bits per pixel, bottom-up: runs of one index, literal runs padded
// to whole words, and the escapes for a row's end, a jump and the picture's end. Pixels no code
// reaches take the first palette entry. The codes must reach the picture's end or fill every row:
// a file cut short is refused, as a plain bitmap cut short is.
QImage decodeRunLength(const uchar* data, qint64 size, qint64 pixelOffset, const Layout& layout, QString* error)
{
    // No code reaches further than 255 columns and 255 rows: far more pixels than the codes could
    // ever place cannot be a real picture, and are refused before they are made.
    if (layout.width * layout.height > std::max<qint64>(size - pixelOffset, 0) * 255 * 255)
        return refuse(error, truncated());
    QRgb palette[256];
    readPalette(data, layout, palette);
    QImage image(int(layout.width), int(layout.height), QImage::Format_RGB32);
    if (image.isNull())
        return refuse(error, u"画像を読み込むためのメモリが足りません。"_s);
    image.fill(palette[0]);

    const bool four = layout.compression == BiRle4;
    const qint64 width = layout.width, height = layout.height;
    uchar* const bits = image.bits();
    const qsizetype bytesPerLine = image.bytesPerLine();
    qint64 x = 0, row = 0; // rows count from the bottom, as the codes do
    auto put = [&](int index) {
        if (x < width && row < height)
            reinterpret_cast<QRgb*>(bits + (height - 1 - row) * bytesPerLine)[x] = palette[index];
        ++x;
    };
    const uchar* p = data + pixelOffset;
    const uchar* const end = data + size;
    while (row < height) {
        if (end - p < 2)
            return refuse(error, truncated());
        const int count = p[0], code = p[1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? (i & 1 ? code & 0x0F : code >> 4) : code);
        } else if (code == 0) {
            x = 0;
            ++row;
        } else if (code == 1) {
            return image;
        } else if (code == 2) {
            if (end - p < 2)
                return refuse(error, truncated());
            x += p[0];
            row += p[1];
            p += 2;
        } else {
            const qint64 bytes = four ? (code + 1) / 2 : code;
            if (end - p < bytes)
                return refuse(error, truncated());
            for (int i = 0; i < code; ++i)
                put(four ? (i & 1 ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
            // Whole words; a last pad byte left out at the very end does no harm.
            p += std::min<qint64>((bytes + 1) & ~qint64(1), end - p);
        }
    }
    return image;
}

QImage decodePixels(const uchar* data, qint64 size, qint64 pixelOffset, const Layout& layout, QString* error)
{
    if (layout.compression == BiRle8 || layout.compression == BiRle4)
        return decodeRunLength(data, size, pixelOffset, layout, error);
    const qint64 stride = (layout.width * layout.bitCount + 31) / 32 * 4;
    // The last row's padding is sometimes left out; the pixels themselves must all be there.
    const qint64 needed = stride * (layout.height - 1) + (layout.width * layout.bitCount + 7) / 8;
    if (pixelOffset + needed > size)
        return refuse(error, truncated());

    QRgb palette[256];
    readPalette(data, layout, palette);

    quint32 masks[3] = {layout.masks[0], layout.masks[1], layout.masks[2]};
    if (layout.compression == BiRgb && layout.bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (layout.compression == BiRgb && layout.bitCount == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);

    QImage image(int(layout.width), int(layout.height), QImage::Format_RGB32);
    if (image.isNull())
        return refuse(error, u"画像を読み込むためのメモリが足りません。"_s);

    const int width = int(layout.width);
    for (int y = 0; y < image.height(); ++y) {
        const qint64 fileRow = layout.topDown ? y : layout.height - 1 - y;
        const uchar* in = data + pixelOffset + fileRow * stride;
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        switch (layout.bitCount) {
        case 1:
            for (int x = 0; x < width; ++x)
                out[x] = palette[in[x >> 3] >> (7 - (x & 7)) & 1];
            break;
        case 4:
            for (int x = 0; x < width; ++x)
                out[x] = palette[(x & 1) ? in[x >> 1] & 0x0F : in[x >> 1] >> 4];
            break;
        case 8:
            for (int x = 0; x < width; ++x)
                out[x] = palette[in[x]];
            break;
        case 16:
            for (int x = 0; x < width; ++x) {
                const quint32 p = u16At(in + 2 * x);
                out[x] = qRgb(red(p), green(p), blue(p));
            }
            break;
        case 24:
            for (int x = 0; x < width; ++x, in += 3)
                out[x] = qRgb(in[2], in[1], in[0]);
            break;
        case 32:
            // Alpha, where a header declares one, is dropped: writers disagree on whether zero alpha
            // means transparent or "unused", and the picture is opaque here either way.
            for (int x = 0; x < width; ++x) {
                const quint32 p = u32At(in + 4 * x);
                out[x] = qRgb(red(p), green(p), blue(p));
            }
            break;
        }
    }
    return image;
}

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QString why;
    if (FileOps::writeFileAtomic(path, bytes, &why))
        return true;
    // The file operation's own words name the file.
    if (error)
        *error = why;
    return false;
}

QString extensionOf(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= slash)
        return {};
    return AsciiCase::lower(path.mid(dot + 1));
}

bool looksLikeJpeg(const QByteArray& bytes)
{
    return bytes.size() >= 3 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8 && uchar(bytes[2]) == 0xFF;
}

bool looksLikeBmp(const QByteArray& bytes)
{
    return bytes.startsWith("BM");
}

} // namespace

namespace BmpPicture {

QImage read(const QByteArray& bytes, QString* error)
{
    if (error)
        error->clear();
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qint64 size = bytes.size();
    if (size < FileHeaderSize + 4 || !looksLikeBmp(bytes))
        return refuse(error, badFormat());

    const qint64 pixelOffset = u32At(data + 10);
    const qint64 headerSize = u32At(data + 14);
    const qint64 headerEnd = FileHeaderSize + headerSize;
    if (headerSize < CoreHeaderSize || headerEnd > size)
        return refuse(error, headerEnd > size ? truncated() : badFormat());

    Layout layout;
    const Declared declared = declaredSize(data, headerSize);
    layout.width = declared.width;
    layout.height = declared.height;
    layout.topDown = declared.topDown;
    if (headerSize == CoreHeaderSize) {
        layout.bitCount = int(u16At(data + 24));
        layout.paletteEntrySize = 3;
    } else if (headerSize >= 16) {
        layout.bitCount = int(u16At(data + 28));
        layout.compression = headerSize >= 20 ? u32At(data + 30) : BiRgb;
    } else {
        return refuse(error, badFormat());
    }

    if (layout.width <= 0 || layout.height <= 0)
        return refuse(error, badFormat());
    if (!PictureLimit::admits(layout.width, layout.height))
        return refuse(error, PictureLimit::tooLargeMessage(layout.width, layout.height));

    const bool standardHeader = headerSize == CoreHeaderSize || headerSize == 40 || headerSize == 52
                                || headerSize == 56 || headerSize == 108 || headerSize == 124;
    if (!standardHeader || !ownDecoderTakes(layout)) {
        // The rarer variants: Qt's reader, now that the size is known to be sane.
        const QImage image = QImage::fromData(bytes, "BMP");
        if (image.isNull())
            return refuse(error, badFormat());
        return JpegPicture::opaqueRgb32(image);
    }

    layout.paletteOffset = headerEnd;
    if (layout.compression == BiBitfields || layout.compression == BiAlphaBitfields) {
        // A 40-byte header keeps its masks after itself; the longer ones carry them inside.
        const qint64 maskStart = headerSize == InfoHeaderSize ? headerEnd : FileHeaderSize + 40;
        if (maskStart + 12 > size)
            return refuse(error, truncated());
        for (int i = 0; i < 3; ++i)
            layout.masks[i] = u32At(data + maskStart + 4 * i);
        if (headerSize == InfoHeaderSize)
            layout.paletteOffset += layout.compression == BiAlphaBitfields ? 16 : 12;
    }

    if (pixelOffset < layout.paletteOffset || pixelOffset >= size)
        // A file that ends where its pixels begin was cut short like any other.
        return refuse(error, pixelOffset == size ? truncated() : badFormat());

    if (layout.bitCount <= 8) {
        const qint64 full = qint64(1) << layout.bitCount;
        const qint64 used = headerSize == CoreHeaderSize ? 0 : qint64(u32At(data + 46));
        const qint64 wanted = used > 0 && used < full ? used : full;
        // Some writers declare more colours than they store; take the ones before the pixels.
        const qint64 stored = (pixelOffset - layout.paletteOffset) / layout.paletteEntrySize;
        layout.paletteCount = std::min(wanted, stored);
        if (layout.paletteCount <= 0)
            return refuse(error, badFormat());
    }

    return decodePixels(data, size, pixelOffset, layout, error);
}

QImage readFile(const QString& path, QString* error)
{
    QByteArray bytes;
    if (!readPictureFile(path, bytes, error))
        return {};
    return read(bytes, error);
}

QByteArray write24(const QImage& image)
{
    const QImage source = JpegPicture::opaqueRgb32(image);
    if (source.isNull())
        return {};
    const qint64 width = source.width();
    const qint64 height = source.height();
    const qint64 stride = (width * 3 + 3) / 4 * 4;
    const qint64 pixelBytes = stride * height;
    const qint64 offset = FileHeaderSize + InfoHeaderSize;
    if (offset + pixelBytes > qint64(0xFFFFFFFFu))
        return {};

    QByteArray bytes(offset + pixelBytes, '\0');
    char* p = bytes.data();
    p[0] = 'B';
    p[1] = 'M';
    putU32(p + 2, quint32(offset + pixelBytes));
    putU32(p + 10, quint32(offset));
    putU32(p + 14, InfoHeaderSize);
    putU32(p + 18, quint32(width));
    putU32(p + 22, quint32(height));
    putU16(p + 26, 1);
    putU16(p + 28, 24);
    putU32(p + 30, BiRgb);
    putU32(p + 34, quint32(pixelBytes));
    // Resolution and colour counts stay zero, so only the pixels decide the bytes.

    for (qint64 y = 0; y < height; ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(int(y)));
        char* out = p + offset + (height - 1 - y) * stride;
        for (qint64 x = 0; x < width; ++x, out += 3) {
            out[0] = char(qBlue(in[x]));
            out[1] = char(qGreen(in[x]));
            out[2] = char(qRed(in[x]));
        }
    }
    return bytes;
}

bool writeFile(const QString& path, const QImage& image, QString* error)
{
    const QByteArray bytes = write24(image);
    if (bytes.isEmpty()) {
        if (error)
            *error = u"保存する画像がありません。"_s;
        return false;
    }
    return writeAtomically(path, bytes, error);
}

} // namespace BmpPicture

namespace PictureFile {

bool isSupportedName(const QString& path)
{
    const QString extension = extensionOf(path);
    return extension == u"bmp"_s || extension == u"jpg"_s;
}

bool isJpegName(const QString& path)
{
    return extensionOf(path) == u"jpg"_s;
}

QString refusedNameMessage(const QString& path, NameUse use)
{
    // The extension as the user wrote it, with its dot; none at all shows as "".
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const qsizetype dot = path.lastIndexOf(u'.');
    const QString extension = dot > slash ? path.mid(dot) : QString();
    if (use == NameUse::Save)
        return u"拡張子 \""_s + extension + u"\" は，保存できない画像形式です。\r\n\r\n"_s
               + u"拡張子を \".bmp\" または \".jpg\" にして保存して下さい。"_s;
    return u"拡張子 \""_s + extension + u"\" は，開くことができない画像形式です。\r\n\r\n"_s
           + u"拡張子が \".bmp\" または \".jpg\" の画像を開いて下さい。"_s;
}

QString contentSuffix(const QString& path)
{
    QByteArray start;
    if (!FileOps::readFileStart(path, 3, start))
        return {};
    if (looksLikeJpeg(start))
        return u".jpg"_s;
    if (looksLikeBmp(start))
        return u".bmp"_s;
    return {};
}

bool namesItsContent(const QString& path)
{
    const QString content = contentSuffix(path);
    return !content.isEmpty() && content.mid(1) == extensionOf(path);
}

QImage load(const QString& path, QString* error, JpegPicture::PixelFormat jpegFormat)
{
    if (error)
        error->clear();
    if (!isSupportedName(path))
        return refuse(error, refusedNameMessage(path, NameUse::Open));
    QByteArray bytes;
    if (!readPictureFile(path, bytes, error))
        return {};

    // The content decides, not the name: a bitmap saved as ".jpg" by some other tool still loads.
    if (looksLikeJpeg(bytes)) {
        try {
            QBuffer buffer;
            buffer.setData(bytes);
            buffer.open(QIODevice::ReadOnly);
            JpegPicture picture;
            picture.setPixelFormat(jpegFormat);
            picture.loadFromStream(buffer);
            return picture.image();
        } catch (const JpegError& e) {
            return refuse(error, e.message());
        }
    }
    if (looksLikeBmp(bytes))
        return BmpPicture::read(bytes, error);
    return refuse(error, u"画像ファイルとして読み込めません。"_s);
}

Preview preview(const QString& path, QSize box)
{
    Preview out;
    QByteArray bytes;
    if (!isSupportedName(path) || !readPictureFile(path, bytes, nullptr))
        return out;
    auto tooLarge = [&out](qint64 width, qint64 height) {
        out.size = QSize(int(std::min<qint64>(width, INT_MAX)), int(std::min<qint64>(height, INT_MAX)));
        out.refusal = PictureLimit::tooLargeMessage(width, height);
        return out;
    };
    if (looksLikeBmp(bytes)) {
        // A bitmap is decoded whole: its pixels are only copied, and there is no scaled decoding.
        if (bytes.size() >= FileHeaderSize + 4) {
            const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
            const Declared declared =
                declaredSize(data, std::min<qint64>(u32At(data + 14), bytes.size() - FileHeaderSize));
            if (declared.width > 0 && declared.height > 0 && !PictureLimit::admits(declared.width, declared.height))
                return tooLarge(declared.width, declared.height);
        }
        out.picture = BmpPicture::read(bytes);
        out.size = out.picture.size();
        return out;
    }
    if (!looksLikeJpeg(bytes))
        return out;
    const QSize declared = JpegPicture::headerSize(bytes);
    if (declared.isEmpty())
        return out;
    if (!PictureLimit::admits(declared.width(), declared.height()))
        return tooLarge(declared.width(), declared.height());
    // The largest step of libjpeg's scaling that still leaves the picture as large as it is shown.
    const QSize shown = declared.scaled(box, Qt::KeepAspectRatio).expandedTo({1, 1}).boundedTo(declared);
    int denominator = 8;
    while (denominator > 1
           && ((declared.width() + denominator - 1) / denominator < shown.width()
               || (declared.height() + denominator - 1) / denominator < shown.height()))
        denominator /= 2;
    try {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        JpegPicture picture;
        picture.setScaleDenominator(denominator);
        picture.loadFromStream(buffer);
        out.picture = picture.image();
        out.size = declared;
    } catch (const JpegError&) {
    }
    return out;
}

bool save(const QString& path, const QImage& image, int jpegQuality, QString* error, QByteArray* written)
{
    if (error)
        error->clear();
    if (!isSupportedName(path)) {
        if (error)
            *error = refusedNameMessage(path, NameUse::Save);
        return false;
    }
    if (image.isNull()) {
        if (error)
            *error = u"保存する画像がありません。"_s;
        return false;
    }

    // Encoded completely before the file is touched.
    QByteArray bytes;
    if (isJpegName(path)) {
        try {
            JpegPicture picture(image);
            picture.setQuality(jpegQuality);
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            picture.saveToStream(buffer);
        } catch (const JpegError& e) {
            if (error)
                *error = e.message();
            return false;
        }
    } else {
        bytes = BmpPicture::write24(image);
        if (bytes.isEmpty()) {
            if (error)
                *error = u"画像を BMP に変換できません。"_s;
            return false;
        }
    }
    if (!writeAtomically(path, bytes, error))
        return false;
    if (written)
        *written = bytes;
    return true;
}

} // namespace PictureFile
