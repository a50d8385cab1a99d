// The control's own undo ring and its bookmarks.
#include "MyRichEdit.h"

#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTextBlock>

namespace {

const TBookmark Unset{-1, -1, -1, -1};
constexpr QChar RowBreakChar(PositionMap::RowBreak);

bool groupsByKind(int kind)
{
    return kind == TMyRichEdit::AboutToUndo || kind == TMyRichEdit::CaretKeys || kind == TMyRichEdit::EnterKey
           || kind == TMyRichEdit::Deleting || kind == TMyRichEdit::Typing;
}

} // namespace

void TMyRichEdit::setUndoMax(int steps)
{
    if (steps <= 0)
        return;
    // A new size starts a new history from what is shown.
    m_undo = UndoRing<TRichUndoMemory>(steps + 1);
    m_undo.reset(captureState());
    LastStepKind = CaretKeys;
}

void TMyRichEdit::setSioriMax(int highest)
{
    if (highest <= 0)
        return;
    m_sioriMax = highest;
    m_bookmarks.assign(size_t(highest + 1), Unset);
    ResetBookmarks();
}

void TMyRichEdit::ResetBookmarks()
{
    for (int i = 0; i <= m_sioriMax; ++i)
        ResetBookmark(i);
}

void TMyRichEdit::ResetBookmark(int index)
{
    if (index < 0 || index > m_sioriMax)
        return;
    m_bookmarks[size_t(index)] = Unset;
    for (qint64 p = m_undo.first(); p <= m_undo.last(); ++p) {
        std::vector<TBookmark>& table = m_undo.at(p).bookmarks;
        table.resize(size_t(m_sioriMax + 1), Unset);
        table[size_t(index)] = Unset;
    }
}

std::shared_ptr<const TRichUndoMemory::FormatRuns> TMyRichEdit::readFormats(const PositionMap& text,
                                                                           size_t piece) const
{
    const int from = text.pieceStart(piece);
    const int to = piece + 1 < text.pieceCount() ? text.pieceStart(piece + 1) : text.documentLength();
    auto runs = std::make_shared<TRichUndoMemory::FormatRuns>();
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int start = std::max(from, fragment.position());
            const int end = std::min(to, fragment.position() + fragment.length());
            if (start >= end)
                continue;
            const QTextCharFormat format = fragment.charFormat();
            if (format.hasProperty(QTextFormat::ForegroundBrush) || format.hasProperty(QTextFormat::FontWeight))
                runs->push_back({start - from, end - start, format});
        }
    }
    return runs;
}

// A piece of text taken before keeps the formats read then: every change of formats makes its
// pieces anew (PositionMap::renew), so only the pieces an edit or a recolouring touched are read.
TRichUndoMemory TMyRichEdit::captureState() const
{
    TRichUndoMemory state;
    state.text = positions();
    const Captured& before = m_captured;
    const PositionMap::Difference d = state.text.difference(before.text);
    const size_t n = state.text.pieceCount(), m = before.text.pieceCount();
    state.formats.reserve(n);
    for (size_t k = 0; k < n; ++k) {
        if (k < d.samePieces)
            state.formats.push_back(before.formats[k]);
        else if (k >= n - d.sameEndPieces)
            state.formats.push_back(before.formats[m - (n - k)]);
        else
            state.formats.push_back(readFormats(state.text, k));
    }
    m_captured = {state.text, state.formats};
    state.showStrColor = ShowStrColor;
    state.firstVisibleRow = firstVisibleRow();
    state.selStart = SelStart();
    state.selLength = SelLength();
    state.bookmarks = m_bookmarks;
    return state;
}

void TMyRichEdit::ResetTextUndo()
{
    m_undo.reset(captureState());
    m_baseText = m_undo.currentState().text;
    LastStepKind = CaretKeys;
}

bool TMyRichEdit::textIs(const PositionMap& text) const
{
    return positions().textEquals(text);
}

// Costs the pieces an edit made since the base, not the page: the lengths tell most changes, and
// the pieces both still share are the same text.
bool TMyRichEdit::textIsBase() const
{
    const PositionMap& shown = positions();
    if (shown.charLength() != m_baseText.charLength() || shown.byteLength() != m_baseText.byteLength())
        return false;
    const PositionMap::Difference d = shown.difference(m_baseText);
    if (PositionMap::withoutRowBreaks(shown.mid(d.from, d.to - d.from))
        != PositionMap::withoutRowBreaks(m_baseText.mid(d.from, d.otherTo - d.from)))
        return false;
    // The same text in other pieces (read anew, recoloured, back by undo): shared from now on.
    m_baseText = shown;
    return true;
}

