#include "JpegPicture.h"

#include "FileOps.h"
#include "PictureLimit.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

using namespace Qt::StringLiterals;

namespace {

// libjpeg reports errors through error_exit and must not return to it, so it jumps back to the
// function that called the library. Those functions hold nothing with a destructor.
struct ErrorTrap {
    jpeg_error_mgr manager; // first, so cinfo->err converts back to the trap
    std::jmp_buf jump;
    // The data ended without an end marker; whether anything before it was lost is judged at the end.
    bool endMissing = false;
};

[[noreturn]] void leaveOnError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1);
}

// Warnings after which every pixel still comes from the file's own data, as other decoders show it.
bool keepsEveryPixel(int code)
{
    switch (code) {
    case JWRN_ADOBE_XFORM:     // an unknown colour transform is taken as YCbCr
    case JWRN_EXTRANEOUS_DATA: // stray bytes before a marker are skipped
    case JWRN_JFIF_MAJOR:      // a later JFIF revision reads the same
    case JWRN_NOT_SEQUENTIAL:  // progression fields a sequential scan has no use for
        return true;
    default:
        return false;
    }
}

// Level -1 is a warning. The others tell of data libjpeg fills in with zeros, and a picture that
// silently comes back half grey is worse than one refused, so they end decoding.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    if (cinfo->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<ErrorTrap*>(cinfo->err)->endMissing = true;
    else if (!keepsEveryPixel(cinfo->err->msg_code))
        leaveOnError(cinfo);
}

void stayQuiet(j_common_ptr) {}

jpeg_error_mgr* installTrap(ErrorTrap* trap)
{
    jpeg_std_error(&trap->manager);
    trap->manager.error_exit = leaveOnError;
    trap->manager.emit_message = onMessage;
    trap->manager.output_message = stayQuiet;
    return &trap->manager;
}

struct Failure {
    int code = 0;
    char text[JMSG_LENGTH_MAX] = {};
    // The size of a picture refused as too large, for the size limit's message.
    qint64 width = 0, height = 0;
};

void recordFailure(j_common_ptr cinfo, Failure* failure)
{
    failure->code = cinfo->err->msg_code;
    cinfo->err->format_message(cinfo, failure->text);
}

JpegError errorOf(const Failure& failure)
{
    const QString detail = QString::fromLocal8Bit(failure.text);
    if (failure.code == JERR_IMAGE_TOO_BIG && failure.width > 0 && failure.height > 0)
        return JpegError(failure.code, detail, PictureLimit::tooLargeMessage(failure.width, failure.height));
    return JpegError(failure.code, detail);
}

struct DecodeJob {
    const unsigned char* data = nullptr;
    unsigned long size = 0;
    // Called once the dimensions are known and accepted; returns the first row of a Format_RGB32
    // buffer, or null when it cannot be had.
    uchar* (*allocate)(void* context, int width, int height, qsizetype* stride) = nullptr;
    void* context = nullptr;
    bool colours256 = false;
    int scaleDenominator = 1;
    Failure failure;
};

