#include "JpegPicture.h"
#include "BmpPicture.h"
#include "TempFolder.h"

#include <QBuffer>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

using namespace Qt::StringLiterals;

namespace {

QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / std::max(1, width - 1), y * 255 / std::max(1, height - 1),
                                      (x + y) * 255 / std::max(1, width + height - 2)));
    return image;
}

QByteArray encoded(const QImage& image, int quality = 75)
{
    JpegPicture picture(image);
    picture.setQuality(quality);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.saveToStream(buffer);
    return bytes;
}

QImage decoded(const QByteArray& bytes, JpegPicture::PixelFormat format = JpegPicture::PixelFormat::FullColour)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    JpegPicture picture;
    picture.setPixelFormat(format);
    picture.loadFromStream(buffer);
    return picture.image();
}

// Decodes bytes that must be refused and returns the error.
JpegError refusal(const QByteArray& bytes)
{
    try {
        decoded(bytes);
    } catch (const JpegError& e) {
        return e;
    }
    ADD_FAILURE() << "decoded without error";
    return JpegError(-1, {});
}

int largestDifference(const QImage& a, const QImage& b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

qsizetype colourCount(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return qsizetype(colours.size());
}

enum class Coding { Baseline, Progressive, ScanPerComponent, Arithmetic };

// Writes what JpegPicture itself never writes (grey, CMYK, other codings), straight through libjpeg.
QByteArray encodedRaw(int width, int height, J_COLOR_SPACE given, J_COLOR_SPACE stored, int components,
                      const std::vector<JSAMPLE>& samples, Coding coding = Coding::Baseline)
{
    static const jpeg_scan_info oneScanEach[] = {{1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = given;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, stored);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (coding == Coding::Progressive)
        jpeg_simple_progression(&cinfo);
    if (coding == Coding::ScanPerComponent) {
        cinfo.scan_info = oneScanEach;
        cinfo.num_scans = 3;
    }
    cinfo.arith_code = coding == Coding::Arithmetic;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(samples.data()) + cinfo.next_scanline * width * components;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

// The frame header's height and width (baseline, progressive or arithmetic), rewritten.
QByteArray withDimensions(QByteArray bytes, int width, int height)
{
    qsizetype sof = -1;
    for (const char* marker : {"\xFF\xC0", "\xFF\xC2", "\xFF\xC9"})
        if (const qsizetype at = bytes.indexOf(marker); at >= 0 && (sof < 0 || at < sof))
            sof = at;
    if (sof < 0) {
        ADD_FAILURE() << "no frame header";
        return bytes;
    }
    bytes[sof + 5] = char(height >> 8);
    bytes[sof + 6] = char(height & 0xFF);
    bytes[sof + 7] = char(width >> 8);
    bytes[sof + 8] = char(width & 0xFF);
    return bytes;
}

struct Damage {
    const char* name;
    Coding coding;
    // Damage as files meet it, done to a whole file (SOI, then a JFIF segment).
    QByteArray (*damage)(QByteArray);
    int refusedWith; // 0: opens with the undamaged file's pixels
};

QByteArray forgedHuge(QByteArray b)
{
    return withDimensions(b, 768, 27901);
}

QByteArray cutHalfwayThroughTheLastScan(QByteArray b)
{
    return b.left((b.lastIndexOf("\xFF\xDA") + b.size()) / 2);
}

class DamagedJpeg : public ::testing::TestWithParam<Damage> {};

} // namespace

// Every road reads pictures through PictureFile::load, so the damage is met there.
TEST_P(DamagedJpeg, OpensWhenEveryPixelIsInTheFileElseIsRefused)
{
    const Damage& d = GetParam();
    const QImage picture = gradient(61, 45);
    std::vector<JSAMPLE> rgb;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            rgb.insert(rgb.end(), {JSAMPLE(qRed(picture.pixel(x, y))), JSAMPLE(qGreen(picture.pixel(x, y))),
                                   JSAMPLE(qBlue(picture.pixel(x, y)))});
    const QByteArray whole = encodedRaw(61, 45, JCS_RGB, JCS_YCbCr, 3, rgb, d.coding);
    TempFolder folder;
    QString error;
    const QImage loaded = PictureFile::load(folder.write(u"damaged.jpg"_s, d.damage(whole)), &error);
    if (d.refusedWith == 0) {
        EXPECT_EQ(loaded, decoded(whole)) << error.toStdString();
    } else {
        EXPECT_TRUE(loaded.isNull());
        EXPECT_EQ(error, u"JPEG エラー #%1"_s.arg(d.refusedWith));
    }
}

INSTANTIATE_TEST_SUITE_P(
    JpegPicture, DamagedJpeg,
    ::testing::Values(
        Damage{"StrayBytesBeforeTheEnd", Coding::Baseline,
               [](QByteArray b) { return b.insert(b.size() - 2, "\x12\x34"); }, 0},
        Damage{"NoEndMarker", Coding::Baseline, [](QByteArray b) { return b.chopped(2); }, 0},
        Damage{"ProgressiveWithoutEndMarker", Coding::Progressive, [](QByteArray b) { return b.chopped(2); }, 0},
        Damage{"ScanPerComponentWithoutEndMarker", Coding::ScanPerComponent, [](QByteArray b) { return b.chopped(2); },
               0},
        Damage{"JfifRevision201", Coding::Baseline, [](QByteArray b) { return b.replace(11, 2, "\x02\x01"); }, 0},
        // The JFIF segment swapped for an Adobe one with a transform code no one defined.
        Damage{"UnknownAdobeTransform", Coding::Baseline,
               [](QByteArray b) {
                   return b.replace(2, 18,
                                    QByteArray("\xFF\xEE\x00\x0E"
                                               "Adobe\x00\x64\0\0\0\0\x07",
                                               16));
               },
               0},
        // Spectral selection and approximation all zero, as some baseline writers leave them.
        Damage{"ZeroedScanFields", Coding::Baseline,
               [](QByteArray b) { return b.replace(b.indexOf("\xFF\xDA") + 12, 1, "\0", 1); }, 0},
        Damage{"ProgressiveCutHalfwayThroughItsLastScan", Coding::Progressive, cutHalfwayThroughTheLastScan,
               JWRN_HIT_MARKER},
        Damage{"ProgressiveWithoutItsLastScan", Coding::Progressive,
               [](QByteArray b) { return b.left(b.lastIndexOf("\xFF\xDA")); }, JWRN_JPEG_EOF},
        Damage{"WithoutTheLastComponentsScan", Coding::ScanPerComponent,
               [](QByteArray b) { return b.left(b.lastIndexOf("\xFF\xDA")); }, JWRN_JPEG_EOF},
        // Arithmetic data is read on as zeros past its end, cut or not.
        Damage{"ArithmeticWithoutEndMarker", Coding::Arithmetic, [](QByteArray b) { return b.chopped(2); },
               JWRN_JPEG_EOF},
        Damage{"HuffmanDeclaringFarMoreThanItHolds", Coding::Baseline, forgedHuge, JWRN_HIT_MARKER}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST(JpegPicture, RoundTripAtBestQualityStaysClose)
{
    const QImage original = gradient(64, 48);
    const QImage back = decoded(encoded(original, 100));
    ASSERT_EQ(back.size(), original.size());
    EXPECT_EQ(back.format(), QImage::Format_RGB32);
    EXPECT_LE(largestDifference(original, back), 6);
}

TEST(JpegPicture, RoundTripKeepsOddSizes)
{
    for (QSize size : {QSize(1, 1), QSize(7, 3), QSize(17, 33), QSize(100, 1), QSize(1, 100)}) {
        SCOPED_TRACE(size.width() * 1000 + size.height());
        const QImage back = decoded(encoded(gradient(size.width(), size.height()), 90));
        EXPECT_EQ(back.size(), size);
    }
}

TEST(JpegPicture, LowerQualityGivesFewerBytes)
{
    const QImage image = gradient(200, 150);
    const qsizetype low = encoded(image, 10).size(), middle = encoded(image, 50).size(),
                    high = encoded(image, 100).size();
    EXPECT_LT(low, middle);
    EXPECT_LT(middle, high);
}

TEST(JpegPicture, TruncatedFileIsRefusedNotShownHalfGrey)
{
    const QByteArray whole = encoded(gradient(120, 90), 90);
    // Halfway, and just the headers.
    for (qsizetype length : {whole.size() / 2, qsizetype(700)}) {
        SCOPED_TRACE(length);
        const JpegError e = refusal(whole.left(length));
        EXPECT_TRUE(e.message().startsWith(u"JPEG エラー #"_s)) << e.message().toStdString();
        EXPECT_EQ(e.message(), u"JPEG エラー #%1"_s.arg(e.code()));
        EXPECT_GT(e.code(), 0);
        EXPECT_FALSE(e.detail().isEmpty());
    }
}

TEST(JpegPicture, FailedLoadKeepsThePreviousPicture)
{
    const QImage first = gradient(10, 10);
    JpegPicture picture(first);
    QBuffer buffer;
    buffer.setData(encoded(gradient(30, 30)).left(300));
    buffer.open(QIODevice::ReadOnly);
    EXPECT_THROW(picture.loadFromStream(buffer), JpegError);
    EXPECT_EQ(picture.image(), first);
}

TEST(JpegPicture, GarbageIsRefused)
{
    EXPECT_EQ(refusal(QByteArray()).code(), JERR_INPUT_EMPTY);
    EXPECT_EQ(refusal(QByteArray("BM not a jpeg at all")).code(), JERR_NO_SOI);
    QRandomGenerator random(20240601);
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes(64 + random.bounded(4000), '\0');
        for (char& b : bytes)
            b = char(random.bounded(256));
        // Every other round starts like a JPEG, so the parser gets past the first check.
        if (round % 2) {
            bytes[0] = char(0xFF);
            bytes[1] = char(0xD8);
        }
        SCOPED_TRACE(round);
        refusal(bytes);
    }
}

// Refused on the size the header declares, before anything is decoded, with the size limit's one
// message; so is a side beyond libjpeg's own 65500. Long strips other programs read are read.
TEST(JpegPicture, SizeIsLimitedInPixelsOnly)
{
    const QByteArray small = encoded(gradient(16, 16));
    const struct {
        int width, height;
    } forged[] = {{60000, 60000}, {20000, 20000}, {10001, 12000}, {65501, 1}, {1, 65535}};
    for (const auto& f : forged) {
        SCOPED_TRACE(f.width * 100000LL + f.height);
        const JpegError e = refusal(withDimensions(small, f.width, f.height));
        EXPECT_EQ(e.code(), JERR_IMAGE_TOO_BIG);
        EXPECT_EQ(e.message(), u"画像が大きすぎます (%1 x %2)。"_s.arg(f.width).arg(f.height));
    }
    // The same forgery at a modest size gets past the check and fails only for lack of data.
    EXPECT_NE(refusal(withDimensions(small, 40, 40)).code(), JERR_IMAGE_TOO_BIG);
    for (const QSize strip : {QSize(30001, 1), QSize(65500, 1), QSize(1, 65500)})
        EXPECT_EQ(decoded(encoded(gradient(strip.width(), strip.height()), 50)).size(), strip);
}

// Arithmetic coding spends far less than a bit on a block of one colour; such a picture is read as
// other decoders read it. Huffman coding cannot, so there a header declaring more blocks than the
// file has bits is still refused before decoding.
TEST(JpegPicture, FlatArithmeticPicturesDecode)
{
    const int width = 4000, height = 2400;
    std::vector<JSAMPLE> flat(size_t(width) * height * 3);
    for (size_t i = 0; i < flat.size(); i += 3) {
        flat[i] = 40;
        flat[i + 1] = 160;
        flat[i + 2] = 90;
    }
    const QByteArray arithmetic = encodedRaw(width, height, JCS_RGB, JCS_YCbCr, 3, flat, Coding::Arithmetic);
    ASSERT_LT(arithmetic.size() * 8, (width / 8) * (height / 8)) << "not below a bit a block";
    const QImage image = decoded(arithmetic);
    ASSERT_EQ(image.size(), QSize(width, height));
    for (const QPoint at : {QPoint(0, 0), QPoint(width - 1, height - 1), QPoint(width / 2, height / 3)}) {
        const QRgb p = image.pixel(at);
        EXPECT_NEAR(qRed(p), 40, 2);
        EXPECT_NEAR(qGreen(p), 160, 2);
        EXPECT_NEAR(qBlue(p), 90, 2);
    }
}

TEST(JpegPicture, GreyscaleLoadsAsRgb32)
{
    const int width = 40, height = 8;
    std::vector<JSAMPLE> grey(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            grey[y * width + x] = JSAMPLE(x * 6);
    const QImage image = decoded(encodedRaw(width, height, JCS_GRAYSCALE, JCS_GRAYSCALE, 1, grey));
    ASSERT_EQ(image.size(), QSize(width, height));
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    for (int x = 0; x < width; x += 13) {
        const QRgb p = image.pixel(x, 4);
        EXPECT_EQ(qRed(p), qGreen(p));
        EXPECT_EQ(qGreen(p), qBlue(p));
        EXPECT_NEAR(qRed(p), x * 6, 4) << x;
    }
}

TEST(JpegPicture, AdobeCmykAndYcckBecomeRgb)
{
    // Adobe stores ink inverted: 255 means none. These are red, green, blue and a mid grey.
    const struct {
        JSAMPLE c, m, y, k;
        QRgb expected;
    } inks[] = {{255, 0, 0, 255, qRgb(255, 0, 0)},
                {0, 255, 0, 255, qRgb(0, 255, 0)},
                {0, 0, 255, 255, qRgb(0, 0, 255)},
                {255, 255, 255, 128, qRgb(128, 128, 128)}};
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        for (const auto& ink : inks) {
            SCOPED_TRACE(int(stored) * 1000 + int(&ink - inks));
            std::vector<JSAMPLE> samples;
            for (int i = 0; i < 16 * 16; ++i)
                samples.insert(samples.end(), {ink.c, ink.m, ink.y, ink.k});
            const QImage image = decoded(encodedRaw(16, 16, JCS_CMYK, stored, 4, samples));
            ASSERT_EQ(image.format(), QImage::Format_RGB32);
            const QRgb p = image.pixel(8, 8);
            EXPECT_NEAR(qRed(p), qRed(ink.expected), 4);
            EXPECT_NEAR(qGreen(p), qGreen(ink.expected), 4);
            EXPECT_NEAR(qBlue(p), qBlue(ink.expected), 4);
        }
    }
}

TEST(JpegPicture, AssignCompositesTransparencyOverWhite)
{
    const struct {
        QRgb argb;
        QRgb expected;
    } cases[] = {{qRgba(0, 0, 0, 0), qRgb(255, 255, 255)},
                 {qRgba(0, 0, 0, 255), qRgb(0, 0, 0)},
                 {qRgba(0, 0, 0, 128), qRgb(127, 127, 127)},
                 {qRgba(200, 100, 0, 255), qRgb(200, 100, 0)},
                 {qRgba(255, 0, 0, 51), qRgb(255, 204, 204)}};
    for (const auto& c : cases) {
        QImage source(2, 1, QImage::Format_ARGB32);
        source.fill(c.argb);
        JpegPicture picture(source);
        ASSERT_EQ(picture.image().format(), QImage::Format_RGB32);
        const QRgb p = picture.image().pixel(1, 0);
        EXPECT_NEAR(qRed(p), qRed(c.expected), 1) << std::hex << c.argb;
        EXPECT_NEAR(qGreen(p), qGreen(c.expected), 1) << std::hex << c.argb;
        EXPECT_NEAR(qBlue(p), qBlue(c.expected), 1) << std::hex << c.argb;
    }
    QImage indexed(3, 3, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(10, 20, 30)});
    indexed.fill(0);
    JpegPicture picture(indexed);
    EXPECT_EQ(picture.image().format(), QImage::Format_RGB32);
    EXPECT_EQ(picture.image().pixel(2, 2), qRgb(10, 20, 30));
}

TEST(JpegPicture, EmptyPictureOrFailedWriteThrows)
{
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    EXPECT_THROW(JpegPicture().saveToStream(sink), JpegError);
    EXPECT_EQ(sink.size(), 0);

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    try {
        JpegPicture(gradient(8, 8)).saveToStream(readOnly);
        ADD_FAILURE() << "wrote to a read-only device";
    } catch (const JpegError& e) {
        EXPECT_EQ(e.code(), JERR_FILE_WRITE);
    }
}

TEST(JpegPicture, FilesRoundTripAndMissingOnesReportThePath)
{
    TempFolder folder;
    const QString path = folder.file(u"写真.jpg"_s);
    JpegPicture(gradient(33, 21)).saveToFile(path);
    JpegPicture loaded;
    loaded.loadFromFile(path);
    EXPECT_EQ(loaded.image().size(), QSize(33, 21));

    const QString missing = folder.file(u"none.jpg"_s);
    try {
        loaded.loadFromFile(missing);
        ADD_FAILURE() << "loaded a missing file";
    } catch (const JpegError& e) {
        EXPECT_EQ(e.code(), 0);
        EXPECT_TRUE(e.detail().contains(missing));
    }
    EXPECT_EQ(loaded.image().size(), QSize(33, 21));

    EXPECT_THROW(JpegPicture(gradient(4, 4)).saveToFile(folder.file(u"no/such/folder.jpg"_s)), JpegError);
    EXPECT_FALSE(folder.exists(u"no"_s));
}

TEST(JpegPicture, Colours256LoadKeepsTheSizeAndAtMost256Colours)
{
    constexpr auto Reduced = JpegPicture::PixelFormat::Colours256;
    // Colour goes through the palette libjpeg fits to the picture.
    const QByteArray rgb = encoded(gradient(123, 77), 90);
    const QImage full = decoded(rgb);
    const QImage reduced = decoded(rgb, Reduced);
    ASSERT_GT(colourCount(full), 256);
    ASSERT_EQ(reduced.size(), QSize(123, 77));
    EXPECT_EQ(reduced.format(), QImage::Format_RGB32);
    EXPECT_LE(colourCount(reduced), 256);
    EXPECT_LE(largestDifference(full, reduced), 24) << "each pixel takes a palette colour near its own";
}

namespace {

double meanError(const QImage& a, const QImage& b)
{
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return double(sum) / (3.0 * a.width() * a.height());
}

} // namespace

// A CMYK or YCCK picture at 256 colours comes as close to its full-colour decode as the same
// picture stored as RGB does: made RGB first, then fitted like an RGB one.
TEST(JpegPicture, Colours256FitsCmykAsCloselyAsRgb)
{
    constexpr auto Reduced = JpegPicture::PixelFormat::Colours256;
    const int width = 160, height = 120;
    QRandomGenerator random(7);
    std::vector<JSAMPLE> rgb, inks;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Smooth colour with a little noise and a dark corner, as a photograph has.
            const int shade = x < 40 && y < 30 ? 60 : 255;
            const int r = (x * 255 / width) * shade / 255, g = (y * 255 / height) * shade / 255,
                      b = ((x + y) * 255 / (width + height) + int(random.bounded(12))) * shade / 255;
            rgb.insert(rgb.end(), {JSAMPLE(r), JSAMPLE(g), JSAMPLE(b)});
            // Adobe's inverted ink, black taken out of the colour.
            const int k = std::max({r, g, b, 1});
            inks.insert(inks.end(), {JSAMPLE(r * 255 / k), JSAMPLE(g * 255 / k), JSAMPLE(b * 255 / k), JSAMPLE(k)});
        }
    const QByteArray asRgb = encodedRaw(width, height, JCS_RGB, JCS_YCbCr, 3, rgb);
    const double rgbError = meanError(decoded(asRgb), decoded(asRgb, Reduced));
    ASSERT_LT(rgbError, 8.0);
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        SCOPED_TRACE(int(stored));
        const QByteArray bytes = encodedRaw(width, height, JCS_CMYK, stored, 4, inks);
        const QImage full = decoded(bytes), reduced = decoded(bytes, Reduced);
        ASSERT_EQ(reduced.size(), full.size());
        EXPECT_LE(colourCount(reduced), 256);
        EXPECT_GT(colourCount(reduced), 200) << "posterised";
        EXPECT_LE(meanError(full, reduced), rgbError * 1.25 + 0.5);
        EXPECT_LE(largestDifference(full, reduced), 40) << "a pixel far from its own colour";
    }
}