bool TMyRichEdit::IsTextModified() const
{
    return !textIsBase();
}

bool TMyRichEdit::CanUndoText() const
{
    return m_undo.canUndo() || !textIs(m_undo.currentState().text);
}

// The shown state keeps its text but takes the current view and formats.
void TMyRichEdit::updateCurrentSnapshot()
{
    TRichUndoMemory& current = m_undo.currentState();
    std::vector<TBookmark> bookmarks = std::move(current.bookmarks);
    current = captureState();
    current.bookmarks = std::move(bookmarks);
}

void TMyRichEdit::RecordTextUndoStep(int kind)
{
    if (isReadOnly() || (groupsByKind(kind) && kind == LastStepKind))
        return;
    const int last = std::exchange(LastStepKind, kind);
    if (last == AboutToUndo) {
        recordChangeSinceSnapshot(kind);
        return;
    }
    if (kind != ReplaceAll && textIs(m_undo.currentState().text)) {
        updateCurrentSnapshot();
        return;
    }
    pushTextSnapshot(kind);
}

void TMyRichEdit::pushTextSnapshot(int kind)
{
    if (ShowStrColor && kind != MousePress)
        RecolourRange(LineStartOfCaret(false), LineEndOfCaret(true));
    // Every state re-entered by the push carries its own bookmarks; the new one takes the live table.
    m_undo.push(captureState());
}

// After an undo or redo the shown state is a snapshot only until the host changes the text behind
// the control's keys (a paste, a tag button, a conversion); such a change is a step of its own, or
// the next undo or redo would throw it away.
bool TMyRichEdit::recordChangeSinceSnapshot(int kind)
{
    if (textIs(m_undo.currentState().text))
        return false;
    pushTextSnapshot(kind);
    return true;
}

void TMyRichEdit::UndoText()
{
    if (!CanUndoText())
        return;
    if (LastStepKind != AboutToUndo)
        RecordTextUndoStep(AboutToUndo);
    else
        recordChangeSinceSnapshot(AboutToUndo);
    m_undo.undo();
    RestoreTextSnapshot();
    LastStepKind = AboutToUndo;
}

void TMyRichEdit::RedoText()
{
    if (!CanRedoText())
        return;
    // Stepping forward would throw away text typed or put in since the shown snapshot: it is kept
    // instead, and being the newest state it leaves nothing to redo, as any edit after undoing.
    if (recordChangeSinceSnapshot(AboutToUndo)) {
        LastStepKind = AboutToUndo;
        return;
    }
    m_undo.redo();
    RestoreTextSnapshot();
    LastStepKind = AboutToUndo;
}

// Only what differs from the shown text goes back in, rows and formats as they were taken.
void TMyRichEdit::RestoreTextSnapshot()
{
    const TRichUndoMemory& state = m_undo.currentState();
    const QSignalBlocker detached(this);
    const bool changed = !textIs(state.text);
    const bool wasModified = Modified();
    const PositionMap::Difference d = positions().difference(state.text);
    const size_t n = state.text.pieceCount();
    {
        const QScopedValueRollback guard(m_refusing, true);
        const QScopedValueRollback placing(m_placing, true);
        QTextCursor c(document());
        c.beginEditBlock();
        c.setPosition(d.from);
        c.setPosition(d.to, QTextCursor::KeepAnchor);
        QString part = state.text.mid(d.from, d.otherTo - d.from);
        part.replace(RowBreakChar, u'\n');
        c.insertText(part, QTextCharFormat());
        for (size_t k = d.samePieces; k < n - d.sameEndPieces; ++k) {
            const int start = state.text.pieceStart(k);
            for (const TRichUndoMemory::FormatRun& run : *state.formats[k]) {
                c.setPosition(start + run.from);
                c.setPosition(start + run.from + run.length, QTextCursor::KeepAnchor);
                c.setCharFormat(run.format);
            }
        }
        c.endEditBlock();
    }
    m_positions = state.text;
    m_positionsStale = false;
    m_textStale = true;
    markRows(d.from, d.otherTo);
    m_captured = {state.text, state.formats};
    ShowStrColor = state.showStrColor;
    setSelStart(state.selStart);
    setSelLength(state.selLength);
    scrollToRow(state.firstVisibleRow);
    m_bookmarks = state.bookmarks;
    m_bookmarks.resize(size_t(m_sioriMax + 1), Unset);
    setModified(wasModified || changed);
}
