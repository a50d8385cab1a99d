// The control's own undo ring and its bookmarks.
#include "MyRichEdit.h"

#include <QSignalBlocker>
#include <QTextBlock>

namespace {

const TBookmark Unset{-1, -1, -1, -1};

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

TRichUndoMemory TMyRichEdit::captureState() const
{
    TRichUndoMemory state;
    state.text = plainText(); // shared with the cache, not copied
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.hasProperty(QTextFormat::ForegroundBrush) || format.hasProperty(QTextFormat::FontWeight))
                state.formats.push_back({fragment.position(), fragment.length(), format});
        }
    }
    state.showStrColor = ShowStrColor;
    state.firstVisibleLine = FirstVisibleLine();
    state.selStart = SelStart();
    state.selLength = SelLength();
    state.bookmarks = m_bookmarks;
    state.formatGeneration = m_formatGeneration;
    return state;
}

void TMyRichEdit::ResetTextUndo()
{
    m_undo.reset(captureState());
    LastStepKind = CaretKeys;
}

bool TMyRichEdit::textIs(const QString& text) const
{
    const PositionMap& map = positions();
    // A snapshot taken since the last change shares the cached text.
    if (!m_textStale && m_plainText.constData() == text.constData() && m_plainText.size() == text.size())
        return true;
    return map.textEquals(text);
}

bool TMyRichEdit::IsTextModified() const
{
    return m_undo.current() != m_undo.first() || !textIs(m_undo.currentState().text);
}

// The shown state keeps its text but takes the current view and formats. With the same text and
// no format change since, the formats are those it holds: walking the document for them would
// cost more than the keystroke.
void TMyRichEdit::updateCurrentSnapshot()
{
    TRichUndoMemory& current = m_undo.currentState();
    if (current.formatGeneration != m_formatGeneration) {
        std::vector<TBookmark> bookmarks = std::move(current.bookmarks);
        current = captureState();
        current.bookmarks = std::move(bookmarks);
        return;
    }
    current.showStrColor = ShowStrColor;
    current.firstVisibleLine = FirstVisibleLine();
    current.selStart = SelStart();
    current.selLength = SelLength();
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
    if (!IsTextModified())
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

void TMyRichEdit::RestoreTextSnapshot()
{
    const TRichUndoMemory& state = m_undo.currentState();
    const QSignalBlocker detached(this);
    const bool changed = !textIs(state.text);
    const bool wasModified = Modified();
    SetText(state.text);
    if (!state.formats.empty()) {
        QTextCursor c(document());
        c.beginEditBlock();
        for (const TRichUndoMemory::FormatRun& run : state.formats) {
            c.setPosition(run.from);
            c.setPosition(run.from + run.length, QTextCursor::KeepAnchor);
            c.setCharFormat(run.format);
        }
        c.endEditBlock();
    }
    ++m_formatGeneration;
    ShowStrColor = state.showStrColor;
    setSelStart(state.selStart);
    setSelLength(state.selLength);
    ScrollToLine(state.firstVisibleLine);
    m_bookmarks = state.bookmarks;
    m_bookmarks.resize(size_t(m_sioriMax + 1), Unset);
    setModified(wasModified || changed);
}
