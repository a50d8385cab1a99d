// The range tool: rectangular and free-form ranges, copy, cut, erase and trimming, and picking
// and dragging shapes (a dragged range becomes a white stamp plus a stamp of its content).
#include "UnitPictureEditor.h"

#include "CanvasScrollBox.h"
#include "Prompter.h"
#include "ShapeRender.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr int RangeMode = 31, RangeShown = 32, ShapeDrag = 64;

QPolygon polygonOf(const std::vector<QPoint>& points, QPoint offset = {})
{
    QPolygon polygon;
    polygon.reserve(qsizetype(points.size()));
    for (const QPoint& p : points)
        polygon << p + offset;
    return polygon;
}

void moveRecord(ShapeRecord& r, QPoint d)
{
    for (int i = 0; i < 6; ++i)
        r.Anchors[size_t(i)] += d;
    r.copyAnchors();
    r.RefPoint += d;
    for (QPoint& e : r.Extremes)
        e += d;
    // A free-form stamp's outline goes with it, or the stamp would show nothing at its new place.
    if (r.ShapeType == Shapes::Pen || r.FreeForm)
        for (QPoint& p : r.Points)
            p += d;
}

} // namespace

void TFormPictureEditor::sbRangeClick()
{
    PlaceTracingPicture();
    CommitPendingDeform(true);
    sbRange->setChecked(true);
    DrawMode = ToolMode = RangeMode;
    if (ToolButton != sbRange) {
        PreviousToolButton = ToolButton;
        ToolButton = sbRange;
    }
    PaletteClicked = false;
    LayerLastOperation[1] = LayerLastOperation[2] = 0;
    SetCanvasCursor(rbRectRange->isChecked() ? 7 : 8);
    ClearSelection();
    PlaceLayerHandles();
    UpdateModeIndicator();
}

void TFormPictureEditor::rbRectRangeClick()
{
    sbRange->setChecked(true);
    sbRangeClick();
}

void TFormPictureEditor::ClearSelection()
{
    const bool had = RangeExists;
    RangeExists = false;
    FreeFormSelection = false;
    SelectionRect = {};
    SelectionPoints.clear();
    if (DrawMode == RangeShown)
        DrawMode = ToolMode;
    if (had && Image1)
        Image1->update();
}

void TFormPictureEditor::ClearSelectionFlags()
{
    for (auto& record : Doc.ShapeList)
        record->Selected = false;
}

QRect TFormPictureEditor::RangeInPicture() const
{
    if (!RangeExists)
        return {};
    const CanvasView::Bounds b = ScreenToImageRect(SelectionRect);
    return QRect(QPoint(b.left, b.top), QPoint(b.right - 1, b.bottom - 1)).intersected(Doc.CanvasBitmap.rect());
}

bool TFormPictureEditor::PointInFreeSelection(QPoint point) const
{
    return polygonOf(SelectionPoints).containsPoint(point, Qt::OddEvenFill);
}

bool TFormPictureEditor::PointInRange(QPoint p) const
{
    if (!RangeExists)
        return false;
    if (FreeFormSelection) {
        QPolygon polygon;
        for (const QPoint& q : SelectionPoints)
            polygon << ScreenToImagePoint(q);
        return polygon.containsPoint(p, Qt::OddEvenFill);
    }
    const CanvasView::Bounds b = ScreenToImageRect(SelectionRect);
    return p.x() >= b.left && p.x() < b.right && p.y() >= b.top && p.y() < b.bottom;
}

bool TFormPictureEditor::ShapeInRange(const ShapeRecord& r) const
{
    const bool byRefPoint = r.ShapeType == Shapes::Fill || r.ShapeType == Shapes::Stamp;
    auto inside = [&](QPoint p) { return PointInRange(p); };
    if (byRefPoint)
        return inside(r.RefPoint);
    return std::all_of(r.Extremes.begin(), r.Extremes.end(), inside);
}

