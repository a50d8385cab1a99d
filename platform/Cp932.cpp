#include "Cp932.h"

#include <QSet>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

// QString's own storage order, so text goes to iconv without a copy.
constexpr const char* kUtf16 = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
constexpr char16_t kByteOrderMark = 0xFEFF;
constexpr qsizetype kMaxChunk = 1024, kMinChunk = 16;

// One descriptor per direction and thread: iconv_open loads tables and is far dearer than a conversion.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    void reset() { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

    // Converts as much as it can; returns 0 on success or the errno that stopped it.
    int run(const char*& in, size_t& inLeft, char*& out, size_t& outLeft)
    {
        if (iconv(m_cd, const_cast<char**>(&in), &inLeft, &out, &outLeft) == static_cast<size_t>(-1))
            return errno;
        return 0;
    }

private:
    iconv_t m_cd;
};

Converter& decoder()
{
    thread_local Converter c(kUtf16, "CP932");
    return c;
}

Converter& encoder()
{
    thread_local Converter c("CP932", kUtf16);
    return c;
}

enum class Mode { Full, CheckOnly };

// A tag character (U+E0000 to U+E007F) as a surrogate pair at i.
bool isTagAt(const char16_t* units, qsizetype count, qsizetype i)
{
    return units[i] == 0xDB40 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDC7F;
}

struct EncodeResult {
    QByteArray bytes;
    QString unencodable;
    QList<char32_t> codes; // the same characters, apart: two lone halves of a pair stay two
    bool ok = true;
};

// iconv stops at the first character it cannot map; that character is dealt with here and the
// conversion resumes after it, so no character ever goes through iconv on its own.
EncodeResult encodeImpl(const QString& text, Mode mode)
{
    EncodeResult r;
    Converter& cv = encoder();
    if (!cv.valid()) {
        r.ok = false;
        return r;
    }
    cv.reset();

    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype count = text.size();
    // Every character of code page 932 is at most two bytes and never more than one UTF-16 unit.
    if (mode == Mode::Full)
        r.bytes.resize(count * 2);
    char scratch[2 * (kMaxChunk + 1)]; // check mode throws the bytes away; one chunk always fits
    char* outBase = mode == Mode::Full ? r.bytes.data() : scratch;
    qsizetype outPos = 0;
    qsizetype pos = 0;
    // After a failure glibc re-converts the whole chunk to locate the failing input, so chunks
    // shrink after each failure and grow back while text converts cleanly.
    qsizetype chunkLimit = kMaxChunk;
    QSet<char32_t> seen; // a text of foreign script can hold thousands of distinct characters

    auto reject = [&](qsizetype len) {
        r.ok = false;
        if (mode == Mode::Full) {
            const char32_t ch = len == 2 ? QChar::surrogateToUcs4(units[pos], units[pos + 1]) : units[pos];
            if (!seen.contains(ch)) {
                seen.insert(ch);
                r.unencodable += QStringView(units + pos, len);
                r.codes.append(ch);
            }
            outBase[outPos++] = '?';
        }
        pos += len;
    };

    while (pos < count) {
        if (mode == Mode::CheckOnly && !r.ok)
            break;
        // glibc swallows a byte-order mark at the start of UTF-16 input instead of reporting it,
        // and every tag character (U+E0000 to U+E007F) anywhere: those never reach it.
        if (units[pos] == kByteOrderMark) {
            reject(1);
            continue;
        }
        if (isTagAt(units, count, pos)) {
            reject(2);
            continue;
        }
        qsizetype chunk = std::min(count - pos, chunkLimit);
        if (pos + chunk < count && QChar::isHighSurrogate(units[pos + chunk - 1]))
            ++chunk;
        for (qsizetype i = pos + 1; i < pos + chunk; ++i)
            if (isTagAt(units, count, i)) {
                chunk = i - pos;
                break;
            }
        const char* in = reinterpret_cast<const char*>(units + pos);
        size_t inLeft = size_t(chunk) * 2;
        char* out;
        size_t outLeft;
        if (mode == Mode::Full) {
            out = outBase + outPos;
            outLeft = size_t(r.bytes.size() - outPos);
        } else {
            out = scratch;
            outLeft = sizeof scratch;
        }
        const int err = cv.run(in, inLeft, out, outLeft);
        const qsizetype consumed = qsizetype(in - reinterpret_cast<const char*>(units + pos)) / 2;
        if (mode == Mode::Full)
            outPos = qsizetype(out - outBase);
        pos += consumed;
        if (err == 0) {
            chunkLimit = std::min(chunkLimit * 2, kMaxChunk);
            continue;
        }
        if (err == E2BIG) {
            // Neither buffer can run out, but never spin if one does.
            if (mode == Mode::Full && consumed == 0) {
                r.bytes.resize(r.bytes.size() + 16);
                outBase = r.bytes.data();
            }
            continue;
        }
        chunkLimit = kMinChunk;
        cv.reset();
        const bool pair = pos + 1 < count && QChar::isHighSurrogate(units[pos])
            && QChar::isLowSurrogate(units[pos + 1]);
        reject(pair ? 2 : 1);
    }
    if (mode == Mode::Full)
        r.bytes.truncate(outPos);
    return r;
}

} // namespace

namespace Cp932 {

QString decode(const QByteArray& bytes, bool* ok, qsizetype* badOffset)
{
    if (ok)
        *ok = true;
    if (badOffset)
        *badOffset = -1;
    Converter& cv = decoder();
    if (!cv.valid()) {
        if (ok)
            *ok = false;
        if (badOffset)
            *badOffset = 0;
        return {};
    }
    cv.reset();

    // One byte never yields more than one UTF-16 unit.
    QString result(bytes.size(), Qt::Uninitialized);
    const char* in = bytes.constData();
    size_t inLeft = size_t(bytes.size());
    char* outBase = reinterpret_cast<char*>(result.data());
    char* out = outBase;
    size_t outLeft = size_t(result.size()) * 2;
    const int err = cv.run(in, inLeft, out, outLeft);
    result.truncate(qsizetype(out - outBase) / 2);
    if (err != 0) {
        if (ok)
            *ok = false;
        if (badOffset)
            *badOffset = qsizetype(in - bytes.constData());
    }
    return result;
}

QByteArray encode(const QString& text, bool* ok, QString* unencodable)
{
    EncodeResult r = encodeImpl(text, Mode::Full);
    if (ok)
        *ok = r.ok;
    if (unencodable)
        *unencodable = r.unencodable;
    return r.bytes;
}

QList<char32_t> unencodableCharacters(const QString& text)
{
    return encodeImpl(text, Mode::Full).codes;
}

bool canEncode(const QString& text)
{
    return encodeImpl(text, Mode::CheckOnly).ok;
}

bool canStore(const QString& text, QString* failing)
{
    bool ok = false;
    const QByteArray bytes = encode(text, &ok);
    if (ok && decode(bytes) == text)
        return true;
    if (!failing)
        return false;
    // Character by character, to name each one.
    failing->clear();
    QSet<char32_t> seen;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len =
            i + 1 < text.size() && text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        const QString one = text.mid(i, len);
        bool encoded = false;
        const QByteArray b = encode(one, &encoded);
        const char32_t code = len == 2 ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : text.at(i).unicode();
        if ((!encoded || decode(b) != one) && !seen.contains(code)) {
            seen.insert(code);
            *failing += one;
        }
        i += len;
    }
    return false;
}

qsizetype byteLength(const QString& text)
{
    return encodeImpl(text, Mode::Full).bytes.size();
}

bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

} // namespace Cp932
