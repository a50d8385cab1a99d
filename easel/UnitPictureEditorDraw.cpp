// Drawing on the canvas with the mouse: the rubber bands, the pen stroke, the fill, and the
// commit of a shape record.
#include "UnitPictureEditor.h"

#include "CanvasScrollBox.h"
#include "Prompter.h"
#include "ShapeRender.h"

#include <QPainter>
#include <QScopedValueRollback>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr ColourText::TColor EraserPreview = 0xE0E0E0;

bool isBand(int mode)
{
    return mode == Shapes::Rectangle || mode == Shapes::Ellipse || mode == Shapes::Line;
}

} // namespace

ColourText::TColor TFormPictureEditor::PreviewColor() const
{
    const ColourText::TColor c = PaletteColor();
    return c == Shapes::TransparentWhite ? EraserPreview : c;
}

ShapeRecord TFormPictureEditor::NewShapeRecord(ColourText::TColor colour) const
{
    ShapeRecord r;
    r.ShapeType = DrawMode;
    r.FreeForm = FreeFormSelection;
    r.Anchors[0] = DragStart;
    r.Anchors[3] = DragPoint;
    if (DrawMode == Shapes::Fill) {
        r.Anchors[0] = ScreenToImagePoint(DragStart);
        r.Anchors[3] = ScreenToImagePoint(DragPoint);
    }
    r.copyAnchors();
    r.Extremes.fill(DragStart);
    r.PenColor = r.AltColor = r.BrushColor = colour;
    switch (DrawMode) {
    case Shapes::Rectangle:
    case Shapes::Ellipse:
    case Shapes::Pen:
        r.LineWidth = udPen->value();
        break;
    case Shapes::Line:
        r.LineWidth = udPen->value();
        r.Curvature = udLine->value();
        break;
    default:
        break;
    }
    r.LineKind = DrawMode == Shapes::Stamp ? 0 : LineKind;
    return r;
}

ShapeRecord& TFormPictureEditor::CommitShape(const ShapeRecord& work)
{
    auto r = std::make_unique<ShapeRecord>(work);
    r->Anchors[0] = ScreenToImagePoint(DragStart);
    r->Anchors[3] = ScreenToImagePoint(DragPoint);
    r->copyAnchors();
    r->FreeForm = FreeFormSelection;
    r->ReservedFlag = 0;
    if (r->ShapeType == Shapes::Pen || r->FreeForm) {
        r->Points.clear();
        r->Points.reserve(SelectionPoints.size());
        for (const QPoint& p : SelectionPoints)
            r->Points.push_back(ScreenToImagePoint(p));
    }
    r->PenMode = 4;
    r->Selected = false;
    r->RefPoint = Shapes::ShapeRefPoint(*r);
    ShapeRecord& committed = Doc.CommitShape(std::move(r), true);
    CurrentShape = &committed;
    return committed;
}

QPoint TFormPictureEditor::ShiftConstrain(QPoint p, bool shift)
{
    if (!shift)
        return p;
    const QPoint s = DragStart;
    switch (DrawMode) {
    case Shapes::Rectangle:
    case Shapes::Ellipse: {
        const int g = std::max(std::abs(p.x() - s.x()), std::abs(p.y() - s.y()));
        return {p.x() < s.x() ? s.x() - g : s.x() + g, p.y() < s.y() ? s.y() - g : s.y() + g};
    }
    case Shapes::Line:
        if (std::abs(p.y() - s.y()) < std::abs(p.x() - s.x()))
            return {p.x(), s.y()};
        return {s.x(), p.y()};
    case Shapes::Pen:
    case 64: {
        const int dx = std::abs(p.x() - AxisOrigin.x()), dy = std::abs(p.y() - AxisOrigin.y());
        if (MoveAxisLock == 0 && dx != dy)
            MoveAxisLock = dy < dx ? 1 : 2;
        if (MoveAxisLock == 1)
            return {p.x(), AxisOrigin.y()};
        if (MoveAxisLock == 2)
            return {AxisOrigin.x(), p.y()};
        return p;
    }
    default:
        return p;
    }
}

bool TFormPictureEditor::GestureUnderWay() const
{
    return MouseDragging || LayerMoving || LayerStretching || LayerRotating || m_mihonPressed;
}

bool TFormPictureEditor::EndMouseGesture()
{
    if (m_endingGesture || !GestureUnderWay())
        return false;
    const QScopedValueRollback<bool> ending(m_endingGesture, true);
    if (LayerStretching)
        imReformHLMouseUp();
    else if (LayerRotating)
        imRotateRTMouseUp();
    else
        // DragPoint is where the view shows the drag's end: constrained, and scrolled with the view.
        Image1MouseUp(Qt::LeftButton, CtrlHeld ? Qt::ControlModifier : Qt::NoModifier, DragPoint);
    // Nothing of the gesture outlives its end, whatever its release left.
    LayerMoving = LayerStretching = LayerRotating = m_mihonPressed = false;
    if (MouseDragging)
        SetMouseDragging(false);
    PreviewShown = false;
    m_penPreview = QImage();
    ClearShapeClipboard();
    Image1->update();
    return true;
}