void storeRow(const JSAMPLE* in, QRgb* out, JDIMENSION width, int components, bool invertedCmyk)
{
    switch (components) {
    case 1:
        for (JDIMENSION x = 0; x < width; ++x)
            out[x] = qRgb(in[x], in[x], in[x]);
        break;
    case 3:
        for (JDIMENSION x = 0; x < width; ++x, in += 3)
            out[x] = qRgb(in[0], in[1], in[2]);
        break;
    default:
        // Adobe writes CMYK inverted (0 = full ink), which makes the product directly the colour.
        for (JDIMENSION x = 0; x < width; ++x, in += 4) {
            int c = in[0], m = in[1], y = in[2], k = in[3];
            if (!invertedCmyk) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            out[x] = qRgb((c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
        }
        break;
    }
}

// libjpeg's two-pass quantiser, without dithering, for what libjpeg cannot fit itself (CMYK, made
// RGB first), so that such a picture comes out as closely as an RGB one: a histogram of 5, 6 and 5
// bits of red, green and blue; boxes of it split at the midpoint of their longest side (sides
// weighted 2:3:1), the most populous box while fewer than half the colours are made, then the
// largest; each box's colour the mean of its pixels; each pixel the colour nearest its cell's centre.
void fitTo256Colours(uchar* bits, qsizetype stride, int width, int height)
{
    constexpr int Cells[3] = {32, 64, 32};
    constexpr int Shift[3] = {3, 2, 3};
    constexpr int Scale[3] = {2, 3, 1};
    auto cellOf = [](const int c[3]) { return (c[0] * 64 + c[1]) * 32 + c[2]; };
    auto rowOf = [&](int y) { return reinterpret_cast<QRgb*>(bits + stride * qsizetype(y)); };
    auto cellOfPixel = [](QRgb p) { return ((qRed(p) >> 3) * 64 + (qGreen(p) >> 2)) * 32 + (qBlue(p) >> 3); };

    std::vector<quint32> histogram(size_t(32 * 64 * 32), 0);
    for (int y = 0; y < height; ++y) {
        const QRgb* row = rowOf(y);
        for (int x = 0; x < width; ++x)
            ++histogram[size_t(cellOfPixel(row[x]))];
    }

    struct Box {
        int lo[3], hi[3];
        qint64 volume = 0, colours = 0;
    };
    // Shrinks a box to the cells in it that hold pixels.
    auto tighten = [&](Box& box) {
        int lo[3] = {box.hi[0], box.hi[1], box.hi[2]}, hi[3] = {box.lo[0], box.lo[1], box.lo[2]};
        qint64 colours = 0;
        int c[3];
        for (c[0] = box.lo[0]; c[0] <= box.hi[0]; ++c[0])
            for (c[1] = box.lo[1]; c[1] <= box.hi[1]; ++c[1])
                for (c[2] = box.lo[2]; c[2] <= box.hi[2]; ++c[2])
                    if (histogram[size_t(cellOf(c))]) {
                        ++colours;
                        for (int i = 0; i < 3; ++i) {
                            lo[i] = std::min(lo[i], c[i]);
                            hi[i] = std::max(hi[i], c[i]);
                        }
                    }
        box.colours = colours;
        if (!colours)
            return;
        box.volume = 0;
        for (int i = 0; i < 3; ++i) {
            box.lo[i] = lo[i];
            box.hi[i] = hi[i];
            const qint64 side = qint64((hi[i] - lo[i]) << Shift[i]) * Scale[i];
            box.volume += side * side;
        }
    };

    constexpr size_t Wanted = 256;
    std::vector<Box> boxes{Box{{0, 0, 0}, {Cells[0] - 1, Cells[1] - 1, Cells[2] - 1}}};
    tighten(boxes[0]);
    if (!boxes[0].colours)
        return;
    while (boxes.size() < Wanted) {
        const bool byPopulation = boxes.size() * 2 <= Wanted;
        qsizetype pick = -1;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].volume <= 0)
                continue;
            if (pick < 0
                || (byPopulation ? boxes[i].colours > boxes[size_t(pick)].colours
                                 : boxes[i].volume > boxes[size_t(pick)].volume))
                pick = qsizetype(i);
        }
        if (pick < 0)
            break;
        Box first = boxes[size_t(pick)];
        qint64 side[3];
        for (int i = 0; i < 3; ++i)
            side[i] = qint64((first.hi[i] - first.lo[i]) << Shift[i]) * Scale[i];
        // Green wins a tie, then red, as in libjpeg.
        int axis = 1;
        qint64 longest = side[1];
        if (side[0] > longest) {
            longest = side[0];
            axis = 0;
        }
        if (side[2] > longest)
            axis = 2;
        Box second = first;
        const int middle = (first.hi[axis] + first.lo[axis]) / 2;
        first.hi[axis] = middle;
        second.lo[axis] = middle + 1;
        tighten(first);
        tighten(second);
        boxes[size_t(pick)] = first;
        boxes.push_back(second);
    }

    std::vector<int> palette[3];
    for (const Box& box : boxes) {
        qint64 total = 0, sum[3] = {0, 0, 0};
        int c[3];
        for (c[0] = box.lo[0]; c[0] <= box.hi[0]; ++c[0])
            for (c[1] = box.lo[1]; c[1] <= box.hi[1]; ++c[1])
                for (c[2] = box.lo[2]; c[2] <= box.hi[2]; ++c[2])
                    if (const quint32 count = histogram[size_t(cellOf(c))]) {
                        total += count;
                        for (int i = 0; i < 3; ++i)
                            sum[i] += qint64((c[i] << Shift[i]) + ((1 << Shift[i]) >> 1)) * count;
                    }
        for (int i = 0; i < 3; ++i)
            palette[i].push_back(int((sum[i] + total / 2) / total));
    }

    // The histogram becomes the map from cell to palette entry, filled as cells are met.
    std::fill(histogram.begin(), histogram.end(), quint32(0));
    auto entryOf = [&](QRgb p) {
        quint32& entry = histogram[size_t(cellOfPixel(p))];
        if (!entry) {
            const int centre[3] = {((qRed(p) >> 3) << 3) + 4, ((qGreen(p) >> 2) << 2) + 2, ((qBlue(p) >> 3) << 3) + 4};
            qint64 best = -1;
            for (size_t k = 0; k < boxes.size(); ++k) {
                qint64 distance = 0;
                for (int i = 0; i < 3; ++i) {
                    const qint64 d = qint64(centre[i] - palette[i][k]) * Scale[i];
                    distance += d * d;
                }
                if (best < 0 || distance < best) {
                    best = distance;
                    entry = quint32(k + 1);
                }
            }
        }
        const size_t k = entry - 1;
        return qRgb(palette[0][k], palette[1][k], palette[2][k]);
    };
    for (int y = 0; y < height; ++y) {
        QRgb* row = rowOf(y);
        for (int x = 0; x < width; ++x)
            row[x] = entryOf(row[x]);
    }
}

