// The file history: the list read, written and read again is the same list.
#include "../FuzzCheck.h"
#include "FileHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FileHistory history;
    history.loadBytes(fuzzBytes(data, size));
    FileHistory again;
    again.loadBytes(history.toBytes());
    FUZZ_CHECK(again.entries() == history.entries());
    FUZZ_CHECK(again.toBytes() == history.toBytes());
    return 0;
}
