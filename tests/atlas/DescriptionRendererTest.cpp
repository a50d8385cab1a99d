#include "DescriptionRenderer.h"

#include "QtPrinters.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Rendered {
    QTextDocument doc;
    ColourText::TColor background = 0;

    explicit Rendered(const QString& description) { background = DescriptionRenderer::render(description, doc); }
    QString text() const { return doc.toPlainText(); }
    // The format of the character at a position of the rendered text.
    QTextCharFormat at(int position) const
    {
        QTextCursor c(const_cast<QTextDocument*>(&doc));
        c.setPosition(position + 1);
        return c.charFormat();
    }
    bool bold(int p) const { return at(p).fontWeight() == QFont::Bold; }
    bool underlined(int p) const { return at(p).fontUnderline(); }
    QColor colour(int p) const
    {
        const QTextCharFormat f = at(p);
        return f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : QColor();
    }
};

const QColor Red(0xD7, 0, 0);
const QColor Green(0, 0xAF, 0);
const QColor Blue(0x4A, 0x6A, 0xFF);

} // namespace

TEST(DescriptionRenderer, SpansFormatTheirTextAndTheTagsDisappear)
{
    Rendered r(u"a<r>bc<w>d</w>e</r>f<u>g</u><g>h</g><b>i</b>"_s);
    EXPECT_EQ(r.text(), u"abcdefghi"_s);
    EXPECT_FALSE(r.colour(0).isValid());
    EXPECT_EQ(r.colour(1), Red);
    EXPECT_EQ(r.colour(3), Red);
    EXPECT_TRUE(r.bold(3)) << "a bold span inside red is bold and red";
    EXPECT_FALSE(r.bold(2));
    EXPECT_EQ(r.colour(4), Red);
    EXPECT_FALSE(r.colour(5).isValid());
    EXPECT_TRUE(r.underlined(6));
    EXPECT_EQ(r.colour(7), Green);
    EXPECT_EQ(r.colour(8), Blue);
    EXPECT_EQ(r.background, DescriptionRenderer::DefaultBackground);

    // A colour opened inside another is on top of it, and the outer one goes on after it.
    Rendered inner(u"<w><b>a<r>b\nc</r>d</b></w>e"_s);
    EXPECT_EQ(inner.text(), u"ab\ncde"_s);
    EXPECT_EQ(inner.colour(1), Red);
    EXPECT_EQ(inner.colour(3), Red) << "over the line break";
    EXPECT_EQ(inner.colour(4), Blue);
    EXPECT_TRUE(inner.bold(4));
    EXPECT_FALSE(inner.bold(5));
}

TEST(DescriptionRenderer, TwoRedSpansInsideEachOtherEndAtTheFirstClose)
{
    Rendered r(u"<r>x<r>y</r>z</r>"_s);
    EXPECT_EQ(r.text(), u"xyz"_s);
    EXPECT_EQ(r.colour(0), Red);
    EXPECT_EQ(r.colour(1), Red);
    EXPECT_FALSE(r.colour(2).isValid());
}

TEST(DescriptionRenderer, NestingFaultsBecomeOneRedLineNamingThePair)
{
    const struct {
        QString description;
        QString line;
    } cases[] = {
        {u"<r>a<g>b</r>c</g>"_s, u"<g>..</g> でネストエラーです。"_s},
        {u"<w>open"_s, u"<w>..</w> でネストエラーです。"_s},
        {u"text</b> more"_s, u"<b>..</b> でネストエラーです。"_s},
        {u"</u>"_s, u"<u>..</u> でネストエラーです。"_s},
    };
    for (const auto& c : cases) {
        Rendered r(c.description);
        EXPECT_EQ(r.text(), c.line) << c.description.toStdString();
        EXPECT_EQ(r.colour(0), Red) << c.description.toStdString();
    }
}

TEST(DescriptionRenderer, BackgroundTagIsSixHexDigitsAndTakesElevenCharacters)
{
    const struct {
        QString description;
        ColourText::TColor background;
        QString text;
    } cases[] = {
        {u"<bg=FF0000>sea"_s, ColourText::clBlue, u"sea"_s},
        {u"<bg=ff0000xsea"_s, ColourText::clBlue, u"sea"_s}, // whatever the eleventh character is
        {u"前<bg=00FF00"_s, 0x00FF00, u"前"_s},               // at the end, the ten there are
        {u"<bg=00FF00><bg=0000FF>x"_s, 0x00FF00, u"<bg=0000FF>x"_s},
        {u"<bg=GG0000>x"_s, DescriptionRenderer::DefaultBackground, u"<bg=GG0000>x"_s},
        {u"<bg=FF00>abc"_s, DescriptionRenderer::DefaultBackground, u"<bg=FF00>abc"_s},
        {u"<bg=FF"_s, DescriptionRenderer::DefaultBackground, u"<bg=FF"_s},
    };
    for (const auto& c : cases) {
        Rendered r(c.description);
        EXPECT_EQ(r.background, c.background) << c.description.toStdString();
        EXPECT_EQ(r.text(), c.text) << c.description.toStdString();
    }
}

TEST(DescriptionRenderer, UpperCaseTagsArePlainText)
{
    Rendered r(u"<R>x</R>"_s);
    EXPECT_EQ(r.text(), u"<R>x</R>"_s);
    EXPECT_FALSE(r.colour(3).isValid());
}