// Data that ends without its end marker is whole when every component had its scan and, in a
// progressive file, every coefficient its last bit. Arithmetic-coded data is read on as zeros past
// its end by design, so there a cut cannot be told from a whole file.
bool wholeWithoutEnd(const jpeg_decompress_struct& cinfo)
{
    if (cinfo.arith_code)
        return false;
    for (int c = 0; c < cinfo.num_components; ++c) {
        if (!cinfo.comp_info[c].quant_table)
            return false;
        if (cinfo.progressive_mode)
            for (int k = 0; k < DCTSIZE2; ++k)
                if (cinfo.coef_bits[c][k] != 0)
                    return false;
    }
    return true;
}

bool decode(DecodeJob* job)
{
    jpeg_decompress_struct cinfo;
    ErrorTrap trap;
    cinfo.err = installTrap(&trap);
    if (setjmp(trap.jump)) {
        recordFailure(reinterpret_cast<j_common_ptr>(&cinfo), &job->failure);
        // libjpeg's own limit of 65500 a side, met in the header, is the size limit's refusal too.
        job->failure.width = cinfo.image_width;
        job->failure.height = cinfo.image_height;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, job->data, job->size);
    jpeg_read_header(&cinfo, TRUE);

    // Checked before jpeg_start_decompress: a progressive file has it allocate the whole coefficient
    // image, so a forged header alone could reserve gigabytes.
    if (!PictureLimit::admits(cinfo.image_width, cinfo.image_height)) {
        job->failure.code = JERR_IMAGE_TOO_BIG;
        job->failure.width = cinfo.image_width;
        job->failure.height = cinfo.image_height;
        std::snprintf(job->failure.text, sizeof job->failure.text, "Image is %u x %u pixels, more than %lld in all",
                      cinfo.image_width, cinfo.image_height, static_cast<long long>(PictureLimit::maxPixels()));
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    // Huffman coding spends at least one bit on each 8 x 8 block of a component in every scan that
    // holds its DC (a code is never shorter), and every block of the component with the most
    // blocks has one, so a file with fewer bits than that would come back made up of libjpeg's
    // zeros. Arithmetic coding spends far less than a bit on a block of a flat picture, and its
    // data may legally end early, the rest being zeros; there only the size limit holds.
    qint64 blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c)
        blocks =
            std::max(blocks, qint64(cinfo.comp_info[c].width_in_blocks) * qint64(cinfo.comp_info[c].height_in_blocks));
    if (!cinfo.arith_code && blocks > qint64(job->size) * 8) {
        job->failure.code = JWRN_HIT_MARKER;
        std::snprintf(job->failure.text, sizeof job->failure.text,
                      "Image is %u x %u pixels, more than %lu bytes of data can hold", cinfo.image_width,
                      cinfo.image_height, job->size);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    switch (cinfo.jpeg_color_space) {
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo.out_color_space = JCS_CMYK;
        break;
    case JCS_GRAYSCALE:
        cinfo.out_color_space = JCS_GRAYSCALE;
        break;
    default:
        cinfo.out_color_space = JCS_RGB;
        break;
    }
    // libjpeg's two-pass quantiser takes only RGB: CMYK is decoded whole, made RGB, then fitted.
    const bool fitAfterwards = job->colours256 && cinfo.out_color_space == JCS_CMYK;
    if (job->colours256 && !fitAfterwards) {
        // Two passes fit the palette to the picture. Without dithering the noise around a flat
        // colour falls into that colour's entry; dithering would scatter it over its neighbours.
        // Grey takes libjpeg's one-pass palette, which holds every grey.
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 256;
        cinfo.two_pass_quantize = TRUE;
        cinfo.dither_mode = JDITHER_NONE;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = JDIMENSION(job->scaleDenominator);
    jpeg_start_decompress(&cinfo);

    QRgb palette[256];
    if (cinfo.quantize_colors) {
        for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
            JSAMPLE entry[4] = {};
            for (int c = 0; c < cinfo.out_color_components; ++c)
                entry[c] = cinfo.colormap[c][i];
            storeRow(entry, &palette[i], 1, cinfo.out_color_components, cinfo.saw_Adobe_marker);
        }
    }

    qsizetype stride = 0;
    uchar* bits = job->allocate(job->context, int(cinfo.output_width), int(cinfo.output_height), &stride);
    if (!bits)
        ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 0);
    JSAMPARRAY row = cinfo.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                             cinfo.output_width * cinfo.output_components, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        QRgb* out = reinterpret_cast<QRgb*>(bits + stride * qsizetype(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, row, 1);
        if (cinfo.quantize_colors) {
            for (JDIMENSION x = 0; x < cinfo.output_width; ++x)
                out[x] = palette[row[0][x]];
        } else {
            storeRow(row[0], out, cinfo.output_width, cinfo.output_components, cinfo.saw_Adobe_marker);
        }
    }
    // Read up to the end marker while the scan records are still there (finishing frees them).
    while (!jpeg_input_complete(&cinfo))
        if (jpeg_consume_input(&cinfo) == JPEG_SUSPENDED)
            break;
    if (trap.endMissing && !wholeWithoutEnd(cinfo))
        ERREXIT(&cinfo, JWRN_JPEG_EOF);
    jpeg_finish_decompress(&cinfo);
    const int width = int(cinfo.output_width), height = int(cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    if (fitAfterwards)
        fitTo256Colours(bits, stride, width, height);
    return true;
}

uchar* allocateImage(void* context, int width, int height, qsizetype* stride)
{
    try {
        QImage& image = *static_cast<QImage*>(context);
        image = QImage(width, height, QImage::Format_RGB32);
        if (image.isNull())
            return nullptr;
        *stride = image.bytesPerLine();
        return image.bits();
    } catch (...) {
        return nullptr;
    }
}

// Compressed bytes collect in a malloc'd buffer owned by the job rather than through jpeg_mem_dest,
// whose buffer cannot be freed safely after an error part way through.
struct EncodeJob {
    jpeg_destination_mgr destination; // first, so cinfo->dest converts back to the job
    const uchar* bits = nullptr;
    qsizetype stride = 0;
    int width = 0;
    int height = 0;
    int quality = 75;
    unsigned char* buffer = nullptr;
    size_t capacity = 0;
    size_t used = 0;
    Failure failure;
};

constexpr size_t FirstBufferSize = 64 * 1024;

void startBuffer(j_compress_ptr cinfo)
{
    auto* job = reinterpret_cast<EncodeJob*>(cinfo->dest);
    job->buffer = static_cast<unsigned char*>(std::malloc(FirstBufferSize));
    if (!job->buffer)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    job->capacity = FirstBufferSize;
    job->destination.next_output_byte = job->buffer;
    job->destination.free_in_buffer = job->capacity;
}

boolean growBuffer(j_compress_ptr cinfo)
{
    auto* job = reinterpret_cast<EncodeJob*>(cinfo->dest);
    size_t grown = job->capacity * 2;
    auto* bigger = static_cast<unsigned char*>(std::realloc(job->buffer, grown));
    if (!bigger)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 2);
    job->buffer = bigger;
    // Called only when the buffer is full, whatever free_in_buffer says.
    job->destination.next_output_byte = bigger + job->capacity;
    job->destination.free_in_buffer = grown - job->capacity;
    job->capacity = grown;
    return TRUE;
}

