#include "BmpPicture.h"
#include "JpegPicture.h"
#include "PictureLimit.h"
#include "TempFolder.h"

#include <QBuffer>
#include <QDir>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <bit>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 BiRgb = 0;
constexpr quint32 BiBitfields = 3;

quint32 u32At(const QByteArray& b, int at)
{
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16
           | quint32(uchar(b[at + 3])) << 24;
}

quint32 u16At(const QByteArray& b, int at)
{
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8;
}

void putU32(QByteArray& b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i) & 0xFF);
}

void appendU32(QByteArray& b, quint32 v)
{
    b.append(4, '\0');
    putU32(b, int(b.size()) - 4, v);
}

void appendU16(QByteArray& b, quint32 v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8 & 0xFF));
}

QImage randomPicture(int width, int height, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, 0xFF000000u | random.generate());
    return image;
}

// A picture whose channels are all 0 or 255, so 16-bit fields hold it exactly.
QImage primaries(int width, int height, int colours = 8)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int c = (x + 3 * y) % colours;
            image.setPixel(x, y, qRgb(c & 1 ? 255 : 0, c & 2 ? 255 : 0, c & 4 ? 255 : 0));
        }
    return image;
}

struct Variant {
    const char* name;
    int headerSize;
    int bitCount;
    quint32 compression = BiRgb;
    bool topDown = false;
    quint32 masks[3] = {0, 0, 0};
};

quint32 packed(QRgb colour, const quint32 (&masks)[3])
{
    const int channels[3] = {qRed(colour), qGreen(colour), qBlue(colour)};
    quint32 pixel = 0;
    for (int i = 0; i < 3; ++i)
        if (masks[i]) {
            const int shift = std::countr_zero(masks[i]);
            const int bits = std::popcount(masks[i]);
            pixel |= quint32(channels[i] >> (8 - bits)) << shift;
        }
    return pixel;
}

// A bitmap put together field by field, the way other programs write them.
QByteArray handMade(const QImage& picture, const Variant& v)
{
    QList<QRgb> palette;
    if (v.bitCount <= 8) {
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (!palette.contains(picture.pixel(x, y)))
                    palette.append(picture.pixel(x, y));
        // Entries in an order unlike first use, so a reader ignoring the palette gets it wrong.
        std::reverse(palette.begin(), palette.end());
        if (v.headerSize == 12)
            palette.resize(1 << v.bitCount, qRgb(0, 0, 0));
    }
    quint32 masks[3] = {v.masks[0], v.masks[1], v.masks[2]};
    if (v.compression == BiRgb && v.bitCount == 16)
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    if (v.compression == BiRgb && v.bitCount == 32)
        masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;

    const int width = picture.width(), height = picture.height();
    const int stride = (width * v.bitCount + 31) / 32 * 4;
    const bool masksAfterHeader = v.headerSize == 40 && v.compression == BiBitfields;
    const int entrySize = v.headerSize == 12 ? 3 : 4;
    const int offset = 14 + v.headerSize + (masksAfterHeader ? 12 : 0) + int(palette.size()) * entrySize;

    QByteArray b("BM");
    appendU32(b, quint32(offset + stride * height));
    appendU32(b, 0);
    appendU32(b, quint32(offset));
    appendU32(b, quint32(v.headerSize));
    if (v.headerSize == 12) {
        appendU16(b, quint32(width));
        appendU16(b, quint32(height));
        appendU16(b, 1);
        appendU16(b, quint32(v.bitCount));
    } else {
        appendU32(b, quint32(width));
        appendU32(b, quint32(v.topDown ? -height : height));
        appendU16(b, 1);
        appendU16(b, quint32(v.bitCount));
        appendU32(b, v.compression);
        appendU32(b, quint32(stride * height));
        appendU32(b, 2835);
        appendU32(b, 2835);
        appendU32(b, quint32(palette.size()));
        appendU32(b, 0);
        if (v.headerSize > 40) {
            for (quint32 mask : v.masks)
                appendU32(b, mask);
            b.append(v.headerSize - 52, '\0');
        }
    }
    if (masksAfterHeader)
        for (quint32 mask : v.masks)
            appendU32(b, mask);
    for (QRgb colour : palette) {
        b.append(char(qBlue(colour)));
        b.append(char(qGreen(colour)));
        b.append(char(qRed(colour)));
        if (entrySize == 4)
            b.append('\0');
    }
    EXPECT_EQ(b.size(), offset);

    for (int row = 0; row < height; ++row) {
        const int y = v.topDown ? row : height - 1 - row;
        QByteArray line(stride, '\0');
        for (int x = 0; x < width; ++x) {
            const QRgb colour = picture.pixel(x, y);
            const int index = int(palette.indexOf(colour));
            switch (v.bitCount) {
            case 1:
                line[x / 8] = char(line[x / 8] | index << (7 - x % 8));
                break;
            case 4:
                line[x / 2] = char(line[x / 2] | index << (x % 2 ? 0 : 4));
                break;
            case 8:
                line[x] = char(index);
                break;
            case 16: {
                const quint32 p = packed(colour, masks);
                line[2 * x] = char(p & 0xFF);
                line[2 * x + 1] = char(p >> 8);
                break;
            }
            case 24:
                line[3 * x] = char(qBlue(colour));
                line[3 * x + 1] = char(qGreen(colour));
                line[3 * x + 2] = char(qRed(colour));
                break;
            case 32:
                // The unused byte stays zero: read as alpha it would make the picture vanish.
                putU32(line, 4 * x, packed(colour, masks));
                break;
            }
        }
        b.append(line);
    }
    return b;
}

