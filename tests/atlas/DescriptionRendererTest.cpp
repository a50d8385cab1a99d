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

TEST(DescriptionRenderer, BackgroundTagIsTakenOnlyWhenWrittenInFull)
{
    Rendered blue(u"<bg=FF0000>sea"_s);
    EXPECT_EQ(blue.background, ColourText::clBlue);
    EXPECT_EQ(blue.text(), u"sea"_s);

    const QString kept[] = {u"<bg=GG0000>x"_s, u"<bg=FF00>abc"_s, u"<bg=FF0000x"_s, u"<bg=FF"_s};
    for (const QString& text : kept) {
        Rendered r(text);
        EXPECT_EQ(r.text(), text) << "no user text is eaten";
        EXPECT_EQ(r.background, DescriptionRenderer::DefaultBackground);
    }

    Rendered second(u"<bg=00FF00><bg=0000FF>x"_s);
    EXPECT_EQ(second.background, 0x00FF00);
    EXPECT_EQ(second.text(), u"<bg=0000FF>x"_s);
}

TEST(DescriptionRenderer, UpperCaseTagsArePlainText)
{
    Rendered r(u"<R>x</R>"_s);
    EXPECT_EQ(r.text(), u"<R>x</R>"_s);
    EXPECT_FALSE(r.colour(3).isValid());
}
