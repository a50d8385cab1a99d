#include "FixedColours.h"

#include <QWidget>

using namespace Qt::StringLiterals;

namespace FixedColours {

QPalette onGround(QPalette palette, QPalette::ColorRole role, const QColor& ground, const QColor& text)
{
    const QPalette::ColorRole textRole = role == QPalette::Base     ? QPalette::Text
                                         : role == QPalette::Button ? QPalette::ButtonText
                                                                    : QPalette::WindowText;
    palette.setColor(role, ground);
    palette.setColor(textRole, text);
    palette.setColor(QPalette::Disabled, textRole, QColor(GrayText));
    return palette;
}

void fix(QWidget& widget, QPalette::ColorRole role, const QColor& ground, const QColor& text)
{
    widget.setPalette(onGround(widget.palette(), role, ground, text));
    if (role == QPalette::Window)
        widget.setAutoFillBackground(true);
}

QString styleSheet(const QColor& ground, const QColor& text)
{
    return u"background-color: %1; color: %2;"_s.arg(ground.name(), text.name());
}

} // namespace FixedColours