int TFormPictureEditor::PickShapesAt(QPoint p)
{
    if (p == QPoint(-2, -2)) {
        ClearSelectionFlags();
        if (Doc.ShapeList.empty())
            return 0;
        Doc.ShapeList.back()->Selected = true;
        return 1;
    }
    if (p.x() <= 0 && p.y() <= 0) {
        // Deselecting only: a click at the picture's corner selects nothing.
        ClearSelectionFlags();
        return 0;
    }
    p = ScreenToImagePoint(p);
    if (DrawMode != ShapeDrag)
        ClearSelectionFlags();
    int count = 0;
    if (RangeExists) {
        for (auto& r : Doc.ShapeList)
            if (ShapeInRange(*r)) {
                r->Selected = true;
                ++count;
            }
        return count;
    }
    for (auto it = Doc.ShapeList.rbegin(); it != Doc.ShapeList.rend(); ++it) {
        ShapeRecord& r = **it;
        const int reach = r.ShapeType == Shapes::Fill ? 5 : 8;
        if (std::abs(p.x() - r.RefPoint.x()) > reach || std::abs(p.y() - r.RefPoint.y()) > reach)
            continue;
        if (!CtrlHeld) {
            ClearSelectionFlags();
            r.Selected = true;
            return 1;
        }
        r.Selected = !r.Selected;
        count += r.Selected ? 1 : -1;
    }
    return count;
}

void TFormPictureEditor::RerenderCanvas(bool force)
{
    Doc.RerenderCanvas(!force && (CtrlHeld || DrawMode == ShapeDrag));
}

void TFormPictureEditor::OffsetShape(ShapeRecord& record, int dx, int dy) const
{
    moveRecord(record, {ScreenToImage(dx), ScreenToImage(dy)});
}

void TFormPictureEditor::CopyShapeToClipboard(const ShapeRecord& record)
{
    auto copy = std::make_unique<ShapeRecord>(record);
    copy->Selected = false;
    ShapeClipboard.push_back(std::move(copy));
    CurrentShape = ShapeClipboard.back().get();
}

void TFormPictureEditor::ClearShapeClipboard()
{
    if (CurrentShape)
        for (const auto& r : ShapeClipboard)
            if (r.get() == CurrentShape)
                CurrentShape = Doc.ShapeList.empty() ? nullptr : Doc.ShapeList.back().get();
    ShapeClipboard.clear();
    if (!GhostImages.empty()) {
        GhostImages.clear();
        Image1->update();
    }
}

void TFormPictureEditor::PasteShapeClipboard(int dx, int dy)
{
    const QPoint d(ScreenToImage(dx), ScreenToImage(dy));
    for (const auto& r : ShapeClipboard) {
        auto copy = std::make_unique<ShapeRecord>(*r);
        moveRecord(*copy, d);
        Doc.CommitShape(std::move(copy), false);
    }
}

void TFormPictureEditor::MakeShapeGhost(const ShapeRecord& r)
{
    ShapeGhost ghost;
    QPoint origin;
    if (r.ShapeType == Shapes::Stamp) {
        origin = r.Anchors[3];
        ghost.picture = CanvasView::whiteSeeThrough(r.StampPicture);
    } else {
        origin = {r.Extremes[0].x() + r.Margins[0], r.Extremes[1].y() + r.Margins[1]};
        const QSize size(r.Extremes[2].x() + r.Margins[2] - origin.x(), r.Extremes[3].y() + r.Margins[3] - origin.y());
        // Only what lies on the canvas: a strongly curved line reaches thousands of pixels beyond it.
        const QRect shown = QRect(origin, size.expandedTo({1, 1})) & Doc.CanvasBitmap.rect();
        if (!shown.isEmpty())
            origin = shown.topLeft();
        QImage scratch((shown.isEmpty() ? QSize(1, 1) : shown.size()), QImage::Format_RGB32);
        scratch.fill(0xFFFFFFFF);
        ShapeRecord moved = r;
        moveRecord(moved, -origin);
        Shapes::RenderShape(scratch, moved, Doc.Style);
        ghost.picture = CanvasView::whiteSeeThrough(scratch);
    }
    ghost.rect = QRect(ImageToScreen(origin.x()), ImageToScreen(origin.y()), ImageToScreen(ghost.picture.width()),
                       ImageToScreen(ghost.picture.height()));
    GhostImages.push_back(std::move(ghost));
}

