#include "MyRichEdit.h"

#include "Cp932.h"
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
#include <QSet>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString RefusalMessage = u"次の文字はシフトJIS（コードページ932）で表せないため，入力できません。\r\n"_s;
constexpr char16_t LineEndMark = 0x21B5; // ↵

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

char32_t codePointAt(QStringView text, qsizetype i, qsizetype length)
{
    return length == 2 ? QChar::surrogateToUcs4(text[i], text[i + 1]) : char32_t(text[i].unicode());
}

// Takes out what code page 932 cannot hold; returns those characters, each once.
QString dropUnencodable(QString& text)
{
    bool ok = true;
    QString bad;
    Cp932::encode(text, &ok, &bad);
    if (ok)
        return {};
    const QList<char32_t> codes = Cp932::unencodableCharacters(text);
    const QSet<char32_t> refused(codes.begin(), codes.end());
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = charLengthAt(text, i);
        if (!refused.contains(codePointAt(text, i, len)))
            kept += QStringView(text).mid(i, len);
        i += len;
    }
    text = kept;
    return bad;
}

// The document's own characters as toPlainText() gives them.
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
        default:
            break;
        }
    }
    return raw;
}

} // namespace

TMyRichEdit::TMyRichEdit(QWidget* parent) : QPlainTextEdit(parent), m_strColor(std::make_unique<TStrColor>())
{
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Shows in the strip above the viewport when IndentTop exceeds IndentLeft (see SetFormatRect).
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    NumberingColor = ColourText::fromQColor(palette().base().color());
    connect(document(), &QTextDocument::contentsChange, this, &TMyRichEdit::onContentsChange);
    connect(document(), &QTextDocument::contentsChanged, this, &TMyRichEdit::refusePendingText);
    SetFormatRect();
    setModified(false);
    m_bookmarks.assign(size_t(m_sioriMax + 1), TBookmark{-1, -1, -1, -1});
    ResetTextUndo();
}

TMyRichEdit::~TMyRichEdit() = default;

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
        m_positions.reset(toPlainText());
        m_positionsStale = false;
        m_textStale = true;
    }
    return m_positions;
}

const QString& TMyRichEdit::plainText() const
{
    if (m_textStale || m_positionsStale) {
        m_plainText = positions().text();
        m_textStale = false;
    }
    return m_plainText;
}

QString TMyRichEdit::Text() const
{
    QString text = plainText();
    return text.replace(u'\n', u"\r\n"_s);
}

void TMyRichEdit::SetText(const QString& text)
{
    QString plain = normaliseBreaks(text);
    const QString refused = dropUnencodable(plain);
    // Qt gives the whole new text the caret's format, which may be a colour the colourer left.
    QTextCursor plainFormat = textCursor();
    plainFormat.clearSelection();
    plainFormat.setCharFormat(QTextCharFormat());
    setTextCursor(plainFormat);
    {
        // Already clean: no need to look at 64 KB again in the change handler.
        const QScopedValueRollback guard(m_refusing, true);
        setPlainText(plain);
    }
    // Read whole again: cheaper than following how Qt reports a cleared document.
    m_positionsStale = true;
    m_numberingStale = true;
    ++m_formatGeneration;
    if (!refused.isEmpty())
        refuse(refused, false);
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
    QString text = positions().mid(c.selectionStart(), c.selectionEnd() - c.selectionStart());
    return text.replace(u'\n', u"\r\n"_s);
}

void TMyRichEdit::setSelText(const QString& text)
{
    QString plain = normaliseBreaks(text);
    const QString refused = dropUnencodable(plain);
    QTextCursor c = textCursor();
    {
        const QScopedValueRollback guard(m_refusing, true);
        c.insertText(plain);
    }
    setTextCursor(c);
    if (!refused.isEmpty())
        refuse(refused, false);
}

void TMyRichEdit::SelectAll() { selectAll(); }

// ---- Lines and geometry ---------------------------------------------------------------------

int TMyRichEdit::FirstVisibleLine() const { return firstVisibleBlock().blockNumber(); }

void TMyRichEdit::ScrollToLine(int line)
{
    const QTextBlock block = document()->findBlockByNumber(std::clamp(line, 0, LineCount() - 1));
    // The vertical scroll value counts laid-out rows; a block's first row is where it starts.
    verticalScrollBar()->setValue(block.firstLineNumber());
}

int TMyRichEdit::LineIndex(int line) const
{
    QTextBlock block;
    if (line == -1)
        block = textCursor().block();
    else if (line >= 0)
        block = document()->findBlockByNumber(line);
    return block.isValid() ? byteOffset(block.position()) : -1;
}

int TMyRichEdit::LineFromChar(int byteOffset) const
{
    const int position = byteOffset < 0 ? textCursor().selectionStart() : documentPosition(byteOffset);
    return document()->findBlock(position).blockNumber();
}

int TMyRichEdit::LineCount() const { return document()->blockCount(); }

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
    const QTextBlock block = textCursor().block();
    if (block.blockNumber() == 0)
        return 0;
    return byteOffset(atBreak ? block.position() - 1 : block.position());
}