void finishBuffer(j_compress_ptr cinfo)
{
    auto* job = reinterpret_cast<EncodeJob*>(cinfo->dest);
    job->used = job->capacity - job->destination.free_in_buffer;
}

bool encode(EncodeJob* job)
{
    jpeg_compress_struct cinfo;
    ErrorTrap trap;
    cinfo.err = installTrap(&trap);
    if (setjmp(trap.jump)) {
        recordFailure(reinterpret_cast<j_common_ptr>(&cinfo), &job->failure);
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    job->destination.init_destination = startBuffer;
    job->destination.empty_output_buffer = growBuffer;
    job->destination.term_destination = finishBuffer;
    cinfo.dest = &job->destination;

    cinfo.image_width = JDIMENSION(job->width);
    cinfo.image_height = JDIMENSION(job->height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, job->quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    JSAMPARRAY row = cinfo.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                             cinfo.image_width * 3, 1);
    while (cinfo.next_scanline < cinfo.image_height) {
        const QRgb* in = reinterpret_cast<const QRgb*>(job->bits + job->stride * qsizetype(cinfo.next_scanline));
        JSAMPLE* out = row[0];
        for (int x = 0; x < job->width; ++x, out += 3) {
            out[0] = JSAMPLE(qRed(in[x]));
            out[1] = JSAMPLE(qGreen(in[x]));
            out[2] = JSAMPLE(qBlue(in[x]));
        }
        jpeg_write_scanlines(&cinfo, row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

QByteArray encodeImage(const QImage& image, int quality)
{
    EncodeJob job;
    job.bits = image.constBits();
    job.stride = image.bytesPerLine();
    job.width = image.width();
    job.height = image.height();
    job.quality = quality;
    bool ok = encode(&job);
    QByteArray bytes;
    if (ok)
        bytes = QByteArray(reinterpret_cast<const char*>(job.buffer), qsizetype(job.used));
    std::free(job.buffer);
    if (!ok)
        throw errorOf(job.failure);
    return bytes;
}

} // namespace

JpegError::JpegError(int code, const QString& detail, const QString& message)
    : std::runtime_error(u"JPEG エラー #%1: %2"_s.arg(code).arg(detail).toStdString())
    , m_code(code)
    , m_detail(detail)
    , m_message(message)
{
}

QString JpegError::message() const
{
    return m_message.isEmpty() ? u"JPEG エラー #%1"_s.arg(m_code) : m_message;
}

void JpegPicture::loadFromStream(QIODevice& device)
{
    const QByteArray bytes = device.readAll();
    QImage image;
    DecodeJob job;
    job.data = reinterpret_cast<const unsigned char*>(bytes.constData());
    job.size = static_cast<unsigned long>(bytes.size());
    job.allocate = allocateImage;
    job.context = &image;
    job.colours256 = m_pixelFormat == PixelFormat::Colours256;
    job.scaleDenominator = m_scaleDenominator;
    if (!decode(&job))
        throw errorOf(job.failure);
    m_image = image;
}

void JpegPicture::setScaleDenominator(int denominator)
{
    m_scaleDenominator = denominator >= 8 ? 8 : denominator >= 4 ? 4 : denominator >= 2 ? 2 : 1;
}

QSize JpegPicture::headerSize(const QByteArray& bytes)
{
    jpeg_decompress_struct cinfo;
    ErrorTrap trap;
    cinfo.err = installTrap(&trap);
    // Nothing but the header is read; a fault in it tells no size, except libjpeg's own limit of
    // 65500 a side, met after the size was read.
    if (setjmp(trap.jump)) {
        const QSize size = cinfo.err->msg_code == JERR_IMAGE_TOO_BIG
                               ? QSize(int(cinfo.image_width), int(cinfo.image_height))
                               : QSize();
        jpeg_destroy_decompress(&cinfo);
        return size;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    const QSize size(int(cinfo.image_width), int(cinfo.image_height));
    jpeg_destroy_decompress(&cinfo);
    return size;
}

void JpegPicture::saveToStream(QIODevice& device) const
{
    const QByteArray bytes = encodeImage(m_image, m_quality);
    if (device.write(bytes) != bytes.size())
        throw JpegError(JERR_FILE_WRITE, u"Could not write %1 bytes: %2"_s.arg(bytes.size()).arg(device.errorString()));
}

void JpegPicture::loadFromFile(const QString& path)
{
    QByteArray bytes;
    QString why;
    if (!FileOps::readFile(path, FileOps::ReadLimit::Picture, bytes, &why))
        throw JpegError(0, why);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    loadFromStream(buffer);
}

void JpegPicture::saveToFile(const QString& path) const
{
    // Encoded before the file is touched, so an encoding error leaves nothing behind.
    const QByteArray bytes = encodeImage(m_image, m_quality);
    QString why;
    if (!FileOps::writeFileAtomic(path, bytes, &why))
        throw JpegError(JERR_FILE_WRITE, why);
}

void JpegPicture::setQuality(int quality)
{
    m_quality = qBound(1, quality, 100);
}

void JpegPicture::assign(const QImage& image)
{
    m_image = opaqueRgb32(image);
}

QImage JpegPicture::opaqueRgb32(const QImage& image)
{
    if (image.isNull())
        return {};
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    // Premultiplied colour plus (1 - alpha) of white is the composite, exactly and without a painter.
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage result(source.size(), QImage::Format_RGB32);
    if (result.isNull())
        return {};
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const int clear = 255 - qAlpha(in[x]);
            out[x] = qRgb(qRed(in[x]) + clear, qGreen(in[x]) + clear, qBlue(in[x]) + clear);
        }
    }
    return result;
}
