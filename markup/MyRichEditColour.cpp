// The control's mark-up colouring: the scanners' spans put on the text as character formats.
#include "MyRichEdit.h"

#include "MarkupColour.h"

#include <QFontMetrics>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTextBlock>

#include <algorithm>
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

// What the range holds now, as the kinds below (-1: any other format, or a line break); of equal
// formats, the first kind.
std::vector<signed char> currentKinds(const QTextDocument& document, int from, int to,
                                             const QTextCharFormat (&formats)[4])
{
    std::vector<signed char> kinds(size_t(to - from), -1);
    std::vector<std::pair<int, signed char>> known; // format index -> kind; a handful at most
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() < to; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int start = std::max(from, fragment.position());
            const int end = std::min(to, fragment.position() + fragment.length());
            if (start >= end)
                continue;
            const int index = fragment.charFormatIndex();
            auto k = std::find_if(known.begin(), known.end(), [&](const auto& p) { return p.first == index; });
            if (k == known.end()) {
                const QTextCharFormat format = fragment.charFormat();
                signed char kind = -1;
                for (signed char i = 0; i < 4 && kind < 0; ++i)
                    if (format == formats[size_t(i)])
                        kind = i;
                k = known.insert(known.end(), {index, kind});
            }
            std::fill(kinds.begin() + (start - from), kinds.begin() + (end - from), k->second);
        }
    }
    return kinds;
}

} // namespace

void TMyRichEdit::ApplyColourRanges()
{
    const QTextCursor caret = textCursor();
    applyColourRanges(caret.selectionStart(), caret.selectionEnd());
}

// Formats only: neither the text nor the modified state changes, and the host hears nothing.
// Later lists win where spans overlap; since every span sets the same two properties, the range
// is flattened into runs of one kind, and a run is set only where the text shows another format:
// recolouring after a keystroke then changes a few runs, not every span in view.
void TMyRichEdit::applyColourRanges(int fromDocument, int toDocument)
{
    if (toDocument <= fromDocument)
        return;
    const bool wasModified = Modified();
    const PositionMap& map = positions();
    enum : signed char { Plain, Answer, Function, Error };
    std::vector<signed char> kinds(size_t(toDocument - fromDocument), Plain);
    // Thousands of span ends after a whole-text scan: one table for the range, not a search each.
    const int charFrom = map.charFromDocument(fromDocument), charTo = map.charFromDocument(toDocument);
    const std::vector<int> documentAt = map.documentsFromChars(charFrom, charTo);
    const auto documentOf = [&](int charPosition) {
        return documentAt[size_t(std::clamp(charPosition, charFrom, charTo) - charFrom)];
    };
    const auto mark = [&](const TDataList& spans, signed char kind) {
        for (int i = 0; i + 1 < spans.Count(); i += 2) {
            const int from = std::max(fromDocument, documentOf(spans.Get(i)));
            const int to = std::min(toDocument, documentOf(spans.Get(i + 1)));
            if (from < to)
                std::fill(kinds.begin() + (from - fromDocument), kinds.begin() + (to - fromDocument), kind);
        }
    };
    const TStrColor& colours = *m_strColor;
    const QTextCharFormat formats[4] = {QTextCharFormat(), spanFormat(colours.Color2, true),
                                        spanFormat(colours.Color3, true), spanFormat(colours.Color4, false)};
    // Kinds that look alike (answer and function brackets in one colour) are one run.
    const auto lookAlike = [&](signed char kind) {
        signed char first = 0;
        while (!(formats[size_t(first)] == formats[size_t(kind)]))
            ++first;
        return first;
    };
    mark(AnswerSpans, lookAlike(Answer));
    mark(FunctionSpans, lookAlike(Function));
    mark(ErrorSpans, lookAlike(Error));
    const std::vector<signed char> shown = currentKinds(*document(), fromDocument, toDocument, formats);
    QTextCursor c(document());
    // One edit block: the layout is redone once for all runs. From the last run back, which Qt's
    // fragment tree splits a little faster than from the first on.
    const QScopedValueRollback formatsOnly(m_settingFormats, true);
    c.beginEditBlock();
    for (size_t end = kinds.size(); end > 0;) {
        size_t run = end - 1;
        while (run > 0 && kinds[run - 1] == kinds[end - 1])
            --run;
        if (!std::equal(kinds.begin() + run, kinds.begin() + end, shown.begin() + run)) {
            c.setPosition(fromDocument + int(run));
            c.setPosition(fromDocument + int(end), QTextCursor::KeepAnchor);
            c.setCharFormat(formats[size_t(kinds[run])]);
        }
        end = run;
    }
    c.endEditBlock();
    if (!m_positionsStale)
        m_positions.renew(fromDocument, toDocument);
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
    const int from = documentPosition(visibleStart), to = documentPosition(std::max(visibleStart, visibleEnd));
    const qsizetype comment = positions().mid(from, to - from).indexOf(u"{*");
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
    // Only the range (and the character before it, which the comment rules look at) is scanned.
    const PositionMap& map = positions();
    const int docFrom = map.documentFromByte(from), docTo = map.documentFromByte(std::min(to, TextLength()));
    const int lead = docFrom > 0 ? 1 : 0;
    QString part = map.mid(docFrom - lead, docTo - docFrom + lead);
    part.replace(u'\n', u"\r\n"_s);
    const int start = lead == 0 ? 0 : map.at(docFrom - 1) == u'\n' ? 2 : 1;
    MarkupScanner scanner;
    scanner.TestVersion = TestVersion;
    scanner.Color2Enabled = m_strColor->Color2Enabled;
    scanner.Color3Enabled = m_strColor->Color3Enabled;
    scanner.Color4Enabled = m_strColor->Color4Enabled;
    TDataList functions, answers, errors;
    scanner.scanFunctions(part, start, int(part.size()), functions, errors);
    scanner.scanAnswers(part, start, int(part.size()), answers, errors);
    const int base = map.charFromDocument(docFrom) - start;
    for (auto [local, spans] :
         {std::pair{&functions, &FunctionSpans}, std::pair{&answers, &AnswerSpans}, std::pair{&errors, &ErrorSpans}})
        for (int i = 0; i < local->Count(); ++i)
            spans->Add(local->Get(i) + base);
    // The caret does not move, so the view stays where it is without being saved and restored.
    applyColourRanges(docFrom, docTo);
}
