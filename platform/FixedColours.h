#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

class QWidget;

// Where a form fixes a background colour, it fixes the text colour drawn on it as well, and where
// it fixes a text colour, the ground behind it: the forms were drawn for the toolkit's light look,
// and half of a pair taken from a dark desktop theme leaves text that cannot be read. The colour a
// form does not name is the light look's: black text, a white edit, a light grey button face.
namespace FixedColours {

inline constexpr QRgb WindowText = 0xFF000000; // clWindowText
inline constexpr QRgb Window = 0xFFFFFFFF;     // clWindow, the ground of an edit
inline constexpr QRgb ButtonFace = 0xFFF0F0F0; // clBtnFace, the ground of a form, panel or button
inline constexpr QRgb GrayText = 0xFF6D6D6D;   // clGrayText, the text of a disabled control

// `palette` with `ground` in `role` (Base for an edit or a view, Window for a label or a panel,
// Button for a button) and `text` in the role drawn on it, in every colour group; disabled text is
// the light look's grey.
QPalette onGround(QPalette palette, QPalette::ColorRole role, const QColor& ground,
                  const QColor& text = QColor(WindowText));

// Gives the widget that palette; a Window ground is filled, as a panel's colour is.
void fix(QWidget& widget, QPalette::ColorRole role, const QColor& ground, const QColor& text = QColor(WindowText));

// The same pair for a widget coloured by a style sheet.
QString styleSheet(const QColor& ground, const QColor& text = QColor(WindowText));

} // namespace FixedColours
