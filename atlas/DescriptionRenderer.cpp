#include "DescriptionRenderer.h"

#include <QTextCursor>
#include <QTextDocument>
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

    // Only a tag written in full, six hexadecimal digits and ">", is taken; anything else stays
    // in the text as typed.
    const qsizetype bg = r.text.indexOf(u"<bg="_s);
    if (bg >= 0 && bg + 11 <= r.text.size() && r.text.at(bg + 10) == u'>') {
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
    target.setPlainText(r.text);
    const QString& text = r.text;

    // Each span runs from an opening marker to the first closing marker of its kind; scanning
    // resumes after the opening marker, so inner spans are formatted on top of outer ones.
    QTextCursor cursor(&target);
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (isOpening(c)) {
            const qsizetype end = text.indexOf(QChar(char16_t(c.unicode() + 1)), i + 1);
            if (end > i + 1) {
                cursor.setPosition(int(i + 1));
                cursor.setPosition(int(end), QTextCursor::KeepAnchor);
                cursor.mergeCharFormat(effectOf(c.unicode()));
            }
        }
        ++i;
    }

    // The markers go last, from the end, so earlier positions stay valid.
    for (qsizetype j = text.size() - 1; j >= 0; --j) {
        if (isOpening(text.at(j)) || isClosing(text.at(j))) {
            cursor.setPosition(int(j));
            cursor.setPosition(int(j + 1), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
    }
    return r.background;
}

} // namespace DescriptionRenderer
