#include "MyRichEdit.h"

#include "FixedColours.h"
#include "Prompter.h"

#include <QDropEvent>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr char16_t LineEndMark = 0x21B5; // ↵
constexpr QChar RowBreak(PositionMap::RowBreak);
// The state of a block that follows a row break.
constexpr int RowContinues = 1;

// Every way of breaking a line that callers and the clipboard use becomes one line break.
QString normaliseBreaks(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

// Length of the character starting at index i (a surrogate pair is one character).
qsizetype charLengthAt(QStringView text, qsizetype i)
{
    return text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
}

// The document's own characters as toPlainText() gives them. Only the control makes row breaks: a
// character that looks like one came in from outside, and goes as code page 932 cannot hold it.
QString plainFromRaw(QString raw)
{
    for (QChar& c : raw) {
        switch (c.unicode()) {
        case 0xFDD0: // frame markers
        case 0xFDD1:
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
            c = u'\n';
            break;
        case QChar::Nbsp:
            c = u' ';
            break;
        case PositionMap::RowBreak:
            c = QChar::ReplacementCharacter;
            break;
        default:
            break;
        }
    }
    return raw;
}

// Where a row of a long line may end near `target`: after a blank or a Japanese comma or full stop
// when one is near, and never inside a surrogate pair or a pair the mark-up reads as one ("{*",
// "*}", "//"), so that rows never split what the colourer or the gutter look for.
qsizetype rowEnd(QStringView line, qsizetype target)
{
    const auto allowed = [&](qsizetype i) {
        const QChar before = line[i - 1];
        return !before.isHighSurrogate() && before != u'{' && before != u'*' && before != u'/';
    };
    for (qsizetype i = target; i > target - 256 && i > 0; --i) {
        const QChar before = line[i - 1];
        if ((before == u' ' || before == u'\u3000' || before == u'、' || before == u'。') && allowed(i))
            return i;
    }
    qsizetype i = target;
    while (i > 1 && !allowed(i))
        --i;
    return i;
}

} // namespace

TMyRichEdit::TMyRichEdit(QWidget* parent) : QPlainTextEdit(parent), m_strColor(std::make_unique<TStrColor>())
{
    setUndoRedoEnabled(false);
    // Tab moves the focus: the control does not want tabs (a TAB would reach the map file).
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Shows in the strip above the viewport when IndentTop exceeds IndentLeft (see SetFormatRect).
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    NumberingColor = ColourText::fromQColor(palette().base().color());
    connect(document(), &QTextDocument::contentsChange, this, &TMyRichEdit::onContentsChange);
    connect(document(), &QTextDocument::contentsChanged, this, &TMyRichEdit::afterEdit);
    SetFormatRect();
    setModified(false);
    m_bookmarks.assign(size_t(m_sioriMax + 1), TBookmark{-1, -1, -1, -1});
    ResetTextUndo();
}

TMyRichEdit::~TMyRichEdit() = default;

TMyRichEdit::Admission TMyRichEdit::DescriptionAdmission()
{
    return {{.tabs = TextAdmission::Tabs::Blank, .controls = TextAdmission::Controls::Refuse}, u"マップファイル"_s};
}

TMyRichEdit::Admission TMyRichEdit::TextFileAdmission()
{
    return {{.tabs = TextAdmission::Tabs::Blank, .controls = TextAdmission::Controls::Keep}, u"テキストファイル"_s};
}

TextAdmission::Result TMyRichEdit::admit(const QString& text, const TextAdmission::Options& options) const
{
    return TextAdmission::admit(normaliseBreaks(text), options);
}

void TMyRichEdit::SetColor(const QColor& ground)
{
    m_fixedColor = ground;
    FixedColours::fix(*this, QPalette::Base, ground);
}

void TMyRichEdit::setIndentLeft(int pixels)
{
    m_indentLeft = std::max(0, pixels);
    SetFormatRect();
}

void TMyRichEdit::setIndentTop(int pixels)
{
    m_indentTop = std::max(0, pixels);
    SetFormatRect();
}

// ---- Text -----------------------------------------------------------------------------------

