// The numbering gutter: a picture labelling the lines of a quiz text, kept for a host to show.
// What decides a line's label is read once per line and kept; a change reads again only the lines
// it touched, and pixels are drawn only for the rows a host asks for.
#include "MyRichEdit.h"

#include <QAbstractTextDocumentLayout>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QTextBlock>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

qreal pointSizeOf(const QFont& font)
{
    return QFontInfo(font).pointSizeF();
}

QFont boldFont(const QFont& font)
{
    QFont bold = font;
    bold.setBold(true);
    return bold;
}

// What a line says to the gutter. The comment brackets switch the block comment wherever they
// stand (the last one on the line wins); "//" counts only at the line's start.
enum NumberingLine : quint8 {
    OpensComment = 1,  // the line's last comment bracket is "{*"
    ClosesComment = 2, // ... or "*}"
    CommentLine = 4,   // begins with "//"
    Labelled = 8,      // not empty, and not ending in "*}"
    Unread = 0x80,
};

quint8 readLine(QStringView line)
{
    quint8 flags = 0;
    QChar before;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'/' && before == u'/' && i == 1)
            flags |= CommentLine;
        else if (c == u'*' && before == u'{')
            flags = quint8((flags & ~ClosesComment) | OpensComment);
        else if (c == u'}' && before == u'*')
            flags = quint8((flags & ~OpensComment) | ClosesComment);
        before = c;
    }
    if (!line.isEmpty() && !line.endsWith(u"*}"))
        flags |= Labelled;
    return flags;
}

} // namespace

void TMyRichEdit::setNumbering(bool on)
{
    m_numbering = on;
    if (!on)
        return;
    setUpdatesEnabled(false);
    measureNumbering();
    DrawNumbering();
    setUpdatesEnabled(true);
}

void TMyRichEdit::measureNumbering()
{
    const int spacing = int(std::lround(pointSizeOf(font()) / 5.0));
    m_numberingLineHeight = QFontMetrics(font()).height() + 2 * spacing;
}

int TMyRichEdit::NumberingWidth() const
{
    if (!m_numbering)
        return m_indentLeft;
    const QString widest = u"("_s + QString::number(m_numberedBlockCount + 100) + u')';
    return std::max(m_indentLeft, m_indentLeft + QFontMetrics(boldFont(font())).horizontalAdvance(widest));
}

// Blocks keep their number through a change before and after it; between them the lines the
// change touched are marked unread. Without the gutter on, nothing is followed.
void TMyRichEdit::numberingLinesChanged(int position, int added)
{
    if (!m_numbering || m_numberingStale) {
        m_numberingStale = true;
        return;
    }
    const int lines = document()->blockCount();
    const int last = document()->characterCount() - 1;
    const int first = document()->findBlock(std::min(position, last)).blockNumber();
    const int newLines = document()->findBlock(std::clamp(position + added, 0, last)).blockNumber() - first + 1;
    const int oldLines = newLines - (lines - int(m_numberingLines.size()));
    if (first < 0 || newLines < 1 || oldLines < 1 || first + oldLines > int(m_numberingLines.size())) {
        m_numberingStale = true;
        return;
    }
    const auto at = m_numberingLines.begin() + first;
    if (oldLines > newLines)
        m_numberingLines.erase(at + newLines, at + oldLines);
    else
        m_numberingLines.insert(at + oldLines, size_t(newLines - oldLines), Unread);
    std::fill_n(m_numberingLines.begin() + first, newLines, quint8(Unread));
    m_numberingDirty = true;
}

// Reads the unread lines, then walks the lines' flags (never their text) to number the items.
void TMyRichEdit::updateNumberingLines() const
{
    const int lines = document()->blockCount();
    if (m_numberingStale || int(m_numberingLines.size()) != lines) {
        m_numberingLines.assign(size_t(lines), Unread);
        m_numberingStale = false;
        m_numberingDirty = true;
    }
    if (!m_numberingDirty)
        return;
    QTextBlock block;
    int blockNumber = -2;
    for (int i = 0; i < lines; ++i) {
        if (!(m_numberingLines[size_t(i)] & Unread))
            continue;
        block = blockNumber == i - 1 ? block.next() : document()->findBlockByNumber(i);
        blockNumber = i;
        m_numberingLines[size_t(i)] = readLine(block.text());
    }

    m_numberingItems.resize(size_t(lines));
    int items = 0;
    bool inComment = false, commentLine = false;
    for (int i = 0; i < lines; ++i) {
        const quint8 flags = m_numberingLines[size_t(i)];
        commentLine |= (flags & CommentLine) != 0;
        if (flags & OpensComment)
            inComment = true;
        else if (flags & ClosesComment)
            inComment = false;
        int item = -1;
        // A line that ends inside a block comment is passed over whole: not even its "//" is
        // forgotten.
        if (!inComment) {
            if ((flags & Labelled) && !commentLine)
                item = items++;
            commentLine = false;
        }
        m_numberingItems[size_t(i)] = item;
    }
    m_numberingItemCount = items;
    m_numberingDirty = false;
}

