// Width conversion: any text converts without harm; protected characters are never converted away;
// text code page 932 holds stays so; a stored cell changed through its text gains no raw line break.
#include "../FuzzCheck.h"
#include "Cp932.h"
#include "HenkanJ.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const QString text = Cp932::decode(fuzzBytes(data + 2, size - 2));
    const int direction = data[0] & 1 ? HenkanJ::ToFullWidth : HenkanJ::ToHalfWidth;
    const quint8 flags = quint8(data[1] | HenkanJ::ConvertNoChange);
    const QString protectedChars = HenkanJ::DefaultNoChangeChars();
    const QString out = HenkanJ::ConvertText(text, direction, flags, protectedChars);
    FUZZ_CHECK(Cp932::canEncode(out));
    // A protected character is never converted away (others may become one).
    for (const QChar c : protectedChars)
        FUZZ_CHECK(out.count(c) >= text.count(c));
    const QString cell = HenkanJ::ChangeStoredText(text, [&](const QString& t) {
        return HenkanJ::ConvertText(t, direction, flags, protectedChars);
    });
    FUZZ_CHECK(!cell.contains(QChar(u'\r')) || text.contains(QChar(u'\r')));
    return 0;
}
