// The description mark-up of the story preview: any text prepares without harm, and a text that
// nests properly keeps every character that is not a tag.
#include "../FuzzCheck.h"
#include "DescriptionRenderer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(fuzzBytes(data, size));
    const DescriptionRenderer::Result r = DescriptionRenderer::prepare(text);
    if (!r.nestingError)
        FUZZ_CHECK(r.text.size() <= text.size() + 1);
    FUZZ_CHECK(DescriptionRenderer::prepare(text).text == r.text);
    return 0;
}
