#pragma once

#include <QImage>
#include <QString>
#include <stdexcept>

class QIODevice;

// A library error: the library's message number, shown as "JPEG エラー #%d". A picture over the
// size limit is JERR_IMAGE_TOO_BIG and shown with the size limit's own message instead.
class JpegError : public std::runtime_error {
public:
    JpegError(int code, const QString& detail, const QString& message = {});
    int code() const { return m_code; }
    // "JPEG エラー #<code>", or the message given
    QString message() const;
    QString detail() const { return m_detail; }

private:
    int m_code;
    QString m_detail;
    QString m_message;
};

// A JPEG picture through libjpeg, loaded from and saved to a stream.
class JpegPicture {
public:
    // The quality a picture is saved at unless a caller chooses another (as the toolkit's class).
    static constexpr int DefaultQuality = 90;

    JpegPicture() = default;
    explicit JpegPicture(const QImage& image) { assign(image); }

    // Throws JpegError on any library error, and on a warning that libjpeg made up data the file
    // lacks (truncated or corrupt data; a header declaring more 8 x 8 blocks than the file has bits
    // is JWRN_HIT_MARKER before decoding); a warning that leaves every pixel read from the file
    // (stray bytes, an unknown JFIF revision or Adobe transform, no end marker after the last scan)
    // is no error. A picture over PictureLimit (checked on the header, before anything is allocated)
    // or over libjpeg's own 65500 a side is JERR_IMAGE_TOO_BIG with PictureLimit's message; a device
    // that takes fewer bytes than written is JERR_FILE_WRITE.
    void loadFromStream(QIODevice& device);
    void saveToStream(QIODevice& device) const;
    // A file that cannot be opened (or, when saving, renamed into place) is JpegError code 0 with the
    // path in detail(). Saving goes through a temporary file, so a failure leaves the old file alone.
    void loadFromFile(const QString& path);
    void saveToFile(const QString& path) const;

    int quality() const { return m_quality; }
    void setQuality(int quality);

    // What a load makes of the colours: all of them, or at most 256 fitted to the picture's own
    // colours (libjpeg's two-pass quantiser; CMYK is made RGB first and fitted the same way). The
    // picture stays 32-bit RGB either way.
    enum class PixelFormat { FullColour, Colours256 };
    PixelFormat pixelFormat() const { return m_pixelFormat; }
    void setPixelFormat(PixelFormat format) { m_pixelFormat = format; }

    // A load decodes at 1/1, 1/2, 1/4 or 1/8 of the picture's size (libjpeg's own scaling, far
    // quicker than decoding it whole), for a preview.
    int scaleDenominator() const { return m_scaleDenominator; }
    void setScaleDenominator(int denominator);
    // The size the header declares, read without decoding; invalid when the bytes hold no header.
    static QSize headerSize(const QByteArray& bytes);

    // The picture as 32-bit RGB.
    const QImage& image() const { return m_image; }
    void assign(const QImage& image);
    // Any picture as Format_RGB32, transparency composited over white; null stays null.
    static QImage opaqueRgb32(const QImage& image);
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }

private:
    QImage m_image;
    int m_quality = DefaultQuality;
    PixelFormat m_pixelFormat = PixelFormat::FullColour;
    int m_scaleDenominator = 1;
};
