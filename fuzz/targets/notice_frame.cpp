// The picture notice's frames: a frame is taken whole, refused, or waited for; a name handed on is
// what the frame's bytes up to their zero decode to.
#include "../FuzzCheck.h"
#include "Cp932.h"
#include "SavedPictureNotice.h"

#include <QtEndian>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const SavedPictureNotice::Frame frame = SavedPictureNotice::parseFrame(bytes);
    switch (frame.state) {
    case SavedPictureNotice::Frame::Incomplete:
        FUZZ_CHECK(frame.name.isEmpty());
        // More bytes can only finish it.
        FUZZ_CHECK(bytes.size() < 8 || bytes.size() < 8 + qint64(qFromLittleEndian<quint32>(bytes.constData() + 4)));
        break;
    case SavedPictureNotice::Frame::Refused:
        FUZZ_CHECK(frame.name.isEmpty());
        break;
    case SavedPictureNotice::Frame::Taken:
        FUZZ_CHECK(frame.size >= 8 && frame.size <= bytes.size());
        FUZZ_CHECK(!frame.name.contains(QChar(0)));
        if (!frame.name.isEmpty())
            FUZZ_CHECK(Cp932::encode(frame.name).size() <= frame.size - 8);
        // The same frame with bytes after it reads the same.
        FUZZ_CHECK(SavedPictureNotice::parseFrame(bytes + "tail").name == frame.name);
        break;
    }
    return 0;
}
