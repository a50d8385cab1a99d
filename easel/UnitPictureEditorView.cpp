// The zoomed view of the picture editor: zoom, canvas size, painting, the wheel, scrolling while
// a drag leaves the view, and the grid.
#include "UnitPictureEditor.h"

#include "CanvasScrollBox.h"
#include "EaselForms.h"
#include "Palette.h"
#include "Prompter.h"
#include "UnitShowMasu.h"

#include <QCursor>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>

using namespace Qt::StringLiterals;

int TFormPictureEditor::zoom() const {
    return CanvasView::clampZoom(UpDown1->value());
}

bool TFormPictureEditor::PointerOverCanvasPanel(QPoint& screenPoint) const {
    screenPoint = QCursor::pos();
    return pnImage->rect().contains(pnImage->mapFromGlobal(screenPoint));
}

void TFormPictureEditor::UpDown1Click() {
    // A drag's points are view points at the zoom it started at.
    EndMouseGesture();
    ClearSelectionFlags();
    ClearSelection();
    const QPoint kept = ScrollBox1->scrollPosition();
    const QSize old = ScrollBox1->paintBoxSize();
    const QSize now = CanvasView::zoomedSize(Doc.canvasSize(), zoom());
    ScrollBox1->setPaintBoxSize(now);
    const QPoint after = ScrollBox1->scrollPosition();
    ScrollBox1->setScrollPosition(
        {CanvasView::scrollAfterZoom(kept.x(), old.width(), now.width(), after.x()),
         CanvasView::scrollAfterZoom(kept.y(), old.height(), now.height(), after.y())});
    // "独立": the imported picture keeps its place on screen, however the view scrolled.
    if (rbBairituKotei->isChecked())
        imFace.Geometry.translate(ScrollBox1->scrollPosition() - kept);
    LayoutLayers();
    PlaceLayerHandles();
    Image1->update();
}

void TFormPictureEditor::SetZoom(int value) {
    {
        const QSignalBlocker blocker(UpDown1);
        UpDown1->setValue(CanvasView::clampZoom(value));
    }
    UpDown1Click();
}

void TFormPictureEditor::cbIncrementClick() {
    const bool tens = cbIncrement->isChecked();
    UpDown1->setSingleStep(tens ? 10 : 1);
    cbIncrement->setText(tens ? u"±10"_s : u"±1"_s);
}

void TFormPictureEditor::bt100Click() {
    SetZoom(CanvasView::DefaultZoom);
}

void TFormPictureEditor::showCanvasSizeInBoxes() {
    const QSignalBlocker width(udWidth), height(udHeight);
    udWidth->setValue(Doc.canvasSize().width());
    udHeight->setValue(Doc.canvasSize().height());
}

void TFormPictureEditor::canvasSizeChanged(QPoint keptScroll) {
    // The view stays where it was, as far as the new ranges allow.
    UpDown1Click();
    ScrollBox1->setScrollPosition(keptScroll);
}

void TFormPictureEditor::SetCanvasSize(int width, int height) {
    if (width < 1 || height < 1) return;
    const QPoint kept = ScrollBox1->scrollPosition();
    // A new size draws a background that clear all left out again.
    const bool cleared = Doc.BackgroundCleared;
    Doc.BackgroundCleared = false;
    if (!Doc.SetCanvasSize({width, height})) {
        Doc.BackgroundCleared = cleared;
        Prompter::warn(this, u"キャンバスをこの大きさにできません。"_s);
        showCanvasSizeInBoxes();
        return;
    }
    Image1->update();
    canvasSizeChanged(kept);
}

void TFormPictureEditor::edWidthChange(Qt::Orientation side)
{
    // Only the side of the box that changed: a picture larger than the boxes allow keeps its other
    // side, which the other box cannot show.
    QSize size = Doc.canvasSize();
    if (side == Qt::Horizontal)
        size.setWidth(CanvasView::clampCanvasSize({udWidth->value(), udHeight->value()}).width());
    else
        size.setHeight(CanvasView::clampCanvasSize({udWidth->value(), udHeight->value()}).height());
    if (size != Doc.canvasSize()) SetCanvasSize(size.width(), size.height());
}

