#pragma once

#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

// Positions in an edited text, three ways:
// - document positions: QString indices of the text as the editor holds it, one "\n" per line
//   break and one RowBreak where the editor holds a long line as several rows;
// - character positions: as the platform's edit controls counted them, each line break being
//   CR LF (2);
// - byte offsets into the text's code-page-932 form, line breaks again CR LF (2). This is what
//   the control's positions (caret, selection, line starts, search results, colour spans) are.
// A byte or character offset that falls inside a character (a kanji's trail byte, or between CR
// and LF) snaps down to that character's start. Offsets beyond the end clamp to the end.
// A surrogate pair is one character (one byte, as code page 932 cannot hold it); the document
// position between its halves maps like the pair's start.
// The map keeps the text in pieces of a few thousand positions, so that an edit (replace) costs
// the piece it falls in, not the whole text; a pair is never split between two pieces. Copies
// share the pieces: a copy costs the number of pieces, and an edit makes new pieces only where it
// falls, so two maps of one history tell quickly where they differ.
class PositionMap {
public:
    // A break between two rows of one line: no line break, no bytes, no characters. A row is a
    // block of the editor's document, which Qt lays out whole at every edit.
    static constexpr char16_t RowBreak = 0xFDEF;
    static QString withoutRowBreaks(QString documentText);

    PositionMap() = default;
    explicit PositionMap(QStringView documentText) { reset(documentText); }

    void reset(QStringView documentText);
    // The document's [position, position + removed) becomes `added`; a range past the end clamps.
    void replace(int position, int removed, QStringView added);

    int documentLength() const { return m_docStart.back(); }
    int byteLength() const { return m_byteStart.back(); }
    int charLength() const { return m_charStart.back(); }
    int lineCount() const { return m_lineStart.back() + 1; }
    // The line holding the position (the line breaks before it), and where a line starts (-1 for
    // a line past the last).
    int lineOfDocument(int documentPosition) const;
    int documentOfLine(int line) const;

    int byteFromDocument(int documentPosition) const;
    int documentFromByte(int byteOffset) const;
    int charFromDocument(int documentPosition) const;
    int documentFromChar(int charPosition) const;
    int byteFromChar(int charPosition) const { return byteFromDocument(documentFromChar(charPosition)); }
    int charFromByte(int byteOffset) const { return charFromDocument(documentFromByte(byteOffset)); }
    // documentFromChar of every character position in [fromChar, toChar], in one walk.
    std::vector<int> documentsFromChars(int fromChar, int toChar) const;

    // The text the map was built from, whole or in part (a range past the end clamps), and the
    // text itself, without row breaks.
    QString text() const { return mid(0, documentLength()); }
    QString plainText() const { return withoutRowBreaks(text()); }
    QString mid(int position, int length) const;
    QChar at(int position) const; // a null character past the end
    bool textEquals(QStringView other) const;
    bool textEquals(const PositionMap& other) const;

    // Where this map and another may differ: the pieces both begin and end with, and between them
    // [from, to) here and [from, otherTo) there.
    struct Difference {
        size_t samePieces = 0, sameEndPieces = 0;
        int from = 0, to = 0, otherTo = 0;
    };
    Difference difference(const PositionMap& other) const;
    // The pieces over [from, to) are made again with the same text: whatever was known of the old
    // ones by their identity (the formats that lay on them) no longer holds.
    void renew(int from, int to);
    size_t pieceCount() const { return m_pieces.size(); }
    int pieceStart(size_t piece) const { return m_docStart[piece]; }
    const void* pieceId(size_t piece) const { return m_pieces[piece].get(); }

private:
    struct Piece {
        QString text;
        // Offsets of each position from the piece's start; the piece's totals.
        std::vector<int> byteAt, charAt;
        int bytes = 0, chars = 0, lines = 0;
        void scan();
    };
    int pieceHolding(int documentPosition) const;            // 0 <= position < documentLength()
    void place(size_t from, size_t to, const QString& text); // pieces [from, to) become `text`
    void renumber(size_t fromPiece);

    std::vector<std::shared_ptr<const Piece>> m_pieces;
    // Where each piece starts, with the totals last.
    std::vector<int> m_docStart{0}, m_byteStart{0}, m_charStart{0}, m_lineStart{0};
};
