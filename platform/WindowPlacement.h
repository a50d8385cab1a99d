#pragma once

#include <QList>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <functional>

class QScreen;
class QWidget;

// Where a window opens: on which screen, and where on it, so that its whole frame (the window
// manager's title bar and borders with it) lies in the screen's available area. The rules are plain
// functions on rectangles; place() applies them to a window, and again once the window manager has
// framed it, since no frame is known before.
namespace WindowPlacement {

// A window too large for the area: shrunk to it (a form whose view or grid can shrink), or kept at
// its size with its title bar at the area's top-left corner.
enum class Shrink { No, ToArea };

// The screen a window opens on, as an index into the screens' whole areas: the one showing the
// largest part of the opener's frame (a tie goes to the primary, then to the first); with no
// opener, or an opener on no screen, the primary. -1 for no screens.
int screenIndex(const QList<QRect>& screens, int primary, const QRect& opener);

// The frame moved, and with Shrink::ToArea cut, so that it lies wholly in the area; a frame larger
// than the area that keeps its size lies at the area's left or top edge.
QRect fitFrame(const QRect& frame, const QRect& area, Shrink shrink);

// A frame of that size centred in the area, then fitted.
QRect centredFrame(const QSize& frame, const QRect& area, Shrink shrink);

// Where a window opens, as a rule for its frame is given it.
struct Target {
    QRect screen;    // the whole screen
    QRect available; // the screen less the panels that stay on it
    QMargins frame;  // the window manager's frame around the window's inside (none without one)
};

using FrameRule = std::function<QRect(const Target&)>;

// The window that opens a form, a box or a dialog: the modal window on top, else the parent's
// window, else the active window; only one that is shown. Null when none is.
const QWidget* openerOf(const QWidget& window, const QWidget* parent);

// The screen a window opened by the opener opens on (null opener: a main window, the primary).
QScreen* screenFor(const QWidget* opener);

// Places a top-level window on the opener's screen with its frame where the rule puts it; with
// `fixedSize` the inside is its only size. Until the window manager has framed the window its frame
// is taken to be the opener's (or another shown window's); it is placed again by the same rule on
// the same screen once it is on the screen, and whenever its frame changes after. A maximised
// window is left to the window manager.
void place(QWidget& window, const QWidget* opener, FrameRule rule, bool fixedSize = false);

// The main window of atlas: its frame fills the available area of the primary screen, at that size.
void fill(QWidget& window);

// Centred in the available area of the opener's screen, the inside of the given size as far as it
// fits.
void centre(QWidget& window, const QWidget* opener, QSize inside, Shrink shrink);

// Centred likewise at the size it is shown at: its own, grown to what its layout needs (a form that
// cannot shrink).
void centre(QWidget& window, const QWidget* opener);

} // namespace WindowPlacement