QImage readOk(const QByteArray& bytes)
{
    QString error = u"stale"_s;
    const QImage image = BmpPicture::read(bytes, &error);
    EXPECT_FALSE(image.isNull()) << error.toStdString();
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return image;
}

QString refusal(const QByteArray& bytes)
{
    QString error;
    const QImage image = BmpPicture::read(bytes, &error);
    EXPECT_TRUE(image.isNull());
    EXPECT_FALSE(error.isEmpty());
    return error;
}

} // namespace

TEST(BmpPicture, WriteThenReadGivesExactPixels)
{
    // Widths whose rows need 1, 3 and 1 padding bytes, and the no-padding case.
    for (int width : {1, 3, 4, 401})
        for (int height : {1, 2, 7}) {
            SCOPED_TRACE(width * 100 + height);
            const QImage original = randomPicture(width, height, quint32(width * 31 + height));
            const QImage back = readOk(BmpPicture::write24(original));
            ASSERT_EQ(back.format(), QImage::Format_RGB32);
            EXPECT_EQ(back, original);
        }
}

TEST(BmpPicture, WrittenHeaderIsFixedAndRowsRunBottomUp)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    image.setPixel(0, 1, qRgb(0xAA, 0xBB, 0xCC)); // bottom-left
    const QByteArray b = BmpPicture::write24(image);

    const int stride = 12, pixelBytes = stride * 2;
    ASSERT_EQ(b.size(), 54 + pixelBytes);
    EXPECT_TRUE(b.startsWith("BM"));
    EXPECT_EQ(u32At(b, 2), quint32(54 + pixelBytes));
    EXPECT_EQ(u32At(b, 6), 0u);
    EXPECT_EQ(u32At(b, 10), 54u);
    EXPECT_EQ(u32At(b, 14), 40u);
    EXPECT_EQ(u32At(b, 18), 3u);
    EXPECT_EQ(u32At(b, 22), 2u);
    EXPECT_EQ(u16At(b, 26), 1u);
    EXPECT_EQ(u16At(b, 28), 24u);
    EXPECT_EQ(u32At(b, 30), 0u);
    EXPECT_EQ(u32At(b, 34), quint32(pixelBytes));
    for (int at = 38; at < 54; at += 4)
        EXPECT_EQ(u32At(b, at), 0u) << at;
    EXPECT_EQ(b.mid(54, 3), QByteArray("\xCC\xBB\xAA"));
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(b.mid(54 + row * stride + 9, 3), QByteArray(3, '\0')) << "padding of row " << row;
}

