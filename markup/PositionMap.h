#pragma once

#include <QString>
#include <QStringView>
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
// The map keeps the text in pieces of a few thousand positions, so that an edit (replace) costs
// the piece it falls in, not the whole text; a pair is never split between two pieces.
class PositionMap {
public:
    PositionMap() = default;
    explicit PositionMap(QStringView documentText) { reset(documentText); }

    void reset(QStringView documentText);
    // The document's [position, position + removed) becomes `added`; a range past the end clamps.
    void replace(int position, int removed, QStringView added);

    int documentLength() const { return m_docStart.back(); }
    int byteLength() const { return m_byteStart.back(); }
    int charLength() const { return m_charStart.back(); }

    int byteFromDocument(int documentPosition) const;
    int documentFromByte(int byteOffset) const;
    int charFromDocument(int documentPosition) const;
    int documentFromChar(int charPosition) const;
    int byteFromChar(int charPosition) const { return byteFromDocument(documentFromChar(charPosition)); }
    int charFromByte(int byteOffset) const { return charFromDocument(documentFromByte(byteOffset)); }
    // documentFromChar of every character position in [fromChar, toChar], in one walk.
    std::vector<int> documentsFromChars(int fromChar, int toChar) const;

    // The text the map was built from, whole or in part (a range past the end clamps).
    QString text() const { return mid(0, documentLength()); }
    QString mid(int position, int length) const;
    QChar at(int position) const; // a null character past the end
    bool textEquals(QStringView other) const;

private:
    struct Piece {
        QString text;
        // Offsets of each position from the piece's start; the piece's totals.
        std::vector<int> byteAt, charAt;
        int bytes = 0, chars = 0;
        void scan();
    };
    int pieceHolding(int documentPosition) const;            // 0 <= position < documentLength()
    void place(size_t from, size_t to, const QString& text); // pieces [from, to) become `text`
    void renumber(size_t fromPiece);

    std::vector<Piece> m_pieces;
    // Where each piece starts, with the totals last.
    std::vector<int> m_docStart{0}, m_byteStart{0}, m_charStart{0};
};
