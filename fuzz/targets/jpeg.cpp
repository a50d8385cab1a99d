// JPEG: every library error becomes a JpegError; a picture that reads encodes and reads again at
// the same size.
#include "../FuzzCheck.h"
#include "JpegPicture.h"
#include "PictureLimit.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A few bytes of arithmetic-coded data may declare a picture of the full limit, whose decoding
    // and encoding would take each run seconds; the limit's rule is the same at any size.
    const PictureLimit::ScopedTestLimit limit(4'000'000);
    QByteArray bytes = fuzzBytes(data, size);
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    JpegPicture picture;
    try {
        picture.loadFromStream(in);
    } catch (const JpegError&) {
        return 0;
    }
    const QImage image = picture.image();
    FUZZ_CHECK(!image.isNull());
    QByteArray encoded;
    QBuffer out(&encoded);
    out.open(QIODevice::WriteOnly);
    picture.saveToStream(out);
    out.close();
    QBuffer back(&encoded);
    back.open(QIODevice::ReadOnly);
    JpegPicture again;
    again.loadFromStream(back);
    FUZZ_CHECK(again.image().size() == image.size());
    return 0;
}
