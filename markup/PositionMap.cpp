#include "PositionMap.h"

#include "Cp932.h"

#include <algorithm>
#include <atomic>
#include <iterator>

namespace {

// Sizes of the pieces: an edit rescans at most about two of them.
constexpr qsizetype TargetPiece = 2048, LargestPiece = 4096, SmallestPiece = 512;

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

// The largest index whose offset is at or before the given one, then back over the positions that
// share its offset: to the start of a surrogate pair (the low half shares the pair's offset), and
// to a row break before it (which takes none).
int indexAtOrBefore(const std::vector<int>& offsets, int offset)
{
    int index = int(std::upper_bound(offsets.begin(), offsets.end(), offset) - offsets.begin()) - 1;
    while (index > 0 && offsets[size_t(index) - 1] == offsets[size_t(index)])
        --index;
    return std::max(0, index);
}

bool completesPair(QStringView before, QStringView after)
{
    return !before.isEmpty() && !after.isEmpty() && before.back().isHighSurrogate() && after.front().isLowSurrogate();
}

} // namespace

void PositionMap::Piece::scan()
{
    const qsizetype n = text.size();
    byteAt.resize(size_t(n));
    charAt.resize(size_t(n));
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    int b = 0, c = 0;
    lines = 0;
    for (qsizetype i = 0; i < n; ++i) {
        byteAt[size_t(i)] = b;
        charAt[size_t(i)] = c;
        const char16_t u = units[i];
        if (u == u'\n') {
            b += 2; // CR LF
            c += 2;
            ++lines;
        } else if (u == PositionMap::RowBreak) {
            continue;
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
            ++i;
            byteAt[size_t(i)] = b;
            charAt[size_t(i)] = c;
            b += int(Cp932::byteLength(text.mid(i - 1, 2)));
            c += 1;
        } else {
            b += bmpBytes(u);
            c += 1;
        }
    }
    bytes = b;
    chars = c;
}

QString PositionMap::withoutRowBreaks(QString documentText)
{
    documentText.remove(QChar(RowBreak));
    return documentText;
}

void PositionMap::reset(QStringView documentText)
{
    m_pieces.clear();
    m_docStart.assign(1, 0);
    m_byteStart.assign(1, 0);
    m_charStart.assign(1, 0);
    m_lineStart.assign(1, 0);
    place(0, 0, documentText.toString());
}

void PositionMap::replace(int position, int removed, QStringView added)
{
    const int length = documentLength();
    position = std::clamp(position, 0, length);
    removed = std::clamp(removed, 0, length - position);
    if (removed == 0 && added.isEmpty())
        return;
    if (m_pieces.empty()) {
        reset(added);
        return;
    }
    // From the piece holding the character before the edit: the first character taken is then
    // one the edit leaves, so the pair rule at the front still holds.
    const size_t first = position == 0 ? 0 : size_t(pieceHolding(position - 1));
    const size_t last = removed == 0 ? first : size_t(pieceHolding(position + removed - 1));
    QString merged;
    for (size_t k = first; k <= last; ++k)
        merged += m_pieces[k]->text;
    merged.replace(position - m_docStart[first], removed, added.data(), added.size());
    size_t to = last + 1;
    // A piece left small, or a pair the edit completed across the next boundary, takes in the
    // next piece.
    while (to < m_pieces.size() && (merged.size() < SmallestPiece || completesPair(merged, m_pieces[to]->text)))
        merged += m_pieces[to++]->text;
    place(first, to, merged);
}

void PositionMap::renew(int from, int to)
{
    const int length = documentLength();
    if (length == 0 || to <= from || to <= 0 || from >= length)
        return;
    const size_t first = size_t(pieceHolding(std::max(0, from)));
    const size_t last = size_t(pieceHolding(std::min(to, length) - 1));
    for (size_t k = first; k <= last; ++k)
        m_pieces[k] = std::make_shared<const Piece>(*m_pieces[k]);
}

void PositionMap::place(size_t from, size_t to, const QString& text)
{
    std::vector<std::shared_ptr<const Piece>> made;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        qsizetype size = n - i <= LargestPiece ? n - i : TargetPiece;
        if (i + size < n && completesPair(QStringView(text).mid(i, size), QStringView(text).mid(i + size)))
            ++size;
        auto piece = std::make_shared<Piece>();
        piece->text = text.mid(i, size);
        piece->scan();
        made.push_back(std::move(piece));
        i += size;
    }
    m_pieces.erase(m_pieces.begin() + qsizetype(from), m_pieces.begin() + qsizetype(to));
    m_pieces.insert(m_pieces.begin() + qsizetype(from), made.begin(), made.end());
    renumber(from);
}

void PositionMap::renumber(size_t fromPiece)
{
    const size_t n = m_pieces.size();
    m_docStart.resize(n + 1);
    m_byteStart.resize(n + 1);
    m_charStart.resize(n + 1);
    m_lineStart.resize(n + 1);
    for (size_t k = fromPiece; k < n; ++k) {
        const Piece& piece = *m_pieces[k];
        m_docStart[k + 1] = m_docStart[k] + int(piece.text.size());
        m_byteStart[k + 1] = m_byteStart[k] + piece.bytes;
        m_charStart[k + 1] = m_charStart[k] + piece.chars;
        m_lineStart[k + 1] = m_lineStart[k] + piece.lines;
    }
}

int PositionMap::pieceHolding(int documentPosition) const
{
    return int(std::upper_bound(m_docStart.begin(), m_docStart.end(), documentPosition) - m_docStart.begin()) - 1;
}