void TFormPictureEditor::EndShapeDrag(int x, int y, bool showPopup)
{
    if (SelectedCount == 0 || MouseDragging) {
        DrawMode = ToolMode;
        ClearSelection();
        PickShapesAt({0, 0});
        RerenderCanvas(false);
        Image1->update();
        ClearShapeClipboard();
    }
    // The menu marks a click that dismisses it by itself.
    if (!MouseDragging && showPopup)
        ShowPopupMenu(ScrollBox1->viewport()->mapToGlobal(QPoint(x, y) - ScrollBox1->scrollPosition()));
    SetMouseDragging(false);
}

void TFormPictureEditor::RangeMouseDown()
{
    if (DrawMode == RangeMode) {
        ClearSelection();
        FreeFormSelection = rbFreeRange->isChecked();
        if (FreeFormSelection) {
            SelectionPoints = {DragStart};
            SelectionRect = {DragStart.x(), DragStart.y(), DragStart.x(), DragStart.y()};
            RangeExists = true;
        }
        SetMouseDragging(true);
        return;
    }

    if (DrawMode == RangeShown) {
        const bool inside = FreeFormSelection
                                ? PointInFreeSelection(DragPoint)
                                : DragPoint.x() >= SelectionRect.left && DragPoint.x() < SelectionRect.right
                                      && DragPoint.y() >= SelectionRect.top && DragPoint.y() < SelectionRect.bottom;
        if (!inside) {
            DrawMode = ToolMode;
            ClearSelection();
            PickShapesAt({0, 0});
            Image1->update();
            return;
        }
        // The range becomes a white stamp where it was and a stamp of its content, which is dragged.
        const QRect r = RangeInPicture();
        QImage content;
        CopySelectionToBitmap(content, Doc.CanvasBitmap, Shapes::TransparentWhite, true);
        QImage white(r.size(), QImage::Format_RGB32);
        white.fill(0xFFFFFFFF);
        auto eraser = Shapes::makeStamp(white, r.topLeft(), Shapes::TransparentWhite);
        if (FreeFormSelection) {
            eraser->FreeForm = 1;
            for (const QPoint& p : SelectionPoints)
                eraser->Points.push_back(ScreenToImagePoint(p));
            eraser->RefPoint = Shapes::ShapeRefPoint(*eraser);
        }
        Doc.CommitShape(std::move(eraser), true);
        Doc.CommitShape(Shapes::makeStamp(content, r.topLeft(), PaletteColors[0]), true);
        ClearSelection();
        DrawMode = ShapeDrag;
        SelectedCount = PickShapesAt({-2, -2});
    } else {
        // Picking shapes to drag.
        SelectedCount = PickShapesAt(DragPoint);
        if (SelectedCount <= 0) {
            DrawMode = ToolMode;
            ClearSelection();
            PickShapesAt({0, 0});
            Image1->update();
            return;
        }
    }

    if (!CtrlHeld)
        RerenderCanvas(false);
    ClearShapeClipboard();
    for (const auto& r : Doc.ShapeList) {
        if (!r->Selected)
            continue;
        if (r->ShapeType != Shapes::Fill)
            MakeShapeGhost(*r);
        CopyShapeToClipboard(*r);
    }
    Image1->update();
    SetMouseDragging(true);
}

void TFormPictureEditor::RangeMouseMove(QPoint point, bool shift)
{
    if (DrawMode == RangeMode) {
        if (!FreeFormSelection) {
            const QRect before = QRect(DragStart, DragPoint).normalized();
            DragPoint = point;
            ScrollBox1->updatePaintBox(before.united(QRect(DragStart, DragPoint).normalized()).adjusted(-1, -1, 2, 2));
            return;
        }
        const QPoint last = SelectionPoints.back();
        DragPoint = point;
        SelectionPoints.push_back(point);
        SelectionRect.left = std::min(SelectionRect.left, point.x());
        SelectionRect.right = std::max(SelectionRect.right, point.x());
        SelectionRect.top = std::min(SelectionRect.top, point.y());
        SelectionRect.bottom = std::max(SelectionRect.bottom, point.y());
        ScrollBox1->updatePaintBox(QRect(last, point).normalized().adjusted(-1, -1, 2, 2));
        return;
    }
    if (DrawMode == ShapeDrag && !AutoScrollMoved && SelectedCount > 0) {
        const QPoint before = DragPoint - DragStart;
        DragPoint = ShiftConstrain(point, shift);
        const QPoint after = DragPoint - DragStart;
        // Only where the ghosts were and are now.
        for (const ShapeGhost& g : GhostImages)
            ScrollBox1->updatePaintBox(g.rect.translated(before).united(g.rect.translated(after)));
    }
}

