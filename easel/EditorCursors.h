#pragma once

#include <QCursor>
#include <QImage>

// The picture editor's own cursors, drawn by the program, by the screen slot the form gives them:
// 2 "ROTATE" and 3 "ROTATE2" (turning arrows, clockwise and counter-clockwise), 4 "SPOIT" (an
// eyedropper), 5 "FLOOD" (a pouring bucket), 6 "ERASER", 7 "RANGE" (a cross with a rectangle) and
// 8 "RANGE2" (a cross with a lasso). Every other slot is the arrow.
namespace EditorCursors {

constexpr int Rotate = 2, Rotate2 = 3, Spoit = 4, Flood = 5, Eraser = 6, Range = 7, Range2 = 8;

// The cursor's picture (32 x 32, transparent around a black figure outlined in white) and its hot
// spot; a null picture for a slot that has none.
QImage picture(int slot, QPoint* hotSpot = nullptr);
QCursor cursor(int slot);

} // namespace EditorCursors