void TMyRichEdit::DrawNumbering()
{
    viewport()->update();
    if (m_numberingLineHeight <= 0)
        measureNumbering();
    const int clientHeight = viewport()->height();
    // The scroll range in pixels: rows of the laid-out text.
    const int rows = int(document()->documentLayout()->documentSize().height());
    const int scrollMaximum = rows * QFontMetrics(font()).lineSpacing();
    const int height = clientHeight + (scrollMaximum >= clientHeight ? scrollMaximum : 0);
    // The width is that of the last drawing's block count.
    m_numberingSize = QSize(std::max(1, NumberingWidth()), std::max(1, height));
    updateNumberingLines();
    const int step = TestVersion == 0 ? 5 : 1;
    m_numberedBlockCount = (m_numberingItemCount + step - 1) / step;
    m_numberingBmpStale = true;
}

const QImage& TMyRichEdit::NumberingBmp() const
{
    if (m_numberingBmpStale || m_numberingBmp.size() != m_numberingSize) {
        m_numberingBmp = QImage(m_numberingSize, QImage::Format_RGB32);
        paintNumbering(m_numberingBmp, 0);
        m_numberingBmpStale = false;
    }
    return m_numberingBmp;
}

QImage TMyRichEdit::NumberingBmpRows(int top, int height) const
{
    QImage rows(m_numberingSize.width(), std::max(1, height), QImage::Format_RGB32);
    paintNumbering(rows, top);
    return rows;
}

// Draws the rows of the picture from `top` down into `picture`: the labels of the lines there and
// the bookmarks on them.
void TMyRichEdit::paintNumbering(QImage& picture, int top) const
{
    picture.fill(ColourText::toQColor(NumberingColor));
    updateNumberingLines();
    const int lineHeight = std::max(1, m_numberingLineHeight);
    const int y0 = (lineHeight - QFontInfo(font()).pixelSize()) / 2 + m_indentTop;
    const int bottom = top + picture.height();

    QPainter painter(&picture);
    painter.translate(0, -top);
    const QFont labelFont = boldFont(font());
    painter.setFont(labelFont);
    painter.setPen(palette().text().color());
    const QFontMetrics metrics(labelFont);
    const int ascent = metrics.ascent();
    const int step = TestVersion == 0 ? 5 : 1;
    const QString labels[] = {QString(), u"解答"_s, u"画像"_s, u"音声"_s, QString()};
    // From the first row whose label reaches into the picture; a wrapped line takes all its rows.
    const int firstRow = std::max(0, (top - y0 - metrics.height()) / lineHeight);
    for (QTextBlock block = document()->findBlockByLineNumber(firstRow); block.isValid(); block = block.next()) {
        const int y = block.firstLineNumber() * lineHeight + y0;
        if (y >= bottom)
            break;
        const size_t line = size_t(block.blockNumber());
        const int item = line < m_numberingItems.size() ? m_numberingItems[line] : -1;
        if (item < 0 || y <= 0)
            continue;
        const int h = item % step;
        const QString label = h == 0 ? u"("_s + QString::number(item / step + 1) + u')' : labels[h];
        if (!label.isEmpty())
            painter.drawText(m_indentLeft, y + ascent, label);
    }

    QFont markFont = font();
    markFont.setPointSizeF(std::min<qreal>(12, pointSizeOf(font())));
    painter.setFont(markFont);
    painter.setPen(QColor(0, 0x80, 0x80));
    const int markAscent = QFontMetrics(markFont).ascent();
    for (int n = 0; n < int(m_bookmarks.size()); ++n) {
        const TBookmark& mark = m_bookmarks[size_t(n)];
        if (mark[0] >= 0 && mark[1] >= 0 && mark[1] < LineCount())
            painter.drawText(1, mark[1] * lineHeight + y0 + 1 + markAscent, QString::number(n));
    }
}