CanvasView::ViewState TFormPictureEditor::viewState() const {
    CanvasView::ViewState s;
    s.canvas = &Doc.CanvasBitmap;
    s.zoom = zoom();
    s.box = ScrollBox1->paintBoxSize();
    s.gridShown = GridShown;
    s.gridCellWidth = GridCellWidth;
    s.gridCellHeight = GridCellHeight;
    s.gridColour = ColourText::toQRgb(GridColor);
    s.tracing = TracingPicture.isNull() ? nullptr : &TracingPicture;
    s.tracingShown = TracingPictureShown;
    s.tracingOrigin = TracingPictureOrigin;
    s.rangeShown = RangeExists && (DrawMode == 31 || DrawMode == 32);
    s.freeForm = FreeFormSelection;
    s.selectionRect = SelectionRect;
    s.selectionPoints = &SelectionPoints;
    return s;
}

void TFormPictureEditor::PaintCanvasView(QPainter& painter, const QRect& exposed) {
    // What is drawn on the canvas ends at its edge; the floating pictures lie over the whole view.
    const QRect onBox = exposed.intersected(QRect(QPoint(0, 0), ScrollBox1->paintBoxSize()));
    if (!onBox.isEmpty()) {
        painter.save();
        painter.setClipRect(onBox);
        CanvasView::paint(painter, viewState(), onBox);
        PaintDrawingOverlay(painter, onBox);
        PaintRangeOverlay(painter, onBox);
        painter.restore();
    }
    PaintLayers(painter, exposed);
}

bool TFormPictureEditor::CMMouseWheel(QPoint screenPoint, int delta) {
    const QPoint pointer = ScrollBox1->mapFromGlobal(screenPoint);
    if (!ScrollBox1->rect().contains(pointer)) return false;
    const CanvasView::WheelAction action = CanvasView::wheelAction(
        pointer, ScrollBox1->size(), delta, ScrollBox1->scrollPosition(), ScrollBox1->maxScroll());
    // The arrow keys go to the form's own arrow handler, whatever control has the keyboard: they
    // move the current floating picture, nudge a drag, or scroll.
    for (CanvasView::Arrow arrow : action.keys)
        CMDialogKey(arrow, Qt::NoModifier);
    if (action.zoomDirection != 0) {
        const int next = CanvasView::clampZoom(zoom() + action.zoomDirection * UpDown1->singleStep());
        if (next != UpDown1->value()) UpDown1->setValue(next);
    }
    return true;
}

void TFormPictureEditor::SetMouseDragging(bool dragging) {
    MouseDragging = dragging;
    AutoScrollMoved = false;
    if (dragging)
        m_autoScroll->start();
    else
        m_autoScroll->stop();
}

void TFormPictureEditor::IdleAutoScroll() {
    if (!MouseDragging) {
        m_autoScroll->stop();
        return;
    }
    const QPoint p = ScrollBox1->viewport()->mapFromGlobal(QCursor::pos());
    const QPoint before = ScrollBox1->scrollPosition();
    ScrollBox1->setScrollPosition(before + CanvasView::autoScrollDelta(p, ScrollBox1->viewport()->size()));
    const bool moved = ScrollBox1->scrollPosition() != before;
    const bool movedBefore = AutoScrollMoved;
    AutoScrollMoved = moved;
    if (moved || movedBefore) {
        Image1->update();
        DragPoint = ToolPoint(ScrollBox1->lastPointer());
    }
}

void TFormPictureEditor::sbShowMasuClick() {
    if (sbShowMasu->isChecked()) {
        EaselForms* forms = EaselForms::current();
        TFormShowMasu* dialog = forms ? forms->formShowMasu.get() : nullptr;
        std::unique_ptr<TFormShowMasu> own;
        if (!dialog) {
            own = std::make_unique<TFormShowMasu>(this);
            dialog = own.get();
        }
        dialog->preset(GridCellWidth, GridCellHeight, GridColor);
        if (Prompter::backend().execModal(*dialog) == QDialog::Accepted) {
            // The dialog never gives less than one pixel; a cell of 0 would leave nothing to draw.
            GridCellWidth = std::max(CanvasView::MinGridCell, dialog->cellWidth());
            GridCellHeight = std::max(CanvasView::MinGridCell, dialog->cellHeight());
            GridColor = dialog->LineColor;
            GridShown = true;
        } else {
            GridShown = false;
            sbShowMasu->setChecked(false);
        }
    } else {
        GridShown = false;
    }
    Doc.RerenderCanvas();
    Image1->update();
}