void TFormPictureEditor::Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint point)
{
    ScrollBox1->setFocus();
    // Another button while a gesture is under way ends it and does nothing more.
    if (EndMouseGesture()) {
        m_pressEndedGesture = true;
        return;
    }
    m_pressEndedGesture = false;
    ShiftHeld = modifiers & Qt::ShiftModifier;
    DragPoint = MousePoint = point;
    CommitPendingDeform(false);
    PaletteClicked = false;

    if (EyedropperActive) {
        SetPaletteColor(2, ViewColorAt(point));
        SelectPaletteEntry(2);
        return;
    }
    if (imMihon.Visible && imMihon.Geometry.contains(point)) {
        imMihonMouseDown(button, point);
        return;
    }
    if (FloatingLayer* layer = LayerAt(point)) {
        imFaceMouseDown(*layer, button, point);
        return;
    }
    if (button != Qt::LeftButton)
        return;
    DragStart = DragPoint;
    MoveAxisLock = 0;
    AxisOrigin = DragStart;
    CtrlHeld = modifiers & Qt::ControlModifier;

    if (PopupJustClosed && (DrawMode == Shapes::Pen || DrawMode == Shapes::Fill)) {
        PopupJustClosed = false;
        return;
    }
    PopupJustClosed = false;
    if (CurrentLayer && !imFace.Visible && !imPaste.Visible) {
        CurrentLayer = nullptr;
        RestoreRememberedTool();
    }
    if (imMihon.Visible) {
        Prompter::warn(this, TracingHint);
        return;
    }
    if (DrawMode == Shapes::Stamp)
        DrawMode = ToolMode;
    if (DrawMode == 32 || DrawMode == 64) {
        RangeMouseDown();
        // A click outside the range goes on as a click of the tool.
        if (MouseDragging)
            return;
    }
    switch (DrawMode) {
    case Shapes::Rectangle:
    case Shapes::Ellipse:
    case Shapes::Line:
        PreviewShape = NewShapeRecord(PreviewColor());
        PreviewShown = true;
        SetMouseDragging(true);
        PenPaletteIndex = PaletteIndex;
        Image1->update();
        break;
    case Shapes::Pen:
        SelectionPoints = {DragStart};
        SetMouseDragging(true);
        PenPaletteIndex = PaletteIndex;
        startPenPreview();
        break;
    case Shapes::Fill: {
        CommitShape(NewShapeRecord(PaletteColor()));
        PushUndoSnapshot();
        FillPaletteIndex = PaletteIndex;
        Image1->update();
        break;
    }
    case 31:
        RangeMouseDown();
        break;
    default:
        break;
    }
}

void TFormPictureEditor::Image1MouseMove(Qt::KeyboardModifiers modifiers, QPoint point)
{
    if (LayerMoving) {
        imFaceMouseMove(point, modifiers & Qt::ShiftModifier);
        return;
    }
    if (m_mihonPressed) {
        imMihonMouseMove(point);
        return;
    }
    if (!MouseDragging) {
        DragPoint = MousePoint = point;
        ShowLayerHint(point);
        return;
    }
    MousePoint = point;
    const bool shift = modifiers & Qt::ShiftModifier;
    if (DrawMode == Shapes::Pen) {
        const QPoint p = ShiftConstrain(point, shift);
        const QPoint last = SelectionPoints.empty() ? p : SelectionPoints.back();
        DragPoint = p;
        SelectionPoints.push_back(p);
        extendPenPreview(last, p);
    } else if (DrawMode == 31 || DrawMode == 64) {
        RangeMouseMove(point, shift);
    } else if (isBand(DrawMode) && !AutoScrollMoved) {
        DragPoint = ShiftConstrain(point, shift);
        PreviewShape = NewShapeRecord(PreviewColor());
        Image1->update();
    }
}

