// Comma text: any list of items written reads back as exactly that list; any line read, written
// and read again gives the same items.
#include "../FuzzCheck.h"
#include "CommaText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(fuzzBytes(data, size));
    const QStringList read = CommaText::read(text);
    FUZZ_CHECK(CommaText::read(CommaText::write(read)) == read);

    // The input as items, split at line feeds (a list of one empty item is never written).
    const QStringList items = text.split(u'\n');
    if (!(items.size() == 1 && items.first().isEmpty()))
        FUZZ_CHECK(CommaText::read(CommaText::write(items)) == items);
    return 0;
}
