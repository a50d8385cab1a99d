// The map file: a file that reads gives a document whose written form reads back to the same
// document; a refused file says why.
#include "../FuzzCheck.h"
#include "MapFile.h"

namespace {

MapDocument documentOf(const MapFile::Content& c)
{
    MapDocument doc;
    doc.islands = c.islands;
    if (c.colours)
        doc.colours = *c.colours;
    for (int r = 0; r < MapDocument::DestinationCount; ++r)
        for (int i = 0; i < MapDocument::ColumnCount && i < c.rows[r].size(); ++i)
            doc.rows[r][i] = c.rows[r].at(i);
    for (int t = 0; t < MapDocument::TreasureCount && t < c.treasureLines.size(); ++t)
        doc.treasures[t] = c.treasureLines.at(t);
    return doc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString why;
    const auto first = MapFile::parse(fuzzBytes(data, size), &why);
    if (!first) {
        FUZZ_CHECK(!why.isEmpty());
        return 0;
    }
    const MapDocument doc = documentOf(*first);
    const QByteArray written = MapFile::write(doc, first->mapPictureName);
    FUZZ_CHECK(!written.isEmpty()); // what was read as code page 932 can be written as it
    const auto second = MapFile::parse(written, &why);
    FUZZ_CHECK(second.has_value());
    // Items a line holds beyond the columns, and empty rare-treasure lines, are not kept: the
    // second reading is the document, exactly.
    FUZZ_CHECK(MapFile::write(documentOf(*second), second->mapPictureName) == written);
    FUZZ_CHECK(second->islands == doc.islands);
    return 0;
}