TEST(BmpPicture, SamePictureGivesSameBytes)
{
    const QImage image = randomPicture(37, 11, 7);
    const QByteArray first = BmpPicture::write24(image);
    EXPECT_EQ(BmpPicture::write24(image), first);

    QImage sameInOtherClothes = image.convertToFormat(QImage::Format_ARGB32);
    sameInOtherClothes.setDotsPerMeterX(5000);
    sameInOtherClothes.setDotsPerMeterY(1234);
    EXPECT_EQ(BmpPicture::write24(sameInOtherClothes), first);

    QImage transparent(2, 2, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    EXPECT_EQ(readOk(BmpPicture::write24(transparent)).pixel(1, 1), qRgb(255, 255, 255));

    EXPECT_TRUE(BmpPicture::write24(QImage()).isEmpty());
}

TEST(BmpPicture, ReadsBitmapsOfOtherWriters)
{
    const Variant variants[] = {
        {"core 24", 12, 24},
        {"core 8", 12, 8},
        {"core 4", 12, 4},
        {"1 bit", 40, 1},
        {"4 bit", 40, 4},
        {"8 bit", 40, 8},
        {"8 bit top-down", 40, 8, BiRgb, true},
        {"16 bit 555", 40, 16},
        {"16 bit 565", 40, 16, BiBitfields, false, {0xF800, 0x07E0, 0x001F}},
        {"24 bit", 40, 24},
        {"24 bit top-down", 40, 24, BiRgb, true},
        {"32 bit", 40, 32},
        {"32 bit top-down", 40, 32, BiRgb, true},
        {"32 bit fields, unusual order", 40, 32, BiBitfields, false, {0x0000FF00, 0x00FF0000, 0xFF000000}},
        {"V4 32 bit fields", 108, 32, BiBitfields, false, {0x00FF0000, 0x0000FF00, 0x000000FF}},
        {"V5 24 bit", 124, 24},
        {"V5 8 bit top-down", 124, 8, BiRgb, true},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        // Seven wide: odd nibbles, part-filled bytes and padding all show up.
        const QImage picture = primaries(7, 5, v.bitCount == 1 ? 2 : 8);
        const QImage read = readOk(handMade(picture, v));
        ASSERT_EQ(read.format(), QImage::Format_RGB32);
        EXPECT_EQ(read, picture);
    }
}

// A 40-byte header, a palette and run-length codes as given.
QByteArray runLengthBmp(int width, int height, int bitCount, const QList<QRgb>& palette, const QByteArray& codes)
{
    const quint32 pixelOffset = 54 + 4 * quint32(palette.size());
    QByteArray b("BM");
    appendU32(b, pixelOffset + quint32(codes.size()));
    appendU32(b, 0);
    appendU32(b, pixelOffset);
    for (quint32 field : {40u, quint32(width), quint32(height)})
        appendU32(b, field);
    appendU16(b, 1);
    appendU16(b, quint32(bitCount));
    const quint32 compression = bitCount == 8 ? 1 : 2;
    for (quint32 field : {compression, quint32(codes.size()), 0u, 0u, quint32(palette.size()), 0u})
        appendU32(b, field);
    for (QRgb colour : palette)
        appendU32(b, colour & 0xFFFFFF);
    return b + codes;
}

TEST(BmpPicture, RunLengthCodesAreReadAndACutFileIsRefusedLikeAPlainOne)
{
    const QRgb k = qRgb(0, 0, 0), r = qRgb(255, 0, 0), g = qRgb(0, 255, 0), b = qRgb(0, 0, 255),
               w = qRgb(255, 255, 255);
    const QList<QRgb> palette{k, r, g, b, w};
    const struct {
        const char* name;
        QByteArray file;
        QList<QList<QRgb>> rows; // top first
    } cases[] = {
        // Bottom up: a run; an odd literal run padded to a word, a run; a jump past two pixels (left
        // as entry 0), a run, the end.
        {"8 bit",
         runLengthBmp(5, 3, 8, palette,
                      QByteArray("\x05\x01\x00\x00"
                                 "\x00\x03\x02\x03\x02\x00\x02\x01\x00\x00"
                                 "\x00\x02\x02\x00\x03\x03\x00\x01",
                                 22)),
         {{k, k, b, b, b}, {g, b, g, r, r}, {r, r, r, r, r}}},
        // Runs alternate their two nibbles; a literal run of three nibbles takes two bytes.
        {"4 bit",
         runLengthBmp(5, 2, 4, palette,
                      QByteArray("\x05\x12\x00\x00"
                                 "\x00\x03\x31\x20\x02\x44\x00\x01",
                                 12)),
         {{b, r, g, w, w}, {r, g, r, g, r}}},
    };
    const QString cutShort = refusal(BmpPicture::write24(randomPicture(5, 4, 3)).chopped(4));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = readOk(c.file);
        ASSERT_EQ(image.size(), QSize(5, int(c.rows.size())));
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(image.pixel(x, y), c.rows[y][x]) << x << "," << y;
        // Cut anywhere in the codes, the file is refused, or whole but for its end code.
        const qsizetype codesStart = c.file.size() - (c.file.size() - 54 - 4 * palette.size());
        for (qsizetype length = codesStart; length < c.file.size(); ++length) {
            QString error;
            const QImage cut = BmpPicture::read(c.file.left(length), &error);
            if (cut.isNull())
                EXPECT_EQ(error, cutShort) << length;
            else
                EXPECT_EQ(cut, image) << length;
        }
    }
}

