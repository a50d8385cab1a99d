// The mark-up scanners: any text, however deep its brackets, is scanned without harm, and every
// span lies inside the scanned range, start before end.
#include "../FuzzCheck.h"
#include "MarkupColour.h"

namespace {

void checkSpans(const TDataList& spans, int start, int end)
{
    FUZZ_CHECK(spans.Count() % 2 == 0);
    for (int i = 0; i + 1 < spans.Count(); i += 2)
        FUZZ_CHECK(start <= spans.Get(i) && spans.Get(i) <= spans.Get(i + 1) && spans.Get(i + 1) <= end);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QString text = QString::fromUtf8(fuzzBytes(data + 1, size - 1));
    MarkupScanner scanner;
    scanner.TestVersion = data[0] % 11;
    scanner.Color4Enabled = data[0] & 0x80;
    const int end = int(text.size());
    const int start = end > 0 ? int(data[0]) % (end + 1) : 0;
    TDataList functions, answers, errors;
    scanner.scanFunctions(text, start, end, functions, errors);
    scanner.scanAnswers(text, start, end, answers, errors);
    checkSpans(functions, start, end);
    checkSpans(answers, start, end);
    checkSpans(errors, start, end);
    return 0;
}