const PositionMap& TMyRichEdit::positions() const
{
    if (m_positionsStale) {
        m_positions.reset(documentText());
        m_positionsStale = false;
        m_textStale = true;
    }
    return m_positions;
}

QString TMyRichEdit::documentText() const
{
    QString text = toPlainText();
    for (QTextBlock block = document()->begin().next(); block.isValid(); block = block.next())
        if (block.userState() == RowContinues)
            text[block.position() - 1] = RowBreak;
    return text;
}

const QString& TMyRichEdit::plainText() const
{
    if (m_textStale || m_positionsStale) {
        m_plainText = positions().plainText();
        m_textStale = false;
    }
    return m_plainText;
}

QString TMyRichEdit::withRows(const QString& text)
{
    QString rows;
    qsizetype lineStart = 0;
    while (lineStart <= text.size()) {
        qsizetype lineEnd = text.indexOf(u'\n', lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        const QStringView line = QStringView(text).mid(lineStart, lineEnd - lineStart);
        qsizetype from = 0;
        while (line.size() - from > LongestRow) {
            const qsizetype to = rowEnd(line, from + RowLength);
            rows += line.mid(from, to - from);
            rows += RowBreak;
            from = to;
        }
        rows += line.mid(from);
        if (lineEnd < text.size())
            rows += u'\n';
        lineStart = lineEnd + 1;
    }
    return rows;
}

QString TMyRichEdit::Text() const
{
    QString text = plainText();
    return text.replace(u'\n', u"\r\n"_s);
}

// A stored text comes in by the box's rule too, but a TAB it holds stays: the file kept it, and
// what a file holds is never changed on its way into a box.
void TMyRichEdit::SetText(const QString& text)
{
    TextAdmission::Options stored = m_admission.options;
    stored.tabs = TextAdmission::Tabs::Keep;
    const TextAdmission::Result admitted = admit(text, stored);
    const QString& plain = admitted.text;
    // Qt gives the whole new text the caret's format, which may be a colour the colourer left.
    QTextCursor plainFormat = textCursor();
    plainFormat.clearSelection();
    plainFormat.setCharFormat(QTextCharFormat());
    setTextCursor(plainFormat);
    const QString rows = withRows(plain);
    {
        // Already clean: no need to look at 64 KB again in the change handler. The positions are
        // the text's, cheaper than following how Qt reports a cleared document.
        const QScopedValueRollback guard(m_refusing, true);
        const QScopedValueRollback placing(m_placing, true);
        m_positionsStale = true;
        setPlainText(rows.size() == plain.size() ? plain : QString(rows).replace(RowBreak, u'\n'));
    }
    m_positions.reset(rows);
    m_positionsStale = false;
    m_textStale = true;
    if (rows.size() != plain.size())
        markRows(0, m_positions.documentLength());
    m_numberingStale = true;
    if (admitted.refusedAny())
        refuse(admitted, false);
}

int TMyRichEdit::TextLength() const { return positions().byteLength(); }

bool TMyRichEdit::Modified() const { return document()->isModified(); }

void TMyRichEdit::setModified(bool modified) { document()->setModified(modified); }

// ---- Selection ------------------------------------------------------------------------------

int TMyRichEdit::SelStart() const { return byteOffset(textCursor().selectionStart()); }

void TMyRichEdit::setSelStart(int byteOffset)
{
    QTextCursor c = textCursor();
    c.setPosition(documentPosition(byteOffset));
    setTextCursor(c);
}

int TMyRichEdit::SelLength() const
{
    const QTextCursor c = textCursor();
    return byteOffset(c.selectionEnd()) - byteOffset(c.selectionStart());
}

void TMyRichEdit::setSelLength(int bytes)
{
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    c.setPosition(start);
    c.setPosition(documentPosition(byteOffset(start) + bytes), QTextCursor::KeepAnchor);
    setTextCursor(c);
}

QString TMyRichEdit::SelText() const
{
    const QTextCursor c = textCursor();
    QString text = PositionMap::withoutRowBreaks(positions().mid(c.selectionStart(), c.selectionEnd() - c.selectionStart()));
    return text.replace(u'\n', u"\r\n"_s);
}

void TMyRichEdit::setSelText(const QString& text)
{
    const TextAdmission::Result admitted = admit(text, m_admission.options);
    QTextCursor c = textCursor();
    {
        const QScopedValueRollback guard(m_refusing, true);
        insertPlain(c, admitted.text);
    }
    setTextCursor(c);
    if (admitted.refusedAny())
        refuse(admitted, false);
}

// A long text goes in row by row, so that Qt never lays out more than a row at once.
void TMyRichEdit::insertPlain(QTextCursor& cursor, const QString& plain)
{
    if (plain.size() <= LongestRow) {
        cursor.insertText(plain);
        return;
    }
    const QStringList rows = withRows(plain).split(RowBreak);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i > 0) {
            const QScopedValueRollback rowBreak(m_insertingRowBreak, true);
            cursor.insertBlock();
        }
        cursor.insertText(rows[i]);
    }
}