TEST(BmpPicture, RefusesBrokenAndAbsurdFiles)
{
    const QByteArray good = BmpPicture::write24(randomPicture(5, 4, 3));
    const QByteArray palette8 = handMade(primaries(5, 4), {"8 bit", 40, 8});
    auto patched = [](QByteArray b, int at, quint32 value) {
        putU32(b, at, value);
        return b;
    };
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"empty", QByteArray()},
        {"signature only", QByteArray("BM")},
        {"file header only", good.left(14)},
        {"info header cut", good.left(30)},
        {"no pixels", good.left(54)},
        {"last row missing", good.left(good.size() - 16)},
        {"wrong signature", QByteArray("MB") + good.mid(2)},
        {"zero width", patched(good, 18, 0)},
        {"zero height", patched(good, 22, 0)},
        {"negative width", patched(good, 18, quint32(-5))},
        {"header size 0", patched(good, 14, 0)},
        {"header size huge", patched(good, 14, 0xFFFFFFF0u)},
        {"pixels past the end", patched(good, 10, quint32(good.size() + 10))},
        {"pixels far past the end", patched(good, 10, 0xFFFFFFFFu)},
        {"pixels inside the header", patched(good, 10, 20)},
        {"no room for a palette", patched(palette8, 10, 54)},
        {"7 bits per pixel", [&] {
             QByteArray b = good;
             b[28] = 7;
             return b;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        refusal(c.bytes);
    }
}