// A dialog's preview decodes a JPEG at the smallest of libjpeg's scales that still fills the box,
// tells the size from the header, and for a picture over the limit gives the limit's message.
TEST(JpegPicture, PreviewDecodesScaledAndTellsTheHeadersSize)
{
    TempFolder folder;
    const QSize box(160, 160);
    const struct {
        QSize size;
        QSize decoded;
    } cases[] = {{{2000, 1000}, {250, 125}},
                 {{1000, 1000}, {250, 250}},
                 {{700, 300}, {175, 75}},
                 {{300, 200}, {300, 200}},
                 {{90, 40}, {90, 40}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size.width());
        const QString path =
            folder.write(u"p%1.jpg"_s.arg(c.size.width()), encoded(gradient(c.size.width(), c.size.height())));
        EXPECT_EQ(JpegPicture::headerSize(folder.read(path)), c.size);
        const PictureFile::Preview preview = PictureFile::preview(path, box);
        EXPECT_EQ(preview.size, c.size);
        EXPECT_EQ(preview.picture.size(), c.decoded);
        EXPECT_TRUE(preview.refusal.isEmpty());
        // The scaled decode shows what the whole one shows.
        const QImage whole =
            decoded(folder.read(path)).scaled(c.decoded, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_LE(meanError(whole, preview.picture), 6.0);
    }
    const QString huge = folder.write(u"huge.jpg"_s, withDimensions(encoded(gradient(16, 16)), 15000, 8001));
    const PictureFile::Preview refused = PictureFile::preview(huge, box);
    EXPECT_EQ(refused.size, QSize(15000, 8001));
    EXPECT_TRUE(refused.picture.isNull());
    EXPECT_EQ(refused.refusal, u"画像が大きすぎます (15000 x 8001)。"_s);
    const QString cut = folder.write(u"cut.jpg"_s, encoded(gradient(300, 200)).left(400));
    EXPECT_TRUE(PictureFile::preview(cut, box).picture.isNull());
    EXPECT_TRUE(PictureFile::preview(cut, box).refusal.isEmpty());
}