void TMyRichEdit::SelectAll() { selectAll(); }

// ---- Lines and geometry ---------------------------------------------------------------------

int TMyRichEdit::FirstVisibleLine() const { return positions().lineOfDocument(firstVisibleBlock().position()); }

void TMyRichEdit::ScrollToLine(int line)
{
    const PositionMap& map = positions();
    scrollToRow(document()->findBlock(map.documentOfLine(std::clamp(line, 0, map.lineCount() - 1))).blockNumber());
}

void TMyRichEdit::scrollToRow(int row)
{
    const QTextBlock block = document()->findBlockByNumber(std::clamp(row, 0, document()->blockCount() - 1));
    // The vertical scroll value counts laid-out rows; a block's first row is where it starts.
    verticalScrollBar()->setValue(block.firstLineNumber());
}

int TMyRichEdit::LineIndex(int line) const
{
    const int start = line == -1 ? lineStartOf(textCursor().position()) : positions().documentOfLine(line);
    return start >= 0 ? byteOffset(start) : -1;
}

int TMyRichEdit::LineFromChar(int byteOffset) const
{
    const int position = byteOffset < 0 ? textCursor().selectionStart() : documentPosition(byteOffset);
    return positions().lineOfDocument(position);
}

int TMyRichEdit::LineCount() const { return positions().lineCount(); }

int TMyRichEdit::lineStartOf(int documentPosition) const
{
    const PositionMap& map = positions();
    return map.documentOfLine(map.lineOfDocument(documentPosition));
}

int TMyRichEdit::lineEndOf(int documentPosition) const
{
    const PositionMap& map = positions();
    const int next = map.documentOfLine(map.lineOfDocument(documentPosition) + 1);
    return next < 0 ? map.documentLength() : next - 1;
}

bool TMyRichEdit::rowBreakAt(int documentPosition) const { return positions().at(documentPosition) == RowBreak; }

// The document margin insets the text on the left and the right (and below the start of the
// document); the strip at the top that scrolled text passes under is painted over, as the
// toolkit's formatting rectangle clipped it. Only an IndentTop larger than the document margin
// needs a viewport margin on top, so that the first line starts at IndentTop.
void TMyRichEdit::SetFormatRect()
{
    if (document()->documentMargin() != qreal(m_indentLeft)) {
        const bool wasModified = Modified();
        const QScopedValueRollback guard(m_refusing, true);
        document()->setDocumentMargin(m_indentLeft);
        setModified(wasModified);
    }
    const int top = std::max(0, m_indentTop - m_indentLeft);
    if (viewportMargins().top() != top)
        setViewportMargins(0, top, 0, 0);
}

QRect TMyRichEdit::FormatRect() const
{
    const QRect area = viewport()->rect();
    const int top = std::max(0, m_indentTop - viewportMargins().top());
    return QRect(m_indentLeft, top, std::max(0, area.width() - 2 * m_indentLeft), std::max(0, area.height() - top));
}

int TMyRichEdit::CharFromPos(const QPoint& point) const { return byteOffset(cursorForPosition(point).position()); }

QPoint TMyRichEdit::PosFromChar(int byteOffset) const
{
    QTextCursor c(document());
    c.setPosition(documentPosition(byteOffset));
    return cursorRect(c).topLeft();
}

