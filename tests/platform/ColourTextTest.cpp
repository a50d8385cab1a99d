#include "ColourText.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;
using ColourText::TColor;

namespace {

struct NameCase {
    QString name;
    TColor value;
};

std::vector<NameCase> allNames()
{
    std::vector<NameCase> names = {
        {u"clBlack"_s, 0x000000},  {u"clMaroon"_s, 0x000080}, {u"clGreen"_s, 0x008000},
        {u"clOlive"_s, 0x008080},  {u"clNavy"_s, 0x800000},   {u"clPurple"_s, 0x800080},
        {u"clTeal"_s, 0x808000},   {u"clGray"_s, 0x808080},   {u"clSilver"_s, 0xC0C0C0},
        {u"clRed"_s, 0x0000FF},    {u"clLime"_s, 0x00FF00},   {u"clYellow"_s, 0x00FFFF},
        {u"clBlue"_s, 0xFF0000},   {u"clFuchsia"_s, 0xFF00FF}, {u"clAqua"_s, 0xFFFF00},
        {u"clWhite"_s, 0xFFFFFF},  {u"clNone"_s, 0x1FFFFFFF},
    };
    const char* system[] = {"clScrollBar", "clBackground", "clActiveCaption", "clInactiveCaption",
                            "clMenu", "clWindow", "clWindowFrame", "clMenuText", "clWindowText",
                            "clCaptionText", "clActiveBorder", "clInactiveBorder", "clAppWorkSpace",
                            "clHighlight", "clHighlightText", "clBtnFace", "clBtnShadow",
                            "clGrayText", "clBtnText", "clInactiveCaptionText", "clBtnHighlight",
                            "cl3DDkShadow", "cl3DLight", "clInfoText", "clInfoBk"};
    for (quint32 i = 0; i < std::size(system); ++i)
        names.push_back({QLatin1StringView(system[i]), TColor(0xFF000000u + i)});
    return names;
}

TEST(ColourText, EveryNameRoundTrips)
{
    for (const NameCase& c : allNames()) {
        EXPECT_EQ(ColourText::toText(c.value), c.name);
        EXPECT_EQ(ColourText::fromText(c.name), c.value) << c.name.toStdString();
        EXPECT_EQ(ColourText::fromText(c.name.toUpper()), c.value) << c.name.toStdString();
        EXPECT_EQ(ColourText::fromText(c.name.toLower()), c.value) << c.name.toStdString();
    }
}

TEST(ColourText, UnnamedValuesAsHex)
{
    const struct {
        TColor value;
        QString text;
    } cases[] = {
        {0x00123456, u"$00123456"_s},
        {0x00ABCDEF, u"$00ABCDEF"_s},
        {1, u"$00000001"_s},
        {TColor(0xFF0000FF), u"$FF0000FF"_s}, // system byte, but no such system colour
        {TColor(0xFF000019), u"$FF000019"_s},
        {TColor(0x80000005), u"$80000005"_s},
        {-1, u"$FFFFFFFF"_s},
        {0x20000000, u"$20000000"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ColourText::toText(c.value), c.text);
        EXPECT_EQ(ColourText::fromText(c.text), c.value) << c.text.toStdString();
    }
}

TEST(ColourText, NumbersInOtherForms)
{
    const struct {
        QString text;
        TColor value;
    } cases[] = {
        {u"$ff"_s, 0xFF},
        {u"0x10"_s, 0x10},
        {u"0XaBc"_s, 0xABC},
        {u"  $00123456 "_s, 0x00123456},
        {u"\t128"_s, 128},
        {u"-1"_s, -1},
        {u"+42"_s, 42},
        {u"0"_s, 0},
        {u"2147483647"_s, 2147483647},
        {u"-2147483648"_s, TColor(0x80000000)},
        {u"$FFFFFFFF"_s, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ColourText::fromText(c.text), c.value) << c.text.toStdString();
}

TEST(ColourText, RejectsEverythingElse)
{
    const QString bad[] = {
        QString(), u"   "_s, u"12abc"_s, u"$"_s, u"0x"_s, u"clNavyX"_s, u"cl Navy"_s,
        u" clNavy"_s, u"$123456789"_s, u"2147483648"_s, u"-2147483649"_s, u"-$10"_s,
        u"$-10"_s, u"+"_s, u"1 2"_s, u"$G0"_s, u"１２"_s /* full-width digits */,
        u"cl3DD\u212AShadow"_s /* Kelvin sign folds to k only under Unicode rules */,
    };
    for (const QString& t : bad)
        EXPECT_FALSE(ColourText::fromText(t).has_value()) << t.toStdString();
}

TEST(ColourText, ToQColorForPlainValues)
{
    EXPECT_EQ(ColourText::toQColor(ColourText::clNavy), QColor(0, 0, 128));
    EXPECT_EQ(ColourText::toQColor(ColourText::clRed), QColor(255, 0, 0));
    EXPECT_EQ(ColourText::toQColor(0x00123456), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(ColourText::toQColor(ColourText::clNone).alpha(), 0);
}

TEST(ColourText, FromQColorPacksRedLow)
{
    EXPECT_EQ(ColourText::fromQColor(QColor(0x56, 0x34, 0x12)), 0x00123456);
    EXPECT_EQ(ColourText::fromQColor(QColor(255, 255, 255)), ColourText::clWhite);
    for (TColor v : {0x000000, 0x010203, 0xFEDCBA, 0xFFFFFF})
        EXPECT_EQ(ColourText::fromQColor(ColourText::toQColor(v)), v);
}

TEST(ColourText, SystemColoursFollowPalette)
{
    const QPalette pal = QGuiApplication::palette();
    EXPECT_EQ(ColourText::toQColor(*ColourText::fromText(u"clWindow"_s)), pal.color(QPalette::Base));
    EXPECT_EQ(ColourText::toQColor(*ColourText::fromText(u"clWindowText"_s)), pal.color(QPalette::Text));
    EXPECT_EQ(ColourText::toQColor(*ColourText::fromText(u"clBtnFace"_s)), pal.color(QPalette::Button));
    EXPECT_EQ(ColourText::toQColor(*ColourText::fromText(u"clHighlight"_s)),
              pal.color(QPalette::Highlight));
    for (const NameCase& c : allNames())
        EXPECT_TRUE(ColourText::toQColor(c.value).isValid()) << c.name.toStdString();
}

} // namespace
