#pragma once

#include <QColor>
#include <QString>
#include <optional>

// Toolkit colour values: 32 bits, red in the low byte, green in the second, blue in the third;
// the high byte marks system colours (0xFF......) and clNone (0x1FFFFFFF).
namespace ColourText {

using TColor = qint32;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;

// A named colour's name ("clNavy", system names, "clNone"), else "$" and eight upper-case hex digits.
QString toText(TColor value);

// A name looked up without regard to ASCII case, else an integer ("$" or "0x" for hexadecimal,
// optional sign for decimal). Nothing else is a colour.
std::optional<TColor> fromText(const QString& text);

// The only conversions between toolkit values and QColor. System colours map to the palette of
// the running application; clNone maps to a transparent colour.
QColor toQColor(TColor value);
TColor fromQColor(const QColor& colour);

// Plain RGB values (no system colours) to and from the pixels of a 24-bit picture.
inline QRgb toQRgb(TColor value)
{
    return qRgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}
inline TColor fromQRgb(QRgb pixel)
{
    return TColor(qRed(pixel) | (qGreen(pixel) << 8) | (qBlue(pixel) << 16));
}

} // namespace ColourText