void TMyRichEdit::ScrollCaret() { ensureCursorVisible(); }

int TMyRichEdit::LineStartOfCaret(bool atBreak) const
{
    const int start = lineStartOf(textCursor().position());
    if (start == 0)
        return 0;
    return byteOffset(atBreak ? start - 1 : start);
}

int TMyRichEdit::LineEndOfCaret(bool atBreak) const
{
    const int end = lineEndOf(textCursor().position());
    if (end == positions().documentLength())
        return TextLength();
    const int lineBreak = byteOffset(end);
    return atBreak ? lineBreak : lineBreak + 2;
}

// ---- Saved views ----------------------------------------------------------------------------

void TMyRichEdit::SaveColourView() { m_colourView = {SelStart(), SelLength(), firstVisibleRow()}; }

void TMyRichEdit::RestoreColourView(bool withLength)
{
    // Formats never move the caret: setting it again would only lay out its line before the paint.
    if (SelStart() != m_colourView.selStart || SelLength() != 0)
        setSelStart(m_colourView.selStart);
    if (withLength)
        setSelLength(m_colourView.selLength);
    scrollToRow(m_colourView.firstLine);
}

void TMyRichEdit::SaveViewState() { m_viewState = {SelStart(), SelLength(), FirstVisibleLine()}; }

void TMyRichEdit::RestoreViewState(bool withLength)
{
    ScrollToLine(m_viewState.firstLine);
    setSelStart(m_viewState.selStart);
    if (withLength)
        setSelLength(m_viewState.selLength);
}

// ---- Text coming in --------------------------------------------------------------------------

QString TMyRichEdit::rawText(int from, int to) const
{
    QTextCursor c(document());
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    return c.selectedText();
}

// The positions follow each change as it comes, so a keystroke costs the piece of text it falls
// in, not the whole text.
void TMyRichEdit::onContentsChange(int position, int removed, int added)
{
    if (m_settingFormats)
        return;
    if (m_placing) {
        numberingLinesChanged(position, added);
        return;
    }
    const int length = document()->characterCount() - 1;
    if (!m_positionsStale) {
        // Qt counts the paragraph separator that ends every document; the text has none.
        const int beyond = std::max(0, position + added - length);
        const int was = removed - beyond, now = added - beyond;
        if (position < 0 || was < 0 || now < 0 || position + was > m_positions.documentLength()
            || m_positions.documentLength() - was + now != length) {
            m_positionsStale = true;
        } else {
            QString part = plainFromRaw(rawText(position, position + now));
            // A change of formats only (the margin's): nothing new came in, but the formats taken
            // with these pieces no longer hold.
            if (was == now && m_positions.mid(position, now) == part) {
                m_positions.renew(position, position + now);
                return;
            }
            if (m_insertingRowBreak)
                part.replace(u'\n', RowBreak);
            m_positions.replace(position, was, part);
        }
    }
    m_rowsFrom = m_rowsFrom < 0 ? position : std::min(m_rowsFrom, position);
    m_rowsTo = std::max(m_rowsTo, position + added);
    m_textStale = true;
    ++m_textEdits;
    numberingLinesChanged(position, added);
    if (m_refusing || added <= 0)
        return;
    const int end = std::min(position + added, document()->characterCount() - 1);
    m_pendingFrom = m_pendingFrom < 0 ? position : std::min(m_pendingFrom, position);
    m_pendingTo = std::max(m_pendingTo, end);
}

void TMyRichEdit::afterEdit()
{
    refusePendingText();
    if (m_rowsFrom < 0 || m_fitting)
        return;
    const int from = m_rowsFrom, to = m_rowsTo;
    m_rowsFrom = m_rowsTo = -1;
    fitRows(from, to);
}

void TMyRichEdit::markRows(int fromDocument, int toDocument)
{
    const PositionMap& map = positions();
    for (QTextBlock block = document()->findBlock(std::max(0, fromDocument));
         block.isValid() && block.position() <= toDocument; block = block.next()) {
        const int state = block.position() > 0 && map.at(block.position() - 1) == RowBreak ? RowContinues : -1;
        if (block.userState() != state)
            block.setUserState(state);
    }
}