// Refused by the size the header declares, with the one message that names it, whatever the rows'
// direction; a long strip other programs read is no such case.
TEST(BmpPicture, RefusesHugeDimensionsBeforeAllocating)
{
    const QByteArray good = BmpPicture::write24(randomPicture(5, 4, 3));
    const struct {
        qint32 width, height;
        const char* shown;
    } cases[] = {{20000, 20000, "20000 x 20000"},
                 {10001, 12000, "10001 x 12000"},
                 {1, -120'000'001, "1 x 120000001"},
                 {0x7FFFFFFF, 0x7FFFFFFF, "2147483647 x 2147483647"},
                 {1, qint32(0x80000000u), "1 x 2147483648"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        QByteArray b = good;
        putU32(b, 18, quint32(c.width));
        putU32(b, 22, quint32(c.height));
        EXPECT_EQ(refusal(b), u"画像が大きすぎます (%1)。"_s.arg(QLatin1StringView(c.shown)));
    }
    for (const QSize strip : {QSize(30001, 1), QSize(1, 65500), QSize(70000, 1)}) {
        const QImage image = BmpPicture::read(BmpPicture::write24(randomPicture(strip.width(), strip.height(), 5)));
        EXPECT_EQ(image.size(), strip);
    }
}

TEST(BmpPicture, SurvivesEveryTruncationAndRandomDamage)
{
    for (const QByteArray& whole : {BmpPicture::write24(randomPicture(9, 5, 1)),
                                    handMade(primaries(9, 5), {"4 bit", 40, 4}),
                                    handMade(primaries(9, 5), {"16 bit", 40, 16, BiBitfields, false,
                                                               {0xF800, 0x07E0, 0x001F}})}) {
        for (qsizetype length = 0; length < whole.size(); ++length) {
            QString error;
            const QImage image = BmpPicture::read(whole.left(length), &error);
            EXPECT_EQ(image.isNull(), !error.isEmpty()) << length;
            if (!image.isNull()) {
                EXPECT_EQ(image.size(), QSize(9, 5)) << length;
            }
        }
        QRandomGenerator random(99);
        for (int round = 0; round < 2000; ++round) {
            QByteArray damaged = whole;
            for (int n = 1 + random.bounded(4); n > 0; --n)
                damaged[random.bounded(70)] = char(random.bounded(256));
            QString error;
            const QImage image = BmpPicture::read(damaged, &error);
            EXPECT_EQ(image.isNull(), !error.isEmpty()) << round;
            if (!image.isNull()) {
                EXPECT_LE(qint64(image.width()) * image.height(), PictureLimit::MaxPixels);
                EXPECT_EQ(image.format(), QImage::Format_RGB32);
            }
        }
    }
}

TEST(BmpPicture, FilesAreReplacedWhole)
{
    TempFolder folder;
    const QString path = folder.file(u"絵.bmp"_s);
    QString error;
    for (const QImage& picture : {randomPicture(6, 6, 1), randomPicture(9, 2, 2)}) {
        ASSERT_TRUE(BmpPicture::writeFile(path, picture, &error)) << error.toStdString();
        EXPECT_EQ(BmpPicture::readFile(path, &error), picture);
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{u"絵.bmp"_s});

    EXPECT_TRUE(BmpPicture::readFile(folder.file(u"none.bmp"_s), &error).isNull());
    EXPECT_TRUE(error.contains(folder.file(u"none.bmp"_s)));
}

TEST(PictureFile, RecognisesNamesByExtensionIgnoringAsciiCase)
{
    const struct {
        const char* name;
        bool supported, jpeg;
    } cases[] = {
        {"a.bmp", true, false},   {"A.BMP", true, false},   {"x.jpg", true, true},        {"x.JPG", true, true},
        {"x.jpeg", false, false}, {"x.JpEg", false, false}, {"dir/x.y.bmp", true, false}, {"x.png", false, false},
        {"x.gif", false, false},  {"x.jpe", false, false},  {"x.bmp.txt", false, false},  {"bmp", false, false},
        {"x.", false, false},     {"", false, false},       {"dir.bmp/x", false, false},  {"dir.jpg\\x", false, false},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromUtf8(c.name);
        EXPECT_EQ(PictureFile::isSupportedName(name), c.supported) << c.name;
        EXPECT_EQ(PictureFile::isJpegName(name), c.jpeg) << c.name;
    }
    // Only ASCII letters fold: a full-width "ＢＭＰ" is not a bitmap name.
    EXPECT_FALSE(PictureFile::isSupportedName(u"x.ＢＭＰ"_s));
}

TEST(PictureFile, SavesAndLoadsByExtension)
{
    TempFolder folder;
    const QImage picture = randomPicture(21, 13, 5);
    const struct {
        const char* name;
        bool jpeg;
    } cases[] = {{"a.bmp", false}, {"b.BMP", false}, {"c.jpg", true}, {"d.JPG", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.file(QString::fromUtf8(c.name));
        QString error;
        ASSERT_TRUE(PictureFile::save(path, picture, 90, &error)) << error.toStdString();
        const QByteArray bytes = folder.read(path);
        EXPECT_TRUE(bytes.startsWith(c.jpeg ? QByteArray("\xFF\xD8\xFF") : QByteArray("BM")));
        const QImage loaded = PictureFile::load(path, &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_EQ(loaded.size(), picture.size());
        EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
        if (!c.jpeg) {
            EXPECT_EQ(loaded, picture);
        }
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), qsizetype(std::size(cases)));
}

TEST(PictureFile, JpegQualityIsHonoured)
{
    TempFolder folder;
    const QImage picture = randomPicture(64, 64, 9);
    ASSERT_TRUE(PictureFile::save(folder.file(u"low.jpg"_s), picture, 10));
    ASSERT_TRUE(PictureFile::save(folder.file(u"high.jpg"_s), picture, 100));
    EXPECT_LT(folder.read(u"low.jpg"_s).size(), folder.read(u"high.jpg"_s).size());
}

TEST(PictureFile, RefusesWhatItCannotHandle)
{
    TempFolder folder;
    const QImage picture = randomPicture(4, 4, 1);
    QString error;

    // A name the map file could not store is refused, ".jpeg" too, with its extension as written,
    // before the file is looked at.
    for (const QString& name : {u"x.png"_s, u"x.JPEG"_s}) {
        EXPECT_FALSE(PictureFile::save(folder.file(name), picture, 75, &error));
        EXPECT_EQ(
            error,
            u"拡張子 \""_s + name.mid(1)
                + u"\" は，保存できない画像形式です。\r\n\r\n拡張子を \".bmp\" または \".jpg\" にして保存して下さい。"_s);
        EXPECT_FALSE(folder.exists(name));
    }
    EXPECT_FALSE(PictureFile::save(folder.file(u"no-extension"_s), picture, 75, &error));
    EXPECT_TRUE(error.startsWith(u"拡張子 \"\" は，保存できない"_s)) << error.toStdString();

    ASSERT_TRUE(PictureFile::save(folder.file(u"y.jpg"_s), picture, 90));
    const QString jpeg = folder.write(u"y.jpeg"_s, folder.read(u"y.jpg"_s));
    EXPECT_TRUE(PictureFile::load(jpeg, &error).isNull());
    EXPECT_EQ(
        error,
        u"拡張子 \".jpeg\" は，開くことができない画像形式です。\r\n\r\n拡張子が \".bmp\" または \".jpg\" の画像を開いて下さい。"_s);
    EXPECT_TRUE(PictureFile::load(folder.file(u"missing.png"_s), &error).isNull());
    EXPECT_TRUE(error.startsWith(u"拡張子 \".png\" は，開くことができない"_s));

    const QString missing = folder.file(u"missing.bmp"_s);
    EXPECT_TRUE(PictureFile::load(missing, &error).isNull());
    EXPECT_EQ(error, u"ファイルが見つかりません。\r\n"_s + missing);

    for (const QString& name : {u"text.bmp"_s, u"text.jpg"_s}) {
        const QString path = folder.write(name, QByteArray("これは画像ではありません\r\n"));
        EXPECT_TRUE(PictureFile::load(path, &error).isNull()) << name.toStdString();
        EXPECT_EQ(error, u"画像ファイルとして読み込めません。"_s);
    }

    QByteArray jpegBytes;
    {
        QBuffer buffer(&jpegBytes);
        buffer.open(QIODevice::WriteOnly);
        JpegPicture(picture).saveToStream(buffer);
    }
    const QString cut = folder.write(u"cut.jpg"_s, jpegBytes.left(jpegBytes.size() / 2));
    EXPECT_TRUE(PictureFile::load(cut, &error).isNull());
    EXPECT_TRUE(error.startsWith(u"JPEG エラー #"_s)) << error.toStdString();

    const QString brokenBmp = folder.write(u"cut.bmp"_s, BmpPicture::write24(picture).left(60));
    EXPECT_TRUE(PictureFile::load(brokenBmp, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

TEST(PictureFile, ContentWinsOverAMisleadingName)
{
    TempFolder folder;
    const QImage picture = randomPicture(5, 3, 4);
    const QString bmpAsJpg = folder.write(u"really-bmp.jpg"_s, BmpPicture::write24(picture));
    QString error;
    EXPECT_EQ(PictureFile::load(bmpAsJpg, &error), picture) << error.toStdString();

    ASSERT_TRUE(PictureFile::save(folder.file(u"real.jpg"_s), picture, 90));
    const QString jpgAsBmp = folder.write(u"really-jpeg.bmp"_s, folder.read(u"real.jpg"_s));
    EXPECT_EQ(PictureFile::load(jpgAsBmp, &error).size(), picture.size()) << error.toStdString();
}

TEST(PictureFile, FailedSaveLeavesTheOldFile)
{
    TempFolder folder;
    const QString path = folder.file(u"keep.jpg"_s);
    ASSERT_TRUE(PictureFile::save(path, randomPicture(8, 8, 1), 75));
    const QByteArray before = folder.read(path);
    QString error;

    EXPECT_FALSE(PictureFile::save(path, QImage(), 75, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(folder.read(path), before);

    // A folder in the way of the name cannot be replaced by a file.
    QDir(folder.path()).mkdir(u"in-the-way.bmp"_s);
    EXPECT_FALSE(PictureFile::save(folder.file(u"in-the-way.bmp"_s), randomPicture(3, 3, 1), 75, &error));
    EXPECT_TRUE(QFileInfo(folder.file(u"in-the-way.bmp"_s)).isDir());

    EXPECT_FALSE(PictureFile::save(folder.file(u"no/such/folder.bmp"_s), randomPicture(3, 3, 1), 75, &error));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{u"keep.jpg"_s});
}
