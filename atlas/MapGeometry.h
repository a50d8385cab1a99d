#pragma once

#include "MapDocument.h"

#include <QPoint>
#include <QString>
#include <optional>

// Positions on the map canvas: "x,y" texts of two decimal integers in canvas pixels.
namespace MapGeometry {

// A destination's point box reaches from 7 left/above its centre to 7 right/below (15 pixels).
constexpr int PointBefore = 7, PointAfter = 8;

// The n-th piece (from 0) of the text split at the separator; empty when there is none.
QString PickCommaField(QChar separator, const QString& text, int n);

// The position a text names; nothing for an empty text or one that is not two integers (a
// hand-edited file), which then counts as not placed.
std::optional<QPoint> parsePosition(const QString& text);
QString positionText(int x, int y);

// "■１位のプレイヤーの島■" for n = 1..3, "？" in place of the digit otherwise.
QString IslandLabelText(int n);

// The island label (0..2) whose box holds the point, or -1; labels are tried in order.
int hitIsland(const MapDocument& doc, QPoint p, int labelHalfWidth, int labelHalfHeight);
// The destination row (0..61) whose point box holds the point, or -1; the lowest row wins.
int hitPoint(const MapDocument& doc, QPoint p);

} // namespace MapGeometry