void TFormPictureEditor::RangeMouseUp(Qt::KeyboardModifiers modifiers)
{
    if (DrawMode == RangeMode) {
        if (FreeFormSelection) {
            if (SelectionRect.width() == 0 || SelectionRect.height() == 0) {
                ClearSelection();
                return;
            }
            // The bounding box of the outline, one past its last picture pixel, so that a range takes the
            // same pixels at every zoom.
            auto pastLast = [this](int v) {
                const int next = ScreenToImage(v) + 1;
                int past = ImageToScreen(next);
                while (ScreenToImage(past) < next)
                    ++past;
                return past;
            };
            SelectionRect.right = pastLast(SelectionRect.right);
            SelectionRect.bottom = pastLast(SelectionRect.bottom);
        } else {
            if (DragStart == DragPoint)
                return;
            SelectionRect = {std::min(DragStart.x(), DragPoint.x()), std::min(DragStart.y(), DragPoint.y()),
                             std::max(DragStart.x(), DragPoint.x()), std::max(DragStart.y(), DragPoint.y())};
            RangeExists = true;
        }
        const QSize box = ScrollBox1->paintBoxSize();
        SelectionRect.left = std::max(SelectionRect.left, 0);
        SelectionRect.top = std::max(SelectionRect.top, 0);
        SelectionRect.right = std::min(SelectionRect.right, box.width());
        SelectionRect.bottom = std::min(SelectionRect.bottom, box.height());
        if (RangeInPicture().isEmpty()) {
            // Nothing to act on: no range, and the range tool stays armed.
            ClearSelection();
            return;
        }
        DrawMode = RangeShown;
        Image1->update();
        return;
    }
    if (DrawMode != ShapeDrag)
        return;
    CtrlHeld = modifiers & Qt::ControlModifier;
    if (DragStart == DragPoint) {
        EndShapeDrag(0, 0, false);
        return;
    }
    const QPoint d = ShiftConstrain(DragPoint, modifiers & Qt::ShiftModifier) - DragStart;
    if (SelectedCount > 0) {
        if (CtrlHeld) {
            PasteShapeClipboard(d.x(), d.y());
        } else {
            for (auto& r : Doc.ShapeList)
                if (r->Selected)
                    OffsetShape(*r, d.x(), d.y());
        }
        DrawMode = ToolMode;
        RerenderCanvas(true);
        Image1->update();
        ClearSelection();
        PickShapesAt({0, 0});
        PushUndoSnapshot();
    }
}

void TFormPictureEditor::PaintRangeOverlay(QPainter& p, const QRect& exposed)
{
    p.save();
    p.setClipRect(exposed);
    if (DrawMode == RangeMode && MouseDragging && !FreeFormSelection && DragStart != DragPoint) {
        QPen pen(QColor(255, 0, 0), 1);
        pen.setCosmetic(true);
        pen.setDashPattern({1.0, 1.0});
        p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(DragStart, DragPoint).normalized());
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QPoint moved = DragPoint - DragStart;
    for (const ShapeGhost& g : GhostImages) {
        const QRect at = g.rect.translated(moved);
        if (at.intersects(exposed))
            p.drawImage(at, g.picture);
    }
    p.restore();
}

