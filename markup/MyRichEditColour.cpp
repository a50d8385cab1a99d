// The control's mark-up colouring: the scanners' spans put on the text as character formats.
#include "MyRichEdit.h"

#include "MarkupColour.h"

#include <QFontMetrics>
#include <QSignalBlocker>
#include <QTextBlock>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

QTextCharFormat spanFormat(ColourText::TColor colour, bool bold)
{
    QTextCharFormat format;
    format.setForeground(ColourText::toQColor(colour));
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    return format;
}

} // namespace

void TMyRichEdit::ApplyColourRanges()
{
    const QTextCursor caret = textCursor();
    applyColourRanges(caret.selectionStart(), caret.selectionEnd());
}

// Formats only: neither the text nor the modified state changes, and the host hears nothing.
// Later lists win where spans overlap; since every span sets the same two properties, the range
// is flattened into runs of one kind and each run is set once.
void TMyRichEdit::applyColourRanges(int fromDocument, int toDocument)
{
    if (toDocument <= fromDocument)
        return;
    const bool wasModified = Modified();
    const PositionMap& map = positions();
    enum : char { Plain, Answer, Function, Error };
    std::vector<char> kinds(size_t(toDocument - fromDocument), Plain);
    const auto mark = [&](const TDataList& spans, char kind) {
        for (int i = 0; i + 1 < spans.Count(); i += 2) {
            const int from = std::max(fromDocument, map.documentFromChar(spans.Get(i)));
            const int to = std::min(toDocument, map.documentFromChar(spans.Get(i + 1)));
            if (from < to)
                std::fill(kinds.begin() + (from - fromDocument), kinds.begin() + (to - fromDocument), kind);
        }
    };
    mark(AnswerSpans, Answer);
    mark(FunctionSpans, Function);
    mark(ErrorSpans, Error);
    const TStrColor& colours = *m_strColor;
    const QTextCharFormat formats[] = {QTextCharFormat(), spanFormat(colours.Color2, true),
                                       spanFormat(colours.Color3, true), spanFormat(colours.Color4, false)};
    QTextCursor c(document());
    // One edit block: the layout is redone once for all runs.
    c.beginEditBlock();
    for (size_t run = 0; run < kinds.size();) {
        size_t end = run + 1;
        while (end < kinds.size() && kinds[end] == kinds[run])
            ++end;
        c.setPosition(fromDocument + int(run));
        c.setPosition(fromDocument + int(end), QTextCursor::KeepAnchor);
        c.setCharFormat(formats[size_t(kinds[run])]);
        run = end;
    }
    c.endEditBlock();
    ++m_formatGeneration;
    setModified(wasModified);
}

void TMyRichEdit::RecolourAll()
{
    if (!ShowStrColor)
        return;
    const QSignalBlocker detached(this);
    SaveColourView();
    FunctionSpans.Clear();
    AnswerSpans.Clear();
    ErrorSpans.Clear();
    const QString text = Text();
    MarkupScanner scanner;
    scanner.TestVersion = TestVersion;
    scanner.Color2Enabled = m_strColor->Color2Enabled;
    scanner.Color3Enabled = m_strColor->Color3Enabled;
    scanner.Color4Enabled = m_strColor->Color4Enabled;
    scanner.scanFunctions(text, 0, int(text.size()), FunctionSpans, ErrorSpans);
    scanner.scanAnswers(text, 0, int(text.size()), AnswerSpans, ErrorSpans);
    // The whole text back to plain first, which drops every earlier format.
    applyColourRanges(0, document()->characterCount() - 1);
    RestoreColourView(false);
}

std::pair<int, int> TMyRichEdit::WidenRangeForComment(int startByte, int endByte)
{
    const int first = FirstVisibleLine();
    const int lineHeight = std::max(1, QFontMetrics(font()).height());
    const int visibleLines = FormatRect().height() / lineHeight;
    const int visibleStart = LineIndex(first);
    int visibleEnd = LineIndex(first + visibleLines);
    if (visibleEnd < 0)
        visibleEnd = TextLength() - 1;
    positions();
    const int from = documentPosition(visibleStart), to = documentPosition(std::max(visibleStart, visibleEnd));
    const qsizetype comment = QStringView(m_plainText).mid(from, to - from).indexOf(u"{*");
    if (comment >= 0) {
        // Cover the comment and what was asked for both.
        const int commentStart = byteOffset(from + int(comment));
        CommentStart = std::min(startByte, commentStart);
        CommentEnd = std::max(endByte, visibleEnd);
        return {CommentStart, CommentEnd};
    }
    if (CommentStart >= 0) {
        const std::pair<int, int> widened{std::min(startByte, CommentStart), std::max(endByte, CommentEnd)};
        CommentStart = CommentEnd = -1;
        return widened;
    }
    return {startByte, endByte};
}

void TMyRichEdit::RecolourRange(int startByte, int endByte)
{
    if (!ShowStrColor || SelLength() > 0 || startByte == endByte)
        return;
    const QSignalBlocker detached(this);
    const auto [from, to] = WidenRangeForComment(startByte, endByte);
    FunctionSpans.Clear();
    AnswerSpans.Clear();
    ErrorSpans.Clear();
    const QString text = Text();
    const PositionMap& map = positions();
    const int fromChar = map.charFromByte(from), toChar = map.charFromByte(std::min(to, TextLength()));
    MarkupScanner scanner;
    scanner.TestVersion = TestVersion;
    scanner.Color2Enabled = m_strColor->Color2Enabled;
    scanner.Color3Enabled = m_strColor->Color3Enabled;
    scanner.Color4Enabled = m_strColor->Color4Enabled;
    scanner.scanFunctions(text, fromChar, toChar, FunctionSpans, ErrorSpans);
    scanner.scanAnswers(text, fromChar, toChar, AnswerSpans, ErrorSpans);
    // The caret does not move, so the view stays where it is without being saved and restored.
    applyColourRanges(map.documentFromByte(from), map.documentFromByte(std::min(to, TextLength())));
}
