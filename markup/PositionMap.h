#pragma once

#include <QString>
#include <vector>

// Positions in an edited text, three ways:
// - document positions: QString indices of the text as the editor holds it, one "\n" per line
//   break;
// - character positions: as the platform's edit controls counted them, each line break being
//   CR LF (2);
// - byte offsets into the text's code-page-932 form, line breaks again CR LF (2). This is what
//   the control's positions (caret, selection, line starts, search results, colour spans) are.
// A byte or character offset that falls inside a character (a kanji's trail byte, or between CR
// and LF) snaps down to that character's start. Offsets beyond the end clamp to the end.
// A surrogate pair is one character (one byte, as code page 932 cannot hold it); the document
// position between its halves maps like the pair's start.
class PositionMap {
public:
    PositionMap() = default;
    explicit PositionMap(const QString& documentText) { reset(documentText); }

    void reset(const QString& documentText);

    int documentLength() const { return int(m_byteAt.size()) - 1; }
    int byteLength() const { return m_byteAt.back(); }
    int charLength() const { return m_charAt.back(); }

    int byteFromDocument(int documentPosition) const;
    int documentFromByte(int byteOffset) const;
    int charFromDocument(int documentPosition) const;
    int documentFromChar(int charPosition) const;
    int byteFromChar(int charPosition) const { return byteFromDocument(documentFromChar(charPosition)); }
    int charFromByte(int byteOffset) const { return charFromDocument(documentFromByte(byteOffset)); }

private:
    // Offsets of the start of each document position (and one past the end); ascending, so the
    // way back is a binary search. An empty map is the empty text.
    std::vector<int> m_byteAt{0};
    std::vector<int> m_charAt{0};
};
