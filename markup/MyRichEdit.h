#pragma once

#include "ColourText.h"
#include "DataListUnit.h"
#include "PositionMap.h"
#include "TextAdmission.h"
#include "UndoRing.h"

#include <QImage>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCharFormat>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The colours of the mark-up: Color2 answer brackets, Color3 function brackets, Color4 errors,
// ColorCR line-end marks (ColorCREnabled also switches the margin fill). Color1 is kept but unused.
class TStrColor {
public:
    ColourText::TColor Color1 = ColourText::clBlack;
    bool Color1Enabled = true;
    ColourText::TColor Color2 = ColourText::clBlack;
    bool Color2Enabled = true;
    ColourText::TColor Color3 = ColourText::clBlack;
    bool Color3Enabled = true;
    ColourText::TColor Color4 = ColourText::clBlack;
    bool Color4Enabled = true;
    ColourText::TColor ColorCR = ColourText::clBlack;
    bool ColorCREnabled = true;
};

// One bookmark: the first integer >= 0 marks it set, the second is the line the gutter shows it on,
// the other two travel along.
using TBookmark = std::array<qint32, 4>;

// One state of the text undo ring: the formatted text, the view and the bookmarks of that moment.
// States share what did not change between them: the pieces of the text, and the formats on each.
struct TRichUndoMemory {
    struct FormatRun {
        int from = 0, length = 0; // from the start of its piece
        QTextCharFormat format;
    };
    using FormatRuns = std::vector<FormatRun>;
    PositionMap text; // as the document holds it
    // The colourer's formats, a list for each piece of the text.
    std::vector<std::shared_ptr<const FormatRuns>> formats;
    bool showStrColor = false;
    int firstVisibleRow = 0, selStart = 0, selLength = 0;
    std::vector<TBookmark> bookmarks;
};

