// BMP: a picture that reads is written and read back with the same pixels; anything else is
// refused with a message.
#include "../FuzzCheck.h"
#include "BmpPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString why;
    const QImage image = BmpPicture::read(fuzzBytes(data, size), &why);
    if (image.isNull()) {
        FUZZ_CHECK(!why.isEmpty());
        return 0;
    }
    const QImage again = BmpPicture::read(BmpPicture::write24(image));
    FUZZ_CHECK(again.size() == image.size());
    FUZZ_CHECK(again.convertToFormat(QImage::Format_RGB32) == image.convertToFormat(QImage::Format_RGB32));
    return 0;
}
