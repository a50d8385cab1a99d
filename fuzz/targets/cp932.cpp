// Code page 932: valid bytes decode and encode back to the same text (byte for byte, but for the
// characters the code page holds under two codes); every text encodes, once and for all after
// one round, or names what it cannot.
#include "../FuzzCheck.h"
#include "Cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    bool ok = true;
    qsizetype bad = -1;
    const QString text = Cp932::decode(bytes, &ok, &bad);
    if (ok) {
        bool back = false;
        const QByteArray again = Cp932::encode(text, &back);
        FUZZ_CHECK(back);
        FUZZ_CHECK(again.size() == bytes.size());
        FUZZ_CHECK(again == bytes || Cp932::decode(again) == text);
        FUZZ_CHECK(Cp932::byteLength(text) == bytes.size());
    } else {
        FUZZ_CHECK(bad >= 0 && bad < bytes.size());
    }

    // The same bytes as UTF-16 text, lone surrogates and all.
    const QString any(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    bool encodable = true;
    QString refused;
    const QByteArray out = Cp932::encode(any, &encodable, &refused);
    FUZZ_CHECK(encodable == refused.isEmpty());
    FUZZ_CHECK(encodable == Cp932::canEncode(any));
    FUZZ_CHECK(Cp932::unencodableCharacters(any).isEmpty() == encodable);
    // A few characters are written as their full-width look-alikes ("¬" as "￢"), as Windows
    // writes them; from there on the text stays as it is.
    if (encodable)
        FUZZ_CHECK(Cp932::encode(Cp932::decode(out)) == out);
    return 0;
}
