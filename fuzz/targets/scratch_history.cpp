// The scratch-page history: at most twelve entries, none blank, none naming a file twice; the
// entries written back as the program writes them read back as the same list.
#include "../FuzzCheck.h"
#include "Cp932.h"
#include "ScratchHistory.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList entries = ReadScratchHistory(fuzzBytes(data, size));
    FUZZ_CHECK(entries.size() <= ScratchHistoryEntries);
    QSet<QString> files;
    for (const QString& e : entries) {
        FUZZ_CHECK(!e.trimmed().isEmpty());
        files.insert(absoluteStoredPath(e));
    }
    FUZZ_CHECK(files.size() == entries.size());
    FUZZ_CHECK(ReadScratchHistory(Cp932::encode(entries.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")))
               == entries);
    return 0;
}