int TMyRichEdit::LineEndOfCaret(bool atBreak) const
{
    const QTextBlock block = textCursor().block();
    if (!block.next().isValid())
        return TextLength();
    const int lineBreak = byteOffset(block.position() + block.length() - 1);
    return atBreak ? lineBreak : lineBreak + 2;
}

// ---- Saved views ----------------------------------------------------------------------------

void TMyRichEdit::SaveColourView()
{
    const int first = FirstVisibleLine();
    const QTextBlock block = document()->findBlockByNumber(first);
    // Without colours the anchor is the line's end, which stays on that line however the
    // colourer rewrites the line's beginning.
    const int anchor = ShowStrColor ? block.position() : block.position() + block.length() - 1;
    m_colourView = {SelStart(), SelLength(), first, byteOffset(anchor)};
}

void TMyRichEdit::RestoreColourView(bool withLength)
{
    // Formats never move the caret: setting it again would only lay out its line before the paint.
    if (SelStart() != m_colourView.selStart || SelLength() != 0)
        setSelStart(m_colourView.selStart);
    if (withLength)
        setSelLength(m_colourView.selLength);
    ScrollToLine(LineFromChar(m_colourView.anchor));
}

void TMyRichEdit::SaveViewState() { m_viewState = {SelStart(), SelLength(), FirstVisibleLine(), 0}; }

void TMyRichEdit::RestoreViewState(bool withLength)
{
    ScrollToLine(m_viewState.firstLine);
    setSelStart(m_viewState.selStart);
    if (withLength)
        setSelLength(m_viewState.selLength);
}

// ---- Unencodable text -----------------------------------------------------------------------

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
    const int length = document()->characterCount() - 1;
    if (!m_positionsStale) {
        // Qt counts the paragraph separator that ends every document; the text has none.
        const int beyond = std::max(0, position + added - length);
        const int was = removed - beyond, now = added - beyond;
        if (position < 0 || was < 0 || now < 0 || position + was > m_positions.documentLength()
            || m_positions.documentLength() - was + now != length) {
            m_positionsStale = true;
        } else {
            const QString part = plainFromRaw(rawText(position, position + now));
            // A change of formats only (the colourer's and the margin's): nothing new came in.
            if (was == now && m_positions.mid(position, now) == part)
                return;
            m_positions.replace(position, was, part);
        }
    }
    m_textStale = true;
    ++m_textEdits;
    numberingLinesChanged(position, added);
    if (m_refusing || added <= 0)
        return;
    const int end = std::min(position + added, document()->characterCount() - 1);
    m_pendingFrom = m_pendingFrom < 0 ? position : std::min(m_pendingFrom, position);
    m_pendingTo = std::max(m_pendingTo, end);
}

void TMyRichEdit::refusePendingText()
{
    if (m_refusing || m_pendingFrom < 0)
        return;
    const int from = m_pendingFrom;
    const int to = std::min(m_pendingTo, document()->characterCount() - 1);
    m_pendingFrom = m_pendingTo = -1;
    if (to <= from)
        return;

    const QString raw = rawText(from, to);
    bool ok = true;
    QString refused;
    Cp932::encode(plainFromRaw(raw), &ok, &refused);
    const bool lineSeparators = raw.contains(QChar::LineSeparator);
    if (ok && !lineSeparators)
        return;

    // Offsets in the range of what goes (length) or becomes a line break (length 0 marks it).
    const QList<char32_t> codes = ok ? QList<char32_t>() : Cp932::unencodableCharacters(plainFromRaw(raw));
    const QSet<char32_t> bad(codes.begin(), codes.end());
    std::vector<std::pair<int, int>> edits;
    for (qsizetype i = 0; i < raw.size();) {
        const qsizetype len = charLengthAt(raw, i);
        if (raw[i] == QChar::LineSeparator)
            edits.emplace_back(int(i), 0);
        else if (!ok && bad.contains(codePointAt(raw, i, len)))
            edits.emplace_back(int(i), int(len));
        i += len;
    }
    {
        const QScopedValueRollback guard(m_refusing, true);
        QTextCursor c(document());
        c.beginEditBlock();
        for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
            c.setPosition(from + it->first);
            c.setPosition(from + it->first + std::max(it->second, 1), QTextCursor::KeepAnchor);
            c.removeSelectedText();
            if (it->second == 0)
                c.insertBlock();
        }
        c.endEditBlock();
    }
    if (!ok)
        refuse(refused, true);
}

void TMyRichEdit::refuse(const QString& characters, bool later)
{
    emit unencodableRefused(characters);
    if (!later) {
        Prompter::warn(this, RefusalMessage + characters);
        return;
    }
    // A modal box inside a key, input method or drop handler would run an event loop in the middle
    // of Qt's own edit.
    QTimer::singleShot(0, this, [this, characters] { Prompter::warn(this, RefusalMessage + characters); });
}

void TMyRichEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QString text = normaliseBreaks(source->text());
    const QString refused = dropUnencodable(text);
    if (!text.isEmpty()) {
        QMimeData clean;
        clean.setText(text);
        QPlainTextEdit::insertFromMimeData(&clean);
    }
    if (!refused.isEmpty())
        refuse(refused, true);
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
            if (lineBreak >= selFrom && lineBreak < selTo)
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
    marked.setCommitString(event->commitString(), event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&marked);
    event->setAccepted(marked.isAccepted());
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