void TFormPictureEditor::sbCopyClick()
{
    PopupJustClosed = false;
    const QRect r = RangeInPicture();
    if (r.isEmpty())
        return;
    PasteOrigin = r.topLeft();
    QImage copy;
    CopySelectionToBitmap(copy, Doc.CanvasBitmap, Shapes::TransparentWhite, true);
    QGuiApplication::clipboard()->setImage(copy);
    DrawMode = ToolMode;
    RerenderCanvas(false);
    Image1->update();
    ClearSelection();
    PickShapesAt({0, 0});
}

void TFormPictureEditor::sbCutClick(bool cut)
{
    PopupJustClosed = false;
    const QRect r = RangeInPicture();
    if (r.isEmpty())
        return;
    PasteOrigin = r.topLeft();
    QImage copy;
    CopySelectionToBitmap(copy, Doc.CanvasBitmap, Shapes::TransparentWhite, true);
    if (cut)
        QGuiApplication::clipboard()->setImage(copy);
    QImage white(r.size(), QImage::Format_RGB32);
    white.fill(0xFFFFFFFF);
    auto eraser = Shapes::makeStamp(white, r.topLeft(), Shapes::TransparentWhite);
    if (FreeFormSelection) {
        eraser->FreeForm = 1;
        for (const QPoint& p : SelectionPoints)
            eraser->Points.push_back(ScreenToImagePoint(p));
        eraser->RefPoint = Shapes::ShapeRefPoint(*eraser);
    }
    CurrentShape = &Doc.CommitShape(std::move(eraser), true);
    DrawMode = ToolMode;
    RerenderCanvas(false);
    Image1->update();
    ClearSelection();
    PushUndoSnapshot();
    PickShapesAt({0, 0});
}

void TFormPictureEditor::sbTrimmingClick()
{
    const QRect r = RangeInPicture();
    if (r.isEmpty())
        return;
    if (CurrentLayer) {
        Prompter::warn(this, u"貼付枠を閉じて下さい。"_s);
        return;
    }
    // Only what the range shows is kept: a free-form range's outside becomes transparent white.
    QImage content;
    CopySelectionToBitmap(content, Doc.CanvasBitmap, Shapes::TransparentWhite, true);
    // The canvas cannot take a larger range whole: the user hears what stays before anything is cut.
    const QSize kept = CanvasView::clampCanvasSize(content.size());
    if (kept.width() < content.width() || kept.height() < content.height()) {
        const QString text = u"選択した範囲は %1 × %2 です。キャンバスの大きさは %3 × %4 までなので，\r\n"
                             u"左上の %5 × %6 だけが残ります。トリミングしますか。"_s.arg(content.width())
                                 .arg(content.height())
                                 .arg(CanvasView::MaxCanvasWidth)
                                 .arg(CanvasView::MaxCanvasHeight)
                                 .arg(std::min(content.width(), kept.width()))
                                 .arg(std::min(content.height(), kept.height()));
        if (Prompter::ask(this, text, Prompter::Buttons::YesCancel, Prompter::Answer::Cancel) != Prompter::Answer::Yes)
            return;
    }
    QImage white(Doc.CanvasBitmap.size(), QImage::Format_RGB32);
    white.fill(0xFFFFFFFF);
    Doc.CommitShape(Shapes::makeStamp(white, {0, 0}, Shapes::TransparentWhite), true);
    PickShapesAt({0, 0});
    ClearSelection();
    CurrentShape = &Doc.CommitShape(Shapes::makeStamp(content, {0, 0}, PaletteColors[0]), true);
    const QSize size = CanvasView::clampCanvasSize(content.size());
    // The canvas already shows the stamps; only a new size rebuilds it.
    if (size != Doc.canvasSize()) {
        SetCanvasSize(size.width(), size.height());
        showCanvasSizeInBoxes();
    }
    PushUndoSnapshot();
    DrawMode = ToolMode;
}

void TFormPictureEditor::mmSelectAllClick()
{
    if (!sbRange->isChecked())
        sbRangeClick();
    // The whole canvas as a rectangle, wherever the pointer is and whichever range kind is chosen.
    ClearSelection();
    const QSize box = ScrollBox1->paintBoxSize();
    SelectionRect = {0, 0, box.width(), box.height()};
    RangeExists = true;
    DrawMode = RangeShown;
    Image1->update();
}
