#include "ColourText.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>
#include <cstdint>

using namespace Qt::StringLiterals;

namespace ColourText {
namespace {

constexpr TColor kSystemBase = TColor(0xFF000000u);

struct Named {
    TColor value;
    QLatin1StringView name;
};

struct SystemColour {
    QLatin1StringView name;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

constexpr std::array<Named, 16> kStandard = {{
    {clBlack, "clBlack"_L1},   {clMaroon, "clMaroon"_L1}, {clGreen, "clGreen"_L1},
    {clOlive, "clOlive"_L1},   {clNavy, "clNavy"_L1},     {clPurple, "clPurple"_L1},
    {clTeal, "clTeal"_L1},     {clGray, "clGray"_L1},     {clSilver, "clSilver"_L1},
    {clRed, "clRed"_L1},       {clLime, "clLime"_L1},     {clYellow, "clYellow"_L1},
    {clBlue, "clBlue"_L1},     {clFuchsia, "clFuchsia"_L1}, {clAqua, "clAqua"_L1},
    {clWhite, "clWhite"_L1},
}};

// Indexed by the low byte of a system colour; roles picked for what the Windows element looks like.
constexpr std::array<SystemColour, 25> kSystem = {{
    {"clScrollBar"_L1, QPalette::Active, QPalette::Button},
    {"clBackground"_L1, QPalette::Active, QPalette::Dark},
    {"clActiveCaption"_L1, QPalette::Active, QPalette::Highlight},
    {"clInactiveCaption"_L1, QPalette::Active, QPalette::Mid},
    {"clMenu"_L1, QPalette::Active, QPalette::Window},
    {"clWindow"_L1, QPalette::Active, QPalette::Base},
    {"clWindowFrame"_L1, QPalette::Active, QPalette::Shadow},
    {"clMenuText"_L1, QPalette::Active, QPalette::WindowText},
    {"clWindowText"_L1, QPalette::Active, QPalette::Text},
    {"clCaptionText"_L1, QPalette::Active, QPalette::HighlightedText},
    {"clActiveBorder"_L1, QPalette::Active, QPalette::Button},
    {"clInactiveBorder"_L1, QPalette::Active, QPalette::Button},
    {"clAppWorkSpace"_L1, QPalette::Active, QPalette::Dark},
    {"clHighlight"_L1, QPalette::Active, QPalette::Highlight},
    {"clHighlightText"_L1, QPalette::Active, QPalette::HighlightedText},
    {"clBtnFace"_L1, QPalette::Active, QPalette::Button},
    {"clBtnShadow"_L1, QPalette::Active, QPalette::Dark},
    {"clGrayText"_L1, QPalette::Disabled, QPalette::Text},
    {"clBtnText"_L1, QPalette::Active, QPalette::ButtonText},
    {"clInactiveCaptionText"_L1, QPalette::Active, QPalette::WindowText},
    {"clBtnHighlight"_L1, QPalette::Active, QPalette::Light},
    {"cl3DDkShadow"_L1, QPalette::Active, QPalette::Shadow},
    {"cl3DLight"_L1, QPalette::Active, QPalette::Midlight},
    {"clInfoText"_L1, QPalette::Active, QPalette::ToolTipText},
    {"clInfoBk"_L1, QPalette::Active, QPalette::ToolTipBase},
}};

constexpr QLatin1StringView kNoneName = "clNone"_L1;

// Names compare in ASCII case only, so no Unicode folding (the Kelvin sign for "k") sneaks in.
bool sameName(QStringView text, QLatin1StringView name)
{
    if (text.size() != name.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char16_t a = text[i].unicode();
        char16_t b = char16_t(uchar(name[i].toLatin1()));
        if (a >= u'A' && a <= u'Z')
            a += u'a' - u'A';
        if (b >= u'A' && b <= u'Z')
            b += u'a' - u'A';
        if (a != b)
            return false;
    }
    return true;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

std::optional<uint32_t> parseDigits(QStringView digits, int base)
{
    if (digits.isEmpty())
        return std::nullopt;
    uint64_t value = 0;
    for (QChar c : digits) {
        int d;
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9')
            d = u - u'0';
        else if (base == 16 && u >= u'a' && u <= u'f')
            d = u - u'a' + 10;
        else if (base == 16 && u >= u'A' && u <= u'F')
            d = u - u'A' + 10;
        else
            return std::nullopt;
        value = value * base + d;
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return uint32_t(value);
}

std::optional<TColor> parseNumber(QStringView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    s = s.mid(b, e - b);

    if (s.startsWith(u'$') || s.startsWith(u"0x") || s.startsWith(u"0X")) {
        const QStringView digits = s.mid(s.startsWith(u'$') ? 1 : 2);
        if (digits.size() > 8)
            return std::nullopt;
        const auto v = parseDigits(digits, 16);
        return v ? std::optional<TColor>(TColor(*v)) : std::nullopt;
    }

    bool negative = false;
    if (s.startsWith(u'+') || s.startsWith(u'-')) {
        negative = s.front() == u'-';
        s = s.mid(1);
    }
    const auto v = parseDigits(s, 10);
    if (!v)
        return std::nullopt;
    const int64_t signedValue = negative ? -int64_t(*v) : int64_t(*v);
    if (signedValue < INT32_MIN || signedValue > INT32_MAX)
        return std::nullopt;
    return TColor(signedValue);
}

} // namespace

QString toText(TColor value)
{
    for (const Named& n : kStandard) {
        if (n.value == value)
            return n.name;
    }
    if (value == clNone)
        return kNoneName;
    const uint32_t u = uint32_t(value);
    if ((u & 0xFFFFFF00u) == uint32_t(kSystemBase) && (u & 0xFFu) < kSystem.size())
        return kSystem[u & 0xFFu].name;
    return u'$' + QString::number(u, 16).toUpper().rightJustified(8, u'0');
}

std::optional<TColor> fromText(const QString& text)
{
    for (const Named& n : kStandard) {
        if (sameName(text, n.name))
            return n.value;
    }
    for (size_t i = 0; i < kSystem.size(); ++i) {
        if (sameName(text, kSystem[i].name))
            return TColor(uint32_t(kSystemBase) + uint32_t(i));
    }
    if (sameName(text, kNoneName))
        return clNone;
    return parseNumber(text);
}

QColor toQColor(TColor value)
{
    if (value == clNone)
        return QColor(Qt::transparent);
    if (value < 0) {
        // The toolkit takes any negative value as a system colour indexed by its low byte; an index
        // past the table has no colour there, which Windows reports as black.
        const uint32_t index = uint32_t(value) & 0xFFu;
        if (index >= kSystem.size())
            return QColor(Qt::black);
        return QGuiApplication::palette().color(kSystem[index].group, kSystem[index].role);
    }
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

TColor fromQColor(const QColor& colour)
{
    const QRgb rgb = colour.rgb();
    return TColor(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

} // namespace ColourText
