#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

// The view of the size-correction form without its widgets: zoom, the displayed picture's size
// and position, the cut frame, the scroll position, the view that undo returns to, and the cut
// itself. Coordinates are those of the scrolled content; the picture being corrected is passed in
// by the form, which owns it.
//
// The zoomed picture is never held as a whole: stretch() produces any part of it on demand, and a
// pixel's value does not depend on which part is asked for, so what is painted piece by piece and
// what is cut are the same pixels.
class CutView {
public:
    // How a redisplay sizes the picture: the zoom position, or fitted to the frame by its width,
    // by its height, or to the frame exactly.
    enum class Fit { None, Width, Height, Exact };
    enum class Arrow { Left, Right, Up, Down };

    // What undo goes back to.
    struct ViewState {
        int zoom = 100;
        QPoint frame;
        QPoint scroll;
        QPoint picture;
        bool operator==(const ViewState&) const = default;
    };

    static constexpr int MinZoom = 10;
    static constexpr int MaxZoom = 800;
    static constexpr int MinFrameSide = 10;
    static constexpr int MaxFrameSide = 2000;
    static constexpr int ArrowStep = 2;
    static constexpr int ScrollStep = 50;
    // Keeps frame moves to the right and down far inside what a widget can measure.
    static constexpr int MaxFramePosition = 1'000'000;

    CutView();

    // Zoom: the up-down's whole per cent, and the exact value the display uses (fractional after a
    // fit, and then free of the up-down's limits).
    int zoomPosition() const { return m_zoomPosition; }
    void setZoomPosition(int percent);
    float zoomValue() const { return m_zoomValue; }
    int zoomIncrement() const { return m_zoomIncrement; }
    void setZoomIncrement(int increment);

    QPoint picturePos() const { return m_picture; }
    QSize displaySize() const { return m_display; }
    QRect displayRect() const { return {m_picture, m_display}; }

    QRect frameRect() const { return m_frame; }
    void setFramePos(QPoint pos);
    // Each side is kept within MinFrameSide .. MaxFrameSide.
    void setFrameSize(QSize size);

    // The scroll box: its viewport's size and the scroll position, kept within 0 .. maximum.
    QSize viewport() const { return m_viewport; }
    void setViewport(QSize size);
    QPoint scroll() const { return m_scroll; }
    void setScroll(QPoint pos);
    void scrollBy(int dx, int dy) { setScroll(m_scroll + QPoint(dx, dy)); }
    // What the scroll box must hold: the picture and the frame, from the origin.
    QSize contentSize() const;
    QPoint scrollMaximum() const;

    bool cutInEffect() const { return m_cutInEffect; }
    const ViewState& undoView() const { return m_undoView; }
    ViewState state() const;

    // Scroll, zoom, frame and picture back to the start; no cut in effect; nothing displayed
    // until the next redisplay.
    void resetView();
    // Sizes the display for a picture of the given size; nothing for an empty picture. After a fit
    // the picture moves to the frame.
    void redisplay(QSize picture, Fit fit = Fit::None);
    // The up-down's step: +1 or -1 times the increment, then redisplay.
    void stepZoom(int direction, QSize picture);

    // Returns the part of the displayed picture under the frame, white where the frame is not over
    // the picture, and shows it at 100 % at the origin. A null picture gives a null result and
    // changes nothing.
    QImage cut(const QImage& picture);
    // Back to the view before the last cut, for the picture as loaded.
    void undo(QSize loaded);

    void pictureToFrame() { m_picture = m_frame.topLeft(); }
    void frameToTopLeft() { m_frame.moveTopLeft({0, 0}); }
    // An arrow key: moves the frame, or with Shift resizes it by one. True when the size changed.
    bool arrow(Arrow key, bool shift);

    // A left-button drag of the frame, given the content pixel under the pointer (PointerPixel), so
    // the frame moves by the pixels the pointer crossed. beginDrag is false (and starts nothing) off
    // the frame.
    bool beginDrag(QPoint contentPos);
    void dragTo(QPoint contentPos);
    void endDrag() { m_dragging = false; }
    bool dragging() const { return m_dragging; }

    // One wheel notch over the scroll box (position and size of the box, delta > 0 is up): in the
    // edge strips and corners it moves the frame, in the centre it steps the zoom.
    void wheel(QPoint boxPos, QSize boxSize, int delta, QSize picture);

    // The region (display coordinates) of the picture stretched to the display size, as 32-bit
    // RGB; white outside the display. Area-averaged where the picture shrinks, linear where it grows.
    static QImage stretch(const QImage& picture, QSize display, const QRect& region);
    // The same for a region in content coordinates.
    QImage render(const QImage& picture, const QRect& contentRegion) const
    {
        return stretch(picture, m_display, contentRegion.translated(-m_picture));
    }

private:
    int m_zoomPosition = 100;
    float m_zoomValue = 100;
    int m_zoomIncrement = 1;
    QPoint m_picture;
    QSize m_display;
    QRect m_frame;
    QSize m_viewport;
    QPoint m_scroll;
    bool m_cutInEffect = false;
    ViewState m_undoView;
    bool m_dragging = false;
    QPoint m_pressPos;
    QPoint m_pressFrame;
};