// Rows are made only where a row grew past LongestRow (typing, a paste, a drop); rows an edit left
// short stay, as short rows cost nothing.
void TMyRichEdit::fitRows(int fromDocument, int toDocument)
{
    const int length = document()->characterCount() - 1;
    fromDocument = std::clamp(fromDocument, 0, length);
    toDocument = std::clamp(toDocument, fromDocument, length);
    markRows(fromDocument, toDocument);
    std::vector<int> cuts;
    for (QTextBlock block = document()->findBlock(fromDocument); block.isValid() && block.position() <= toDocument;
         block = block.next()) {
        if (block.length() - 1 <= LongestRow)
            continue;
        const QString text = block.text();
        for (qsizetype from = 0; text.size() - from > LongestRow;) {
            from = rowEnd(text, from + RowLength);
            cuts.push_back(block.position() + int(from));
        }
    }
    if (cuts.empty())
        return;
    const QScopedValueRollback fitting(m_fitting, true);
    const QScopedValueRollback guard(m_refusing, true);
    const QScopedValueRollback rowBreak(m_insertingRowBreak, true);
    const bool wasModified = Modified();
    const QTextCursor caret = textCursor();
    const int anchor = caret.anchor(), position = caret.position();
    QTextCursor c(document());
    c.beginEditBlock();
    for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
        c.setPosition(*it);
        c.insertBlock();
    }
    c.endEditBlock();
    m_rowsFrom = m_rowsTo = -1;
    markRows(cuts.front(), cuts.back() + int(cuts.size()));
    // The caret stays on its character, after the row breaks put in before it.
    const auto shifted = [&](int p) { return p + int(std::count_if(cuts.begin(), cuts.end(), [p](int cut) { return cut < p; })); };
    QTextCursor moved(document());
    moved.setPosition(shifted(anchor));
    moved.setPosition(shifted(position), QTextCursor::KeepAnchor);
    setTextCursor(moved);
    setModified(wasModified);
}

void TMyRichEdit::stepOverRowBreak(int key, Qt::KeyboardModifiers modifiers)
{
    QTextCursor c = textCursor();
    const int p = c.position();
    const PositionMap& map = positions();
    const bool shift = modifiers & Qt::ShiftModifier;
    int to = -1;
    if (key == Qt::Key_Backspace && !c.hasSelection() && p > 0 && map.at(p - 1) == RowBreak)
        to = p - 1;
    else if (key == Qt::Key_Delete && !c.hasSelection() && map.at(p) == RowBreak)
        to = p + 1;
    else if (key == Qt::Key_Left && !(modifiers & Qt::ControlModifier) && p > 0 && map.at(p - 1) == RowBreak)
        to = p - 1;
    else if (key == Qt::Key_Right && !(modifiers & Qt::ControlModifier) && map.at(p) == RowBreak)
        to = p + 1;
    if (to < 0 || (shift ? false : c.hasSelection() && (key == Qt::Key_Left || key == Qt::Key_Right)))
        return;
    c.setPosition(to, shift ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    setTextCursor(c);
}

QMimeData* TMyRichEdit::createMimeDataFromSelection() const
{
    const QTextCursor c = textCursor();
    auto* data = new QMimeData;
    data->setText(PositionMap::withoutRowBreaks(positions().mid(c.selectionStart(), c.selectionEnd() - c.selectionStart())));
    return data;
}

// Keys put their text in through Qt, so it is taken in here, after Qt's edit, one character at a
// time: a character the rule takes as it is stays untouched, with its format.
void TMyRichEdit::refusePendingText()
{
    if (m_refusing || m_pendingFrom < 0)
        return;
    const int from = m_pendingFrom;
    const int to = std::min(m_pendingTo, document()->characterCount() - 1);
    m_pendingFrom = m_pendingTo = -1;
    if (to <= from)
        return;

    // The document's own line breaks (and row breaks) are paragraph separators: they stay.
    const QString raw = rawText(from, to);
    QString probe = raw;
    probe.replace(QChar::ParagraphSeparator, u'\n');
    const TextAdmission::Result whole = TextAdmission::admit(probe, m_admission.options);
    if (whole.text == probe)
        return;

    struct Edit {
        int at, length;
        QString text;
    };
    std::vector<Edit> edits;
    for (qsizetype i = 0; i < raw.size();) {
        const qsizetype length = charLengthAt(raw, i);
        const QStringView one = QStringView(raw).mid(i, length);
        if (raw[i] != QChar::ParagraphSeparator) {
            QString taken = TextAdmission::admit(one, m_admission.options).text;
            if (taken != one)
                edits.push_back({from + int(i), int(length), std::move(taken)});
        }
        i += length;
    }
    // The caret and the selection stay on the characters they were at.
    const auto moved = [&edits](int p) {
        int shift = 0;
        for (const Edit& e : edits) {
            if (p <= e.at)
                break;
            if (p < e.at + e.length)
                return e.at + shift + int(e.text.size());
            shift += int(e.text.size()) - e.length;
        }
        return p + shift;
    };
    const QTextCursor caret = textCursor();
    const int anchor = moved(caret.anchor()), position = moved(caret.position());
    {
        const QScopedValueRollback guard(m_refusing, true);
        QTextCursor c(document());
        c.beginEditBlock();
        for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
            c.setPosition(it->at);
            c.setPosition(it->at + it->length, QTextCursor::KeepAnchor);
            if (it->text.isEmpty())
                c.removeSelectedText();
            else
                c.insertText(it->text); // a line break as a new block, like Return
        }
        c.endEditBlock();
    }
    QTextCursor kept(document());
    kept.setPosition(anchor);
    kept.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(kept);
    if (whole.refusedAny())
        refuse(whole, true);
}