void TFormPictureEditor::Image1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint point)
{
    if (LayerMoving) {
        if (button == Qt::LeftButton)
            imFaceMouseUp();
        return;
    }
    if (m_mihonPressed) {
        imMihonMouseUp(button);
        return;
    }
    DragPoint = MousePoint = point;
    if (EyedropperActive) {
        SetCanvasCursor(0);
        return;
    }
    if (button != Qt::LeftButton || !MouseDragging)
        return;
    if (DrawMode == 31 || DrawMode == 64) {
        if (DrawMode == 64)
            DragPoint = MousePoint = point;
        RangeMouseUp(modifiers);
        ClearShapeClipboard();
        SetMouseDragging(false);
        UpdateModeIndicator();
        return;
    }
    const bool shift = modifiers & Qt::ShiftModifier;
    bool commit = false;
    if (isBand(DrawMode) && DragStart != point) {
        DragPoint = ShiftConstrain(point, shift);
        commit = true;
    } else if (DrawMode == Shapes::Pen && !SelectionPoints.empty()) {
        DragPoint = ShiftConstrain(point, shift);
        commit = true;
    }
    PreviewShown = false;
    m_penPreview = QImage();
    if (commit) {
        CommitShape(NewShapeRecord(PaletteColor()));
        PushUndoSnapshot();
        DrawMode = ToolMode;
        SetDeformState(true, true);
    }
    if (DrawMode == Shapes::Pen)
        SelectionPoints.clear();
    ClearShapeClipboard();
    SetMouseDragging(false);
    Image1->update();
}

void TFormPictureEditor::startPenPreview()
{
    // The overlay covers the part of the view in sight; a drag that scrolls the view draws the
    // stroke again over the new part.
    m_penPreviewOrigin = ScrollBox1->scrollPosition();
    m_penPreview = QImage(Image1->size(), QImage::Format_ARGB32_Premultiplied);
    m_penPreview.fill(Qt::transparent);
    m_penPreviewLength = 0;
    extendPenPreview(DragStart, DragStart);
}

void TFormPictureEditor::extendPenPreview(QPoint from, QPoint to)
{
    if (m_penPreview.isNull())
        return;
    const int width = Shapes::PenWidthForShape(Shapes::Pen, std::clamp(udPen->value(), 0, 50), zoom());
    auto strokeOn = [&](QPainter& p, auto&& draw) {
        p.translate(-m_penPreviewOrigin);
        draw(Shapes::CreateShapePen(width, PreviewColor(), LineKind));
        if (LineKind > 0) {
            // The thin line along the middle that shows in the gaps, as the committed stroke has it;
            // behind what is drawn already, so it never covers a dash.
            p.setCompositionMode(QPainter::CompositionMode_DestinationOver);
            draw(Shapes::CreateShapePen(1, Doc.Style.secondWhite, 0));
        }
    };
    if (ScrollBox1->scrollPosition() != m_penPreviewOrigin) {
        m_penPreviewOrigin = ScrollBox1->scrollPosition();
        m_penPreview = QImage(Image1->size(), QImage::Format_ARGB32_Premultiplied);
        m_penPreview.fill(Qt::transparent);
        m_penPreviewLength = 0;
        for (size_t i = 1; i < SelectionPoints.size(); ++i)
            m_penPreviewLength += std::hypot(SelectionPoints[i].x() - SelectionPoints[i - 1].x(),
                                             SelectionPoints[i].y() - SelectionPoints[i - 1].y());
        QPainter p(&m_penPreview);
        strokeOn(p, [&](const QPen& pen) {
            p.setPen(pen);
            p.drawPolyline(SelectionPoints.data(), int(SelectionPoints.size()));
        });
        Image1->update();
        return;
    }
    {
        QPainter p(&m_penPreview);
        strokeOn(p, [&](QPen pen) {
            // Each segment goes on with the dash pattern where the one before left it (the offset
            // counts in pen widths), so a stroke made of many small moves looks as dashed as the
            // committed polyline.
            if (pen.style() != Qt::SolidLine)
                pen.setDashOffset(m_penPreviewLength / std::max(1.0, pen.widthF()));
            p.setPen(pen);
            // A stroke that has not moved draws nothing, as its record will.
            if (from != to)
                p.drawLine(from, to);
        });
    }
    m_penPreviewLength += std::hypot(to.x() - from.x(), to.y() - from.y());
    const int reach = width / 2 + 2;
    Image1->update(QRect(from, to).normalized().adjusted(-reach, -reach, reach, reach).translated(-m_penPreviewOrigin));
}

void TFormPictureEditor::PaintDrawingOverlay(QPainter& p, const QRect& exposed)
{
    if (PreviewShown && isBand(PreviewShape.ShapeType)) {
        p.save();
        p.setClipRect(exposed);
        // Inverted against what lies beneath, so it shows on any colour.
        p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        Shapes::RenderStyle style = Doc.Style;
        style.zoom = zoom();
        // The end follows DragPoint, which scrolling during the drag moves too.
        ShapeRecord band = PreviewShape;
        band.Anchors[3] = DragPoint;
        Shapes::PaintOutline(p, band, style);
        p.restore();
    }
    if (!m_penPreview.isNull()) {
        const QRect part = exposed.intersected(QRect(m_penPreviewOrigin, m_penPreview.size()));
        if (!part.isEmpty())
            p.drawImage(part.topLeft(), m_penPreview, part.translated(-m_penPreviewOrigin));
    }
}