// The mark-up edit control. Its positions (SelStart, SelLength, line starts, LineIndex, ...) are
// byte offsets into the code-page-932 form of its text with CR LF line breaks, whatever Qt counts
// inside; positions() converts. Qt's own undo is off: the control keeps its own ring.
// Whatever comes in (typing, input method, paste, the X selection, drop, SetText, setSelText)
// goes through the control's admission (below), so what it shows is what its file holds and
// positions and saved text always agree. SetText and setSelText warn before they return; the
// warning for typed, composed, pasted or dropped text comes once the event loop is back. A
// Shift+Return line separator becomes a plain line break.
// Descriptions wrap at the control's width; the "lines" of FirstVisibleLine, ScrollToLine,
// LineIndex, LineFromChar and LineCount are text lines (between line breaks), not wrapped rows.
// A line longer than LongestRow characters is held as several blocks of the document, rows
// joined by row breaks (PositionMap::RowBreak), since Qt lays out a whole block at every edit, at
// every cursor it is asked about and at the caret's every blink: the text, its positions, the
// keys and the clipboard pass over a row break as if it were not there.
class TMyRichEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TMyRichEdit(QWidget* parent = nullptr);
    ~TMyRichEdit() override;

    // Published properties.
    std::function<void(int scrollCode, int& pos)> OnScroll, OnScrollH;
    std::function<void()> OnPaint;
    int IndentLeft() const { return m_indentLeft; }
    void setIndentLeft(int pixels);
    int IndentTop() const { return m_indentTop; }
    void setIndentTop(int pixels);
    TStrColor& StrColor() { return *m_strColor; }
    bool ShowStrColor = false;
    int TestVersion = 0;
    bool Numbering() const { return m_numbering; }
    void setNumbering(bool on);
    const QImage& NumberingBmp() const; // drawn when asked for after DrawNumbering
    ColourText::TColor NumberingColor = ColourText::clWhite;
    // The control's background (the toolkit's Color) as a host fixes it, with the text colour
    // drawn on it; the margins take it too. Until then both follow the desktop's theme.
    void SetColor(const QColor& ground);
    std::optional<QColor> FixedColor() const { return m_fixedColor; }
    int UndoMax() const { return m_undo.size(); } // the slot count: one more than was set
    void setUndoMax(int steps);
    int SioriMax() const { return m_sioriMax; }
    void setSioriMax(int highest);
    int MaxLength = 999999999;

    // The text as the toolkit control gave it: line breaks as CR LF. SetText takes CR LF, LF or CR
    // (each becomes a line break, so a lone LF comes back as CR LF) and clears Modified.
    QString Text() const;
    void SetText(const QString& text);
    int TextLength() const; // in bytes
    bool Modified() const;
    void setModified(bool modified);

    // Caret and selection, in bytes. Like the toolkit's, the setters bring the caret into view.
    int SelStart() const;
    void setSelStart(int byteOffset); // collapses the selection at the offset
    int SelLength() const;
    void setSelLength(int bytes);     // extends from SelStart (the caret ends at the far end)
    QString SelText() const;          // line breaks as CR LF
    void setSelText(const QString& text); // replaces the selection, caret after the new text
    void SelectAll();

    // The rich-edit wrappers.
    int FirstVisibleLine() const;
    void ScrollToLine(int line);
    // Byte offset of the line's first character; -1 for a line past the last one; line -1 is the
    // caret's line.
    int LineIndex(int line) const;
    int LineFromChar(int byteOffset) const; // a negative offset: the line where the selection starts
    int LineCount() const;
    // The text keeps IndentLeft from both sides and IndentTop from the top; outside that rectangle
    // only the margin fill (and later the gutter) is drawn. Scrolled to the start, the first line
    // begins max(IndentTop, IndentLeft) below the top (Qt's document margin is one for all sides).
    void SetFormatRect();
    QRect FormatRect() const;          // in viewport coordinates of the control
    int CharFromPos(const QPoint& point) const;
    QPoint PosFromChar(int byteOffset) const;
    void ScrollCaret();

    // Bounds of the caret's line; callers take [LineStartOfCaret(false), LineEndOfCaret(true)).
    int LineStartOfCaret(bool atBreak) const;
    int LineEndOfCaret(bool atBreak) const;

    // The two saved views.
    void SaveColourView();
    void RestoreColourView(bool withLength);
    void SaveViewState();
    void RestoreViewState(bool withLength);

    // The text undo ring. Keys, mouse presses and input-method compositions are sorted into step
    // kinds; a snapshot is taken before an action of another kind than the last, so a run of
    // typing, deleting or caret movement is one step. A change the host makes after an undo or
    // redo (a paste, a tag) is a step of its own.
    enum StepKind {
        AboutToUndo = 0,
        CaretKeys = 1,
        EnterKey = 2,
        MousePress = 3,
        Deleting = 4,
        Typing = 5,
        ReplaceAll = 7,
        Composition = 9
    };
    void RecordTextUndoStep(int kind);
    void UndoText();
    void RedoText();
    bool CanUndoText() const; // an older state to show, or a change since the shown one to keep
    bool CanRedoText() const { return m_undo.canRedo(); }
    // The shown text becomes the only state, and the base: what the file or destination holds
    // (called at a load, a hand-over and a save).
    void ResetTextUndo();
    // Whether the text differs from its base, whatever the ring remembers: once the ring has
    // wrapped, its oldest state is no longer what the file holds. A change undone back to the
    // base is none. Row breaks are layout, not text.
    bool IsTextModified() const;
    const UndoRing<TRichUndoMemory>& textUndo() const { return m_undo; }
    int LastStepKind = CaretKeys;

    // Bookmarks 0 to SioriMax; each snapshot keeps the table of its moment.
    void ResetBookmarks();
    void ResetBookmark(int index);
    const TBookmark& Bookmark(int index) const { return m_bookmarks.at(size_t(index)); }
    void SetBookmark(int index, const TBookmark& value) { m_bookmarks.at(size_t(index)) = value; }

    // The mark-up colouring, only where ShowStrColor is on. Ranges are byte offsets.
    void RecolourAll();
    void RecolourRange(int startByte, int endByte);
    void ApplyColourRanges(); // over the current selection (the range being recoloured)
    // The range grown to cover a "{*" comment in view, or the comment range kept from before.
    std::pair<int, int> WidenRangeForComment(int startByte, int endByte);

    // The numbering gutter picture. DrawNumbering keeps the labels of changed lines up to date and
    // sets the picture's size; the pixels are drawn only when a host asks for them: the whole
    // picture (NumberingBmp), or the rows beside the lines on screen (NumberingBmpRows), which costs
    // only those lines.
    void DrawNumbering();
    QImage NumberingBmpRows(int top, int height) const; // rows [top, top + height) of NumberingBmp
    int NumberingWidth() const;
    int NumberingLineHeight() const { return m_numberingLineHeight; }
    int NumberedBlockCount() const { return m_numberedBlockCount; }

    // Spans filled by the colourer (character positions), and the last comment range (-1, -1
    // when none).
    TDataList FunctionSpans, AnswerSpans, ErrorSpans;
    int CommentStart = -1, CommentEnd = -1;
    int DragLineStart = 0;

    const PositionMap& positions() const;
    // The document position of a byte offset and back (shortcuts through positions()).
    int documentPosition(int byteOffset) const { return positions().documentFromByte(byteOffset); }
    int byteOffset(int documentPosition) const { return positions().byteFromDocument(documentPosition); }

    // The input method's composition is shown black on cyan.
    static QTextCharFormat imeFormat();

    // A line longer than LongestRow is broken into rows of about RowLength.
    static constexpr int LongestRow = 8192, RowLength = 4096;
    // The text with a row break wherever a line is longer than a row.
    static QString withRows(const QString& text);