void TMyRichEdit::refuse(const TextAdmission::Result& refused, bool later)
{
    emit unencodableRefused(refused.unstorable + refused.controls);
    const QString message = TextAdmission::refusalMessage(refused, m_admission.file);
    if (!later) {
        Prompter::warn(this, message);
        return;
    }
    // A modal box inside a key, input method or drop handler would run an event loop in the middle
    // of Qt's own edit.
    QTimer::singleShot(0, this, [this, message] { Prompter::warn(this, message); });
}

// A paste Qt makes itself, the X selection's middle-click paste and a drop all come in here.
void TMyRichEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const TextAdmission::Result admitted = admit(source->text(), m_admission.options);
    if (!admitted.text.isEmpty()) {
        QMimeData clean;
        clean.setText(admitted.text);
        const QScopedValueRollback guard(m_refusing, true); // taken in already
        QPlainTextEdit::insertFromMimeData(&clean);
    }
    if (admitted.refusedAny())
        refuse(admitted, true);
}

// ---- Events ---------------------------------------------------------------------------------

void TMyRichEdit::paintEvent(QPaintEvent* event)
{
    QPlainTextEdit::paintEvent(event);
    if (m_strColor->ColorCREnabled && !document()->isEmpty()) {
        QPainter painter(viewport());
        QFont small = font();
        if (small.pointSizeF() > 0)
            small.setPointSizeF(small.pointSizeF() * 0.8);
        else
            small.setPixelSize(std::max(1, small.pixelSize() * 4 / 5));
        painter.setFont(small);
        painter.setPen(ColourText::toQColor(m_strColor->ColorCR));
        const int ascent = QFontMetrics(small).ascent();
        const QTextCursor caret = textCursor();
        const int selFrom = caret.selectionStart(), selTo = caret.selectionEnd();
        const int bottom = viewport()->height();
        const QPointF offset = contentOffset();
        for (QTextBlock block = firstVisibleBlock(); block.isValid() && block.next().isValid(); block = block.next()) {
            if (blockBoundingGeometry(block).translated(offset).top() > bottom)
                break;
            const int lineBreak = block.position() + block.length() - 1;
            if ((lineBreak >= selFrom && lineBreak < selTo) || block.next().userState() == RowContinues)
                continue;
            QTextCursor at(document());
            at.setPosition(lineBreak);
            const QPoint p = cursorRect(at).topLeft();
            painter.drawText(QPointF(p.x() + 1, p.y() + 2 + ascent), QString(QChar(LineEndMark)));
        }

        const QRect text = FormatRect();
        const QRect all = viewport()->rect();
        const QColor base = palette().base().color();
        painter.fillRect(QRect(0, 0, text.left(), all.height()), base);
        painter.fillRect(QRect(text.right() + 1, 0, all.width() - text.right() - 1, all.height()), base);
        painter.fillRect(QRect(text.left(), 0, text.width(), text.top()), base);
        painter.fillRect(QRect(text.left(), text.bottom() + 1, text.width(), all.height() - text.bottom() - 1), base);
    }
    if (OnPaint)
        OnPaint();
}

