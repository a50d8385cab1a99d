#include "Palette.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

namespace Palette {

namespace {

int screenDepth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
}

} // namespace

TColor DeviceColorOf(TColor colour, int depth) {
    if (depth <= 0) depth = screenDepth();
    QImage pixel(1, 1, depth <= 16 ? QImage::Format_RGB16 : QImage::Format_RGB32);
    pixel.setPixel(0, 0, ColourText::toQRgb(colour));
    return ColourText::fromQRgb(pixel.pixel(0, 0));
}

void FindOpaqueWhites(TColor& opaque, TColor& second, int depth) {
    const TColor white = ColourText::clWhite;
    for (int g = 255; g >= 0; --g) {
        opaque = rgb(255, g, 255);
        if (DeviceColorOf(opaque, depth) != white) break;
    }
    const int green = (opaque >> 8) & 0xFF;
    second = rgb(255, green, 0);
    for (int b = 255; b >= 0; --b) {
        const TColor candidate = rgb(255, green, b);
        const TColor shown = DeviceColorOf(candidate, depth);
        if (shown != white && shown != opaque) {
            second = candidate;
            break;
        }
    }
}

TColor ContrastTextColor(TColor colour) {
    const int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    if (r + g >= 255 || ((r >= 191 || g >= 191) && b <= 64)) return ColourText::clBlack;
    return ColourText::clWhite;
}

} // namespace Palette
