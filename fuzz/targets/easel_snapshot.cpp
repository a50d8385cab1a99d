// The picture editor's undo snapshots: a snapshot that reads gives a shape list whose written form
// reads back and writes again byte for byte; one that does not read leaves nothing half built.
#include "../FuzzCheck.h"
#include "PictureDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QSize canvas;
    ShapeRecordList list;
    if (!ReadSnapshot(fuzzBytes(data, size), nullptr, canvas, list))
        return 0;
    PictureDocument doc;
    doc.ShapeList.swap(list);
    const QByteArray once = doc.WriteShapeList();
    QSize again;
    ShapeRecordList back;
    FUZZ_CHECK(ReadSnapshot(once, nullptr, again, back));
    doc.ShapeList.swap(back);
    FUZZ_CHECK(doc.WriteShapeList() == once);
    return 0;
}
