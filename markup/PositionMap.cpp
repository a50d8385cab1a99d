#include "PositionMap.h"

#include "Cp932.h"

#include <algorithm>
#include <atomic>

namespace {

// Code-page-932 lengths of BMP characters, filled on first use: 0 not yet known, else the length
// (an unencodable character counts as one byte, as Cp932::byteLength counts it). Asking the codec
// once per distinct character keeps a rebuild of a long text to a table walk.
std::atomic<unsigned char> g_bmpBytes[0x10000];

int bmpBytes(char16_t c)
{
    if (c < 0x80)
        return 1;
    unsigned char n = g_bmpBytes[c].load(std::memory_order_relaxed);
    if (n == 0) {
        n = static_cast<unsigned char>(Cp932::byteLength(QString(QChar(c))));
        g_bmpBytes[c].store(n, std::memory_order_relaxed);
    }
    return n;
}

// The largest index whose offset is at or before the given one, then back to the start of a
// surrogate pair (the low half shares the pair's offset).
int indexAtOrBefore(const std::vector<int>& offsets, int offset)
{
    if (offset <= 0)
        return 0;
    if (offset >= offsets.back())
        return int(offsets.size()) - 1;
    int index = int(std::upper_bound(offsets.begin(), offsets.end(), offset) - offsets.begin()) - 1;
    if (index > 0 && offsets[size_t(index) - 1] == offsets[size_t(index)])
        --index;
    return index;
}

} // namespace

void PositionMap::reset(const QString& documentText)
{
    const qsizetype n = documentText.size();
    m_byteAt.resize(size_t(n) + 1);
    m_charAt.resize(size_t(n) + 1);
    const char16_t* units = reinterpret_cast<const char16_t*>(documentText.utf16());
    int bytes = 0, chars = 0;
    for (qsizetype i = 0; i < n; ++i) {
        m_byteAt[size_t(i)] = bytes;
        m_charAt[size_t(i)] = chars;
        const char16_t c = units[i];
        if (c == u'\n') {
            bytes += 2; // CR LF
            chars += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
            ++i;
            m_byteAt[size_t(i)] = bytes;
            m_charAt[size_t(i)] = chars;
            bytes += int(Cp932::byteLength(documentText.mid(i - 1, 2)));
            chars += 1;
        } else {
            bytes += bmpBytes(c);
            chars += 1;
        }
    }
    m_byteAt[size_t(n)] = bytes;
    m_charAt[size_t(n)] = chars;
}

int PositionMap::byteFromDocument(int documentPosition) const
{
    return m_byteAt[size_t(std::clamp(documentPosition, 0, documentLength()))];
}

int PositionMap::documentFromByte(int byteOffset) const { return indexAtOrBefore(m_byteAt, byteOffset); }

int PositionMap::charFromDocument(int documentPosition) const
{
    return m_charAt[size_t(std::clamp(documentPosition, 0, documentLength()))];
}

int PositionMap::documentFromChar(int charPosition) const { return indexAtOrBefore(m_charAt, charPosition); }
