#pragma once

#include "MapDocument.h"

#include <QFont>
#include <QImage>

// What the map canvas shows besides the document.
struct MapView {
    bool hidePoints = false;      // "点と線を非表示"
    bool showCurrent = false;     // "確認": the route up to the current destination
    bool islandMode = false;      // the island toggle is down
    int selectedIsland = 0;       // 0..2
    int selectedRow = 0;          // 0..61, the current destination
    bool highlight = false;       // ring around the current destination
    int labelHalfWidth = 0, labelHalfHeight = 0;
    QFont labelFont;
};

// Composes the canvas: the map picture, the route, the island labels, the points, the route to
// the current destination with its marks, and the highlight ring.
namespace MapPainter {

// The marks drawn on the current position (17 x 17) and on its neighbours (15 x 16), with their
// transparent parts left out.
const QImage& currentMark();
const QImage& neighbourMark();

// Makes buffer the one for a canvas of `size` logical pixels on a screen of `ratio` device pixels
// to the logical one (white, the ratio set), unless it is that already; true when it was made anew.
bool fitBuffer(QImage& buffer, QSize size, qreal ratio);

// Draws into buffer (which keeps its size) from the document and the view. The overlays are drawn
// at the buffer's device pixel ratio, so they are as sharp as the screen; the map picture keeps its
// own pixels, stretched over the logical ones.
void paint(QImage& buffer, const QImage& mapPicture, const MapDocument& doc, const MapView& view);

} // namespace MapPainter