signals:
    // Raised after a change that brought in text the control refuses (already taken out): those
    // characters, each once.
    void unencodableRefused(const QString& characters);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Reports scrolls to OnScroll (pos: first visible line) and OnScrollH (pos: horizontal
    // offset) after scroll bar, wheel and ScrollToLine scrolls; Qt has no scroll codes, so the code
    // is always 0. Qt moves the view to follow the caret without coming through here.
    void scrollContentsBy(int dx, int dy) override;
    // Composition start is an undo step of its own; the committed result ends it. A result that
    // is only a line break is dropped. Each control handles its own input method.
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

    void RecolourAfterDrag();

private:
    void onContentsChange(int position, int removed, int added);
    // The text (one "\n" per line break, no row breaks), built again only after a change.
    const QString& plainText() const;
    // The document as positions() holds it, read whole.
    QString documentText() const;
    // Runs once an edit has finished (never inside the document's change signal, where editing
    // again would confuse the layout): refuses text and fits the rows.
    void afterEdit();
    // Puts what came in by Qt's own roads (keys) through the admission, character by character.
    void refusePendingText();
    // Breaks the lines an edit made longer than a row, and joins rows an edit left short.
    void fitRows(int fromDocument, int toDocument);
    // Block states: a block that follows a row break says so, so that the document alone tells
    // the rows when the positions must be read again.
    void markRows(int fromDocument, int toDocument);
    bool rowBreakAt(int documentPosition) const;
    // Puts plain text (line breaks as "\n") at the cursor, long lines as rows.
    void insertPlain(QTextCursor& cursor, const QString& plain);
    // Steps a key would take over a row break, taken first, so that the key acts on a character.
    void stepOverRowBreak(int key, Qt::KeyboardModifiers modifiers);
    int firstVisibleRow() const { return firstVisibleBlock().blockNumber(); }
    void scrollToRow(int row);
    // The bounds of the text line holding the position: its start, and its line break (or the end).
    int lineStartOf(int documentPosition) const;
    int lineEndOf(int documentPosition) const;
    // Emits unencodableRefused and shows the warning, now or once the event loop is back (for text
    // arriving from key, input method, paste and drop handlers).
    void refuse(const TextAdmission::Result& refused, bool later);
    QString rawText(int from, int to) const;

    TRichUndoMemory captureState() const;
    std::shared_ptr<const TRichUndoMemory::FormatRuns> readFormats(const PositionMap& text, size_t piece) const;
    bool textIs(const PositionMap& text) const;
    bool textIsBase() const;
    void RestoreTextSnapshot();
    void updateCurrentSnapshot();
    void pushTextSnapshot(int kind); // kind decides whether the caret line is recoloured first
    bool recordChangeSinceSnapshot(int kind);
    // The caret line recoloured and the gutter redrawn as the flags ask (after key up and at the
    // end of a composition).
    void afterEditKey();
    void resetAfterBracket();
    void applyColourRanges(int fromDocument, int toDocument);
    void measureNumbering();
    // The lines a change touched are read again when next needed; the others keep what was read.
    void numberingLinesChanged(int position, int added);
    void updateNumberingLines() const;
    void paintNumbering(QImage& picture, int top) const;

    int m_indentLeft = 10, m_indentTop = 0;
    std::unique_ptr<TStrColor> m_strColor;
    std::optional<QColor> m_fixedColor;
    bool m_numbering = false;
    // What the gutter knows of each line (NumberingLine flags), its label (the item index, -1 for
    // none), and the picture drawn from them when asked for.
    mutable std::vector<quint8> m_numberingLines;
    mutable std::vector<int> m_numberingItems;
    mutable int m_numberingItemCount = 0;
    mutable bool m_numberingStale = true;  // every line to be read again
    mutable bool m_numberingDirty = false; // some lines to be read again
    mutable QImage m_numberingBmp;
    mutable bool m_numberingBmpStale = false;
    QSize m_numberingSize{1, 1};
    int m_sioriMax = 3;
    UndoRing<TRichUndoMemory> m_undo{21};
    // The text as the file or destination holds it; shares the pieces the shown text still has.
    mutable PositionMap m_baseText;
    std::vector<TBookmark> m_bookmarks;
    bool m_needsRecolour = false, m_needsRenumber = false, m_imeComposing = false;
    int m_numberingLineHeight = 0, m_numberedBlockCount = 0;
    // The text and formats taken last: a piece still there has the formats read then.
    struct Captured {
        PositionMap text;
        std::vector<std::shared_ptr<const TRichUndoMemory::FormatRuns>> formats;
    };
    mutable Captured m_captured;
    // Kept up to date through every change of the document; rebuilt whole only when a change
    // report does not fit what it holds.
    mutable PositionMap m_positions;
    mutable bool m_positionsStale = true;
    mutable QString m_plainText; // m_positions.text(), as of the last change
    mutable bool m_textStale = true;
    // While a drag started here or a drop lands: the line the text leaves (kept at its start by
    // the edits) and where the dropped text begins.
    QTextCursor m_dragSource, m_dropStart;
    quint64 m_textEdits = 0; // changes of the text (not of its formats)
    bool m_refusing = false;
    bool m_settingFormats = false;            // the colourer's own edit: formats only
    int m_pendingFrom = -1, m_pendingTo = -1; // document range still to be checked
    bool m_insertingRowBreak = false;         // the separator going in is a row break
    bool m_placing = false;                   // a whole state goes in, rows and all
    bool m_fitting = false;
    int m_rowsFrom = -1, m_rowsTo = -1; // document range whose rows are still to be fitted
    // The colour view keeps the first visible row (formats never move a row); the view state the
    // first visible line.
    struct View {
        int selStart = 0, selLength = 0, firstLine = 0;
    } m_colourView, m_viewState;

public:
    // What the control takes in by every road: the one admission rule with the box's options;
    // `file` names, in a refusal, what cannot keep a control character. A control takes a
    // description's unless told otherwise.
    struct Admission {
        TextAdmission::Options options;
        QString file;
    };
    // A destination's description, as the map file keeps it: a TAB as a blank, no control characters.
    static Admission DescriptionAdmission();
    // A scratch page's text file keeps control characters; a TAB comes in as a blank, as the
    // window's paste makes it on every page (a TAB the file holds stays, as every stored text's).
    static Admission TextFileAdmission();
    void setAdmission(const Admission& admission) { m_admission = admission; }
    const Admission& admission() const { return m_admission; }

private:
    // Text from outside as the control takes it: one kind of line break, then the box's rule.
    TextAdmission::Result admit(const QString& text, const TextAdmission::Options& options) const;
    Admission m_admission = DescriptionAdmission();
};
