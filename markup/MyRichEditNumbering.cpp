// The numbering gutter: a picture labelling the lines of a quiz text, kept for a host to show.
#include "MyRichEdit.h"

#include "Cp932.h"

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

void TMyRichEdit::DrawNumbering()
{
    viewport()->update();
    if (m_numberingLineHeight <= 0)
        measureNumbering();
    const int lineHeight = m_numberingLineHeight;
    const int clientHeight = viewport()->height();
    // The scroll range in pixels: rows of the laid-out text.
    const int rows = int(document()->documentLayout()->documentSize().height());
    const int scrollMaximum = rows * QFontMetrics(font()).lineSpacing();
    const int height = clientHeight + (scrollMaximum >= clientHeight ? scrollMaximum : 0);
    QImage picture(std::max(1, NumberingWidth()), std::max(1, height), QImage::Format_RGB32);
    picture.fill(ColourText::toQColor(NumberingColor));

    const int step = TestVersion == 0 ? 5 : 1;
    const int y0 = (lineHeight - QFontInfo(font()).pixelSize()) / 2 + m_indentTop;
    m_numberedBlockCount = 0;
    int items = 0;
    bool commentLine = false, insideComment = false;

    QPainter painter(&picture);
    const QFont labelFont = boldFont(font());
    painter.setFont(labelFont);
    painter.setPen(palette().text().color());
    const int ascent = QFontMetrics(labelFont).ascent();
    const QString labels[] = {QString(), u"解答"_s, u"画像"_s, u"音声"_s, QString()};

    const QByteArray bytes = Cp932::encode(Text());
    const int length = int(bytes.size());
    const PositionMap& map = positions();
    // Positions are 1-based; byte p is bytes[p - 1]. A trail byte of a double-byte character is
    // never read as "{", "*", "}" or "/".
    bool trail = false;
    char before = 0; // the single-byte character before p, 0 after a double-byte one
    for (int p = 1; p <= length; ++p) {
        const char c = bytes[p - 1];
        const bool isTrail = trail;
        trail = !isTrail && Cp932::isLeadByte(uchar(c));
        const char previous = before;
        const bool single = !isTrail && !trail;
        before = single ? c : 0;
        if (single) {
            const bool lineStart = p == 2 || (p >= 4 && bytes[p - 4] == '\r' && bytes[p - 3] == '\n');
            if (c == '/' && previous == '/' && lineStart) {
                commentLine = true;
                continue;
            }
            if (c == '*' && previous == '{') {
                insideComment = true;
                continue;
            }
            if (c == '}' && previous == '*') {
                insideComment = false;
                continue;
            }
        }
        if (!(single && c == '\r') && p != length)
            continue;
        if (insideComment)
            continue;
        // The line that ends here; a wrapped line takes all its rows.
        const QTextBlock block = document()->findBlock(map.documentFromByte(p - 1));
        const QString line = block.text();
        if (!line.isEmpty() && !line.endsWith(u"*}"_s) && !commentLine) {
            const int y = block.firstLineNumber() * lineHeight + y0;
            const int h = items % step;
            if (h == 0)
                ++m_numberedBlockCount;
            if (y > 0) {
                const QString label = h == 0 ? u"("_s + QString::number(m_numberedBlockCount) + u')' : labels[h];
                if (!label.isEmpty())
                    painter.drawText(m_indentLeft, y + ascent, label);
            }
            ++items;
        }
        commentLine = false;
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
    painter.end();
    m_numberingBmp = std::move(picture);
}