void TMyRichEdit::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    SetFormatRect();
}

void TMyRichEdit::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && SelLength() > 0) {
        DragLineStart = LineStartOfCaret(false);
        m_dragSource = QTextCursor(document());
        m_dragSource.setPosition(textCursor().selectionStart());
        m_dragSource.setKeepPositionOnInsert(true);
    }
    RecordTextUndoStep(MousePress);
    QPlainTextEdit::mousePressEvent(event);
}

// Qt runs a drag and drop inside the mouse move that starts it and keeps the button's release
// for itself: when the text was moved to another control, its line here is recoloured now.
void TMyRichEdit::mouseMoveEvent(QMouseEvent* event)
{
    const quint64 edits = m_textEdits;
    QPlainTextEdit::mouseMoveEvent(event);
    if (m_textEdits != edits)
        RecolourAfterDrag();
}

void TMyRichEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    RecolourAfterDrag();
}

// No mouse release follows a drop, so the drop itself recolours; text dropped from another
// control is an undo step of its own, like one dragged here.
void TMyRichEdit::dropEvent(QDropEvent* event)
{
    RecordTextUndoStep(MousePress);
    m_dropStart = cursorForPosition(event->position().toPoint());
    m_dropStart.setKeepPositionOnInsert(true);
    QPlainTextEdit::dropEvent(event);
    if (DragLineStart < 0)
        DragLineStart = LineStartOfCaret(false);
    RecolourAfterDrag();
}

// After text was dragged both the line it left and the lines it landed on need colouring again.
// Both are followed by cursors through the drop's edits, whichever comes first in the text.
void TMyRichEdit::RecolourAfterDrag()
{
    if (DragLineStart < 0)
        return;
    const QSignalBlocker detached(this);
    if (ShowStrColor) {
        const QTextCursor kept = textCursor();
        const int first = FirstVisibleLine();
        QTextCursor caret = kept;
        caret.clearSelection();
        setTextCursor(caret);
        const auto recolourLines = [this](int from, int to) {
            const QTextBlock last = document()->findBlock(to);
            RecolourRange(byteOffset(document()->findBlock(from).position()),
                          byteOffset(last.position() + last.length() - 1));
        };
        const int landed =
            m_dropStart.isNull() ? kept.selectionStart() : std::min(m_dropStart.position(), kept.selectionStart());
        if (!m_dragSource.isNull() && document()->findBlock(m_dragSource.position()) != document()->findBlock(landed))
            recolourLines(m_dragSource.position(), m_dragSource.position());
        recolourLines(landed, kept.selectionEnd());
        setTextCursor(kept);
        ScrollToLine(first);
    }
    DrawNumbering();
    DragLineStart = -1;
    m_dragSource = m_dropStart = QTextCursor();
}

void TMyRichEdit::scrollContentsBy(int dx, int dy)
{
    QPlainTextEdit::scrollContentsBy(dx, dy);
    if (dy != 0 && OnScroll) {
        int pos = FirstVisibleLine();
        OnScroll(0, pos);
    }
    if (dx != 0 && OnScrollH) {
        int pos = horizontalScrollBar()->value();
        OnScrollH(0, pos);
    }
}

QTextCharFormat TMyRichEdit::imeFormat()
{
    QTextCharFormat format;
    format.setForeground(QColor(Qt::black));
    format.setBackground(QColor(0, 255, 255));
    return format;
}

void TMyRichEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const bool composing = !event->preeditString().isEmpty();
    const QString result = event->commitString();
    if (!result.isEmpty() && !composing && normaliseBreaks(result) == u"\n"_s) {
        m_imeComposing = false;
        event->accept();
        return;
    }
    if (!m_imeComposing && (composing || !result.isEmpty())) {
        RecordTextUndoStep(Composition);
        resetAfterBracket();
    }
    m_imeComposing = composing;
    QList<QInputMethodEvent::Attribute> attributes = event->attributes();
    const QString preedit = event->preeditString();
    // First, so that the input method's own clause marks still show over it.
    if (!preedit.isEmpty())
        attributes.prepend({QInputMethodEvent::TextFormat, 0, int(preedit.size()), imeFormat()});
    QInputMethodEvent marked(preedit, attributes);
    const TextAdmission::Result committed = admit(result, m_admission.options);
    marked.setCommitString(committed.text, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&marked);
    event->setAccepted(marked.isAccepted());
    if (committed.refusedAny())
        refuse(committed, true);
    if (!composing) {
        // No key release follows a committed result.
        m_needsRecolour = m_needsRenumber = true;
        afterEditKey();
    }
}

// Keys record their step before they take effect, so the snapshot is the state before the run.
void TMyRichEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool ctrl = modifiers & Qt::ControlModifier, alt = modifiers & Qt::AltModifier;
    const auto typing = [this] {
        RecordTextUndoStep(Typing);
        m_needsRecolour = m_needsRenumber = true;
        resetAfterBracket();
    };
    stepOverRowBreak(key, modifiers);
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        RecordTextUndoStep(Deleting);
        m_needsRecolour = m_needsRenumber = true;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        RecordTextUndoStep(EnterKey);
        m_needsRecolour = m_needsRenumber = true;
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_F3:
    case Qt::Key_F4:
    case Qt::Key_Insert:
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!alt)
            RecordTextUndoStep(CaretKeys);
        break;
    default:
        if (key >= Qt::Key_0 && key <= Qt::Key_9) {
            if (!alt)
                typing();
        } else if (key >= Qt::Key_A && key <= Qt::Key_Z) {
            if (!ctrl && !alt)
                typing();
        } else if ((key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
                   || (!event->text().isEmpty() && event->text().front().isPrint() && !ctrl && !alt)) {
            // Punctuation, and characters of keyboards beyond ASCII: typing too.
            typing();
        } else {
            RecordTextUndoStep(Typing);
        }
        break;
    }
    // The host's menu commands select all, copy, paste, cut and undo.
    if (ctrl && !alt
        && (key == Qt::Key_A || key == Qt::Key_C || key == Qt::Key_V || key == Qt::Key_X || key == Qt::Key_Z)) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    viewport()->update();
}

void TMyRichEdit::keyReleaseEvent(QKeyEvent* event)
{
    afterEditKey();
    QPlainTextEdit::keyReleaseEvent(event);
}

bool TMyRichEdit::event(QEvent* event)
{
    // Left unclaimed so that the host's shortcuts for them run.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int k = key->key();
        if ((key->modifiers() & Qt::ControlModifier) && !(key->modifiers() & Qt::AltModifier)
            && (k == Qt::Key_A || k == Qt::Key_C || k == Qt::Key_V || k == Qt::Key_X || k == Qt::Key_Z)) {
            event->ignore();
            return false;
        }
    }
    return QPlainTextEdit::event(event);
}

void TMyRichEdit::afterEditKey()
{
    if (!isReadOnly()) {
        if (m_needsRecolour && ShowStrColor)
            RecolourRange(LineStartOfCaret(false), LineEndOfCaret(true));
        if (m_needsRenumber && m_numbering)
            DrawNumbering();
    }
    m_needsRecolour = m_needsRenumber = false;
}

// Typing after a coloured bracket is plain.
void TMyRichEdit::resetAfterBracket()
{
    const QTextCursor caret = textCursor();
    const PositionMap& text = positions();
    if (text.documentLength() == 0)
        return;
    const int at = caret.selectionStart();
    const QChar before = text.at(std::max(0, at - 1));
    if (before == u']' || before == u'}')
        setCurrentCharFormat(QTextCharFormat());
}