int PositionMap::byteFromDocument(int documentPosition) const
{
    const int d = std::clamp(documentPosition, 0, documentLength());
    if (d == documentLength())
        return byteLength();
    const int k = pieceHolding(d);
    return m_byteStart[size_t(k)] + m_pieces[size_t(k)]->byteAt[size_t(d - m_docStart[size_t(k)])];
}

int PositionMap::charFromDocument(int documentPosition) const
{
    const int d = std::clamp(documentPosition, 0, documentLength());
    if (d == documentLength())
        return charLength();
    const int k = pieceHolding(d);
    return m_charStart[size_t(k)] + m_pieces[size_t(k)]->charAt[size_t(d - m_docStart[size_t(k)])];
}

int PositionMap::documentFromByte(int byteOffset) const
{
    if (byteOffset <= 0)
        return 0;
    if (byteOffset >= byteLength())
        return documentLength();
    const size_t k = size_t(indexAtOrBefore(m_byteStart, byteOffset));
    return m_docStart[k] + indexAtOrBefore(m_pieces[k]->byteAt, byteOffset - m_byteStart[k]);
}

int PositionMap::documentFromChar(int charPosition) const
{
    if (charPosition <= 0)
        return 0;
    if (charPosition >= charLength())
        return documentLength();
    const size_t k = size_t(indexAtOrBefore(m_charStart, charPosition));
    return m_docStart[k] + indexAtOrBefore(m_pieces[k]->charAt, charPosition - m_charStart[k]);
}

std::vector<int> PositionMap::documentsFromChars(int fromChar, int toChar) const
{
    std::vector<int> documents;
    documents.reserve(size_t(std::max(0, toChar - fromChar + 1)));
    const int total = charLength();
    int c = fromChar;
    for (; c <= toChar && c < 0; ++c)
        documents.push_back(0);
    if (c <= toChar && c < total) {
        const int start = documentFromChar(c);
        const size_t first = size_t(pieceHolding(start));
        for (size_t k = first; k < m_pieces.size() && c <= toChar; ++k) {
            const std::vector<int>& at = m_pieces[k]->charAt;
            const int n = int(at.size());
            for (int i = k == first ? start - m_docStart[k] : 0; i < n && c <= toChar;) {
                // A pair's characters belong to its first half, and a row break's following character
                // to the break, as documentFromChar has them; a pair never spans two pieces.
                int next = i + 1;
                while (next < n && at[size_t(next)] == at[size_t(i)])
                    ++next;
                const int end = next < n ? m_charStart[k] + at[size_t(next)] : m_charStart[k + 1];
                for (; c < end && c <= toChar; ++c)
                    documents.push_back(m_docStart[k] + i);
                i = next;
            }
        }
    }
    for (; c <= toChar; ++c)
        documents.push_back(documentLength());
    return documents;
}

QString PositionMap::mid(int position, int length) const
{
    const int from = std::clamp(position, 0, documentLength());
    const int to = std::clamp(position + std::max(0, length), from, documentLength());
    QString part;
    part.reserve(to - from);
    for (int d = from; d < to;) {
        const size_t k = size_t(pieceHolding(d));
        const int start = m_docStart[k];
        const int end = std::min(to, m_docStart[k + 1]);
        part += QStringView(m_pieces[k]->text).mid(d - start, end - d);
        d = end;
    }
    return part;
}

QChar PositionMap::at(int position) const
{
    if (position < 0 || position >= documentLength())
        return {};
    const size_t k = size_t(pieceHolding(position));
    return m_pieces[k]->text[position - m_docStart[k]];
}

int PositionMap::lineOfDocument(int documentPosition) const
{
    const int d = std::clamp(documentPosition, 0, documentLength());
    if (d == documentLength())
        return m_lineStart.back();
    const size_t k = size_t(pieceHolding(d));
    return m_lineStart[k] + int(QStringView(m_pieces[k]->text).left(d - m_docStart[k]).count(u'\n'));
}

int PositionMap::documentOfLine(int line) const
{
    if (line <= 0)
        return line == 0 ? 0 : -1;
    if (line >= lineCount())
        return -1;
    // The piece holding the line break that ends line - 1.
    const size_t k = size_t(std::lower_bound(m_lineStart.begin(), m_lineStart.end(), line) - m_lineStart.begin()) - 1;
    const QString& text = m_pieces[k]->text;
    int breaks = m_lineStart[k];
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u'\n' && ++breaks == line)
            return m_docStart[k] + int(i) + 1;
    return -1;
}

bool PositionMap::textEquals(QStringView other) const
{
    if (other.size() != documentLength())
        return false;
    for (size_t k = 0; k < m_pieces.size(); ++k)
        if (QStringView(m_pieces[k]->text) != other.mid(m_docStart[k], m_pieces[k]->text.size()))
            return false;
    return true;
}

PositionMap::Difference PositionMap::difference(const PositionMap& other) const
{
    const size_t n = m_pieces.size(), m = other.m_pieces.size();
    Difference d;
    while (d.samePieces < n && d.samePieces < m && m_pieces[d.samePieces] == other.m_pieces[d.samePieces])
        ++d.samePieces;
    while (d.sameEndPieces < n - d.samePieces && d.sameEndPieces < m - d.samePieces
           && m_pieces[n - 1 - d.sameEndPieces] == other.m_pieces[m - 1 - d.sameEndPieces])
        ++d.sameEndPieces;
    d.from = m_docStart[d.samePieces];
    d.to = m_docStart[n - d.sameEndPieces];
    d.otherTo = other.m_docStart[m - d.sameEndPieces];
    return d;
}

bool PositionMap::textEquals(const PositionMap& other) const
{
    if (documentLength() != other.documentLength())
        return false;
    const Difference d = difference(other);
    return mid(d.from, d.to - d.from) == other.mid(d.from, d.otherTo - d.from);
}
