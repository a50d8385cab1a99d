#include "DescriptionRenderer.h"

#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <array>
#include <vector>

using namespace Qt::StringLiterals;

namespace DescriptionRenderer {
namespace {

// Marker characters standing for the tags while rendering; opening + 1 is the closing one.
constexpr char16_t BoldOpen = 16, UnderlineOpen = 18, RedOpen = 20, GreenOpen = 22, BlueOpen = 24;

struct Tag {
    char16_t marker;
    const char16_t* open;
    const char16_t* close;
};
// The order in which the tags are replaced.
constexpr Tag Tags[] = {{BoldOpen, u"<w>", u"</w>"},  {UnderlineOpen, u"<u>", u"</u>"}, {RedOpen, u"<r>", u"</r>"},
                        {GreenOpen, u"<g>", u"</g>"}, {BlueOpen, u"<b>", u"</b>"}};

bool isOpening(QChar c) { return c.unicode() >= 16 && c.unicode() <= 25 && c.unicode() % 2 == 0; }
bool isClosing(QChar c) { return c.unicode() >= 16 && c.unicode() <= 25 && c.unicode() % 2 == 1; }

QString pairText(char16_t openingMarker)
{
    for (const Tag& t : Tags)
        if (t.marker == openingMarker)
            return QString::fromUtf16(t.open) + u".."_s + QString::fromUtf16(t.close);
    return QString();
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

QTextCharFormat effectOf(char16_t openingMarker)
{
    QTextCharFormat f;
    switch (openingMarker) {
    case BoldOpen:
        f.setFontWeight(QFont::Bold);
        break;
    case UnderlineOpen:
        f.setFontUnderline(true);
        break;
    case RedOpen:
        f.setForeground(ColourText::toQColor(0x000000D7));
        break;
    case GreenOpen:
        f.setForeground(ColourText::toQColor(0x0000AF00));
        break;
    default:
        f.setForeground(ColourText::toQColor(0x00FF6A4A));
        break;
    }
    return f;
}

} // namespace

Result prepare(const QString& description)
{
    Result r;
    r.text = description;

    // "<bg=" and six hexadecimal digits set the colour; the tag's 11 characters go whatever the last
    // of them is, and at the end of the text the ten there are.
    const qsizetype bg = r.text.indexOf(u"<bg="_s);
    if (bg >= 0 && bg + 10 <= r.text.size()) {
        const QString digits = r.text.mid(bg + 4, 6);
        if (std::all_of(digits.begin(), digits.end(), isHexDigit)) {
            r.background = ColourText::TColor(digits.toUInt(nullptr, 16));
            r.text.remove(bg, 11);
        }
    }

    for (const Tag& t : Tags) {
        r.text.replace(QString::fromUtf16(t.open), QString(QChar(t.marker)));
        r.text.replace(QString::fromUtf16(t.close), QString(QChar(char16_t(t.marker + 1))));
    }

    // A closing tag must close the innermost open one; a stray closing tag or one left open is
    // named in the error line.
    std::vector<char16_t> open;
    char16_t fault = 0;
    for (const QChar c : std::as_const(r.text)) {
        if (isOpening(c)) {
            open.push_back(c.unicode());
        } else if (isClosing(c)) {
            if (open.empty()) {
                fault = char16_t(c.unicode() - 1);
                break;
            }
            if (open.back() + 1 != c.unicode()) {
                fault = open.back();
                break;
            }
            open.pop_back();
        }
    }
    if (!fault && !open.empty())
        fault = open.back();
    if (fault) {
        r.nestingError = true;
        r.text = QString(QChar(RedOpen)) + pairText(fault) + u" でネストエラーです。"_s + QChar(char16_t(RedOpen + 1));
    }
    return r;
}

ColourText::TColor render(const QString& description, QTextDocument& target)
{
    const Result r = prepare(description);
    const QString& text = r.text;

    // Each span runs from an opening marker to the first closing marker of its kind, and the spans
    // are formatted in the order of their openings, each on top of those before. So a character
    // lies in a span of a kind when that kind's last opening before it comes after its last
    // closing, and its colour is that of the colour span opened last. The whole text goes in as
    // runs of one format in one edit, laid out once: an edit per span would lay the paragraph out
    // again for every tag.
    constexpr int Kinds = 5;
    std::array<qsizetype, Kinds> lastOpen, lastClose;
    lastOpen.fill(-1);
    lastClose.fill(-1);
    // Kinds in marker order: bold, underline, then the colours. A format's key: bit 0 bold, bit 1
    // underline, above them the kind of the colour.
    const auto kindOf = [](QChar c) { return (c.unicode() - BoldOpen) / 2; };
    const auto formatAt = [&] {
        int key = 0;
        qsizetype colourFrom = -1;
        for (int k = 0; k < Kinds; ++k) {
            if (lastOpen[k] <= lastClose[k])
                continue;
            if (k < 2) {
                key |= 1 << k;
            } else if (lastOpen[k] > colourFrom) {
                colourFrom = lastOpen[k];
                key = (key & 3) | (k << 2);
            }
        }
        return key;
    };
    const auto formatOf = [](int key) {
        QTextCharFormat f;
        if (key & 1)
            f.merge(effectOf(BoldOpen));
        if (key & 2)
            f.merge(effectOf(UnderlineOpen));
        if (key >> 2)
            f.merge(effectOf(char16_t(BoldOpen + 2 * (key >> 2))));
        return f;
    };

    QTextCursor cursor(&target);
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    cursor.setBlockFormat(QTextBlockFormat());
    cursor.setBlockCharFormat(QTextCharFormat());
    QString run;
    int runKey = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isOpening(c) || isClosing(c)) {
            (isOpening(c) ? lastOpen : lastClose)[size_t(kindOf(c))] = i;
            continue;
        }
        const int key = formatAt();
        if (key != runKey && !run.isEmpty()) {
            cursor.insertText(run, formatOf(runKey));
            run.clear();
        }
        runKey = key;
        run += c;
    }
    if (!run.isEmpty())
        cursor.insertText(run, formatOf(runKey));
    cursor.endEditBlock();
    return r.background;
}

} // namespace DescriptionRenderer
