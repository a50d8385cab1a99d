// The red handles around the current floating picture and the transforms they drive: stretching,
// rotating and flipping, and trimming a rotated picture to what it shows.
#include "UnitPictureEditor.h"

#include "CanvasScrollBox.h"
#include "EditorCursors.h"
#include "LayerTransform.h"
#include "PointerPixel.h"
#include "ShapeRender.h"

#include <QButtonGroup>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <cmath>
#include <functional>
#include <numbers>

using namespace Qt::StringLiterals;

namespace {

constexpr int HandlePicture = 12;

// A red square on the view that hands its mouse to the form in screen coordinates: the screen point
// of the view pixel under the pointer, so that a drag goes by the view pixels the pointer crossed.
class LayerHandle : public QWidget {
public:
    LayerHandle(QWidget* parent, const QString& name, int tag, Qt::CursorShape cursor)
        : QWidget(parent)
    {
        setObjectName(name);
        setProperty("Tag", tag);
        setCursor(cursor);
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(HandlePicture, HandlePicture);
        hide();
    }
    std::function<void(Qt::MouseButton, QPoint)> onDown;
    std::function<void(QPoint)> onMove;
    std::function<void()> onUp;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(255, 0, 0)); }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (onDown)
            onDown(e->button(), screenPointOf(e));
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (onMove && (e->buttons() & Qt::LeftButton))
            onMove(screenPointOf(e));
    }
    void mouseReleaseEvent(QMouseEvent*) override
    {
        if (onUp)
            onUp();
    }

private:
    QPoint screenPointOf(const QMouseEvent* e) const
    {
        const QPointF inView = PointerPixel::exactPosition(*e, *this) + QPointF(pos());
        return parentWidget()->mapToGlobal(PointerPixel::pixelAt(inView));
    }
};

} // namespace

void TFormPictureEditor::buildLayerHandles()
{
    QWidget* view = ScrollBox1->viewport();
    // Kept within the view as it scrolls, too: scrolling carries the handles with the picture.
    for (QScrollBar* bar : {ScrollBox1->horizontalScrollBar(), ScrollBox1->verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] { PlaceLayerHandles(); });
    // A floating picture takes the mouse wherever it lies over the view, beyond the canvas too.
    ScrollBox1->takesMouseAt = [this](QPoint point) {
        return (imMihon.Visible && imMihon.Geometry.contains(point)) || LayerAt(point);
    };
    const char* reformNames[] = {"imReformHL", "imReformHR", "imReformVT", "imReformVB",
                                 "imReformLT", "imReformRT", "imReformLB", "imReformRB"};
    const Qt::CursorShape reformCursors[] = {Qt::SizeHorCursor,   Qt::SizeHorCursor,   Qt::SizeVerCursor,
                                             Qt::SizeVerCursor,   Qt::SizeFDiagCursor, Qt::SizeBDiagCursor,
                                             Qt::SizeBDiagCursor, Qt::SizeFDiagCursor};
    for (int i = 0; i < 8; ++i) {
        auto* h = new LayerHandle(view, QString::fromLatin1(reformNames[i]), i, reformCursors[i]);
        h->onDown = [this, i](Qt::MouseButton b, QPoint p) { imReformHLMouseDown(i, b, p); };
        h->onMove = [this](QPoint p) { imReformHLMouseMove(p); };
        h->onUp = [this] { imReformHLMouseUp(); };
        imReform[size_t(i)] = h;
    }
    const char* rotateNames[] = {"imRotateRT", "imRotateRB", "imRotateLT", "imRotateLB"};
    for (int i = 0; i < 4; ++i) {
        auto* h = new LayerHandle(view, QString::fromLatin1(rotateNames[i]), 0, Qt::CrossCursor);
        h->setCursor(EditorCursors::cursor(i < 2 ? EditorCursors::Rotate : EditorCursors::Rotate2));
        h->onDown = [this, i](Qt::MouseButton b, QPoint p) { imRotateRTMouseDown(i, b, p); };
        h->onMove = [this](QPoint p) { imRotateRTMouseMove(p); };
        h->onUp = [this] { imRotateRTMouseUp(); };
        imRotate[size_t(i)] = h;
    }
    const char* reverseNames[] = {"imReverseHL", "imReverseHR", "imReverseVT", "imReverseVB"};
    for (int i = 0; i < 4; ++i) {
        const int tag = i < 2 ? 0 : 1;
        auto* h = new LayerHandle(view, QString::fromLatin1(reverseNames[i]), tag,
                                  tag ? Qt::SizeVerCursor : Qt::SizeHorCursor);
        h->onDown = [this, tag](Qt::MouseButton, QPoint) { imReverseHLMouseDown(tag); };
        imReverse[size_t(i)] = h;
    }

    // The mode buttons live hidden in the tool group, so choosing any tool ends a mode.
    auto modeButton = [this](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setCheckable(true);
        b->hide();
        ToolGroup->addButton(b);
        connect(b, &QPushButton::clicked, this, [this, b] { LayerModeClick(b); });
        return b;
    };
    sbFaceReform = modeButton(u"伸縮"_s, u"sbFaceReform"_s);
    sbFaceRotate = modeButton(u"回転"_s, u"sbFaceRotate"_s);
    sbFaceReverse = modeButton(u"反転"_s, u"sbFaceReverse"_s);
    sbPicMove = modeButton(u"移動"_s, u"sbPicMove"_s);
    sbRgReform = modeButton(u"伸縮"_s, u"sbRgReform"_s);
    sbRgRotate = modeButton(u"回転"_s, u"sbRgRotate"_s);
    sbRgReverse = modeButton(u"反転"_s, u"sbRgReverse"_s);
}

bool TFormPictureEditor::LayerModePressed(const FloatingLayer& layer) const
{
    if (&layer == &imFace)
        return sbFaceReform->isChecked() || sbFaceRotate->isChecked() || sbFaceReverse->isChecked();
    return sbRgReform->isChecked() || sbRgRotate->isChecked() || sbRgReverse->isChecked();
}

void TFormPictureEditor::LayerModeClick(QAbstractButton* button)
{
    if (button == sbPicMove) {
        // Releases the group, nothing more.
        PlaceLayerHandles();
        return;
    }
    const bool face = button == sbFaceReform || button == sbFaceRotate || button == sbFaceReverse;
    FloatingLayer& layer = face ? imFace : imPaste;
    if (!layer.Visible) {
        RestoreRememberedTool();
        return;
    }
    ClearSelection();
    ToolMode = DrawMode = 0;
    CurrentLayer = &layer;
    PlaceLayerHandles();
    UpdateModeIndicator();
}

void TFormPictureEditor::pmReformClick()
{
    if (!CurrentLayer)
        return;
    QPushButton* b = CurrentLayer == &imFace ? sbFaceReform : sbRgReform;
    b->setChecked(true);
    LayerModeClick(b);
}

void TFormPictureEditor::pmRotateClick()
{
    if (!CurrentLayer)
        return;
    QPushButton* b = CurrentLayer == &imFace ? sbFaceRotate : sbRgRotate;
    b->setChecked(true);
    LayerModeClick(b);
}

void TFormPictureEditor::pmReverseClick()
{
    if (!CurrentLayer)
        return;
    QPushButton* b = CurrentLayer == &imFace ? sbFaceReverse : sbRgReverse;
    b->setChecked(true);
    LayerModeClick(b);
}

void TFormPictureEditor::PlaceLayerHandles()
{
    if (!CurrentLayer || !imReform[0])
        return;
    // While a handle is dragged only it shows; it is placed by the drag.
    if (LayerStretching || LayerRotating)
        return;
    for (auto* set : {imReform.data(), imRotate.data(), imReverse.data()})
        for (int i = 0, n = set == imReform.data() ? 8 : 4; i < n; ++i)
            set[i]->hide();
    if (!CurrentLayer->Visible || LayerMoving || sbPicMove->isChecked())
        return;
    QWidget** shown = nullptr;
    int count = 0;
    if (sbFaceReform->isChecked() || sbRgReform->isChecked()) {
        shown = imReform.data();
        count = 8;
    } else if (sbFaceRotate->isChecked() || sbRgRotate->isChecked()) {
        shown = imRotate.data();
        count = 4;
    } else if (sbFaceReverse->isChecked() || sbRgReverse->isChecked()) {
        shown = imReverse.data();
        count = 4;
    } else {
        return;
    }
    const int s = LayerTransform::HandleSize(ImageToScreen(HandlePicture));
    const QRect layer = CurrentLayer->Geometry.translated(-ScrollBox1->scrollPosition());
    // Clamped into the view rather than scrolled to: the view stays where the user put it.
    const LayerTransform::HandlePlaces at = LayerTransform::KeepInView(
        LayerTransform::PlaceHandles(layer, s), QRect(QPoint(0, 0), ScrollBox1->viewport()->size()), s);
    for (int i = 0; i < count; ++i) {
        QPoint p;
        if (shown == imReform.data())
            p = i < 4 ? at.edges[size_t(i)] : at.corners[size_t(i - 4)];
        else if (shown == imRotate.data())
            p = at.corners[size_t(std::array{1, 3, 0, 2}[size_t(i)])];
        else
            p = at.edges[size_t(i)];
        shown[i]->setGeometry(QRect(p, QSize(s, s)));
        shown[i]->show();
    }
}

void TFormPictureEditor::finishTransform(int operation)
{
    FloatingLayer& layer = *CurrentLayer;
    const int tag = layer.Tag;
    if (&layer == &imFace)
        FaceFixedSize = layer.Geometry.size();
    layer.keyed = QImage();
    PlaceLayerHandles();
    LayerLastOperation[size_t(tag)] = operation;
    Image1->update();
}

void TFormPictureEditor::imReformHLMouseDown(int tag, Qt::MouseButton button, QPoint screenPoint)
{
    if (button != Qt::LeftButton || !CurrentLayer)
        return;
    const QRect g = CurrentLayer->Geometry;
    LayerDrag.mouseStart = screenPoint;
    LayerDrag.ratio = g.height() > 0 ? double(g.width()) / g.height() : 1.0;
    LayerDrag.layerStart = g;
    LayerDrag.left = g.left();
    LayerDrag.top = g.top();
    LayerDrag.width = g.width();
    LayerDrag.height = g.height();
    LayerDrag.handleStart = imReform[size_t(tag)]->pos();
    for (QWidget* h : imReform)
        if (h != imReform[size_t(tag)])
            h->hide();
    setProperty("StretchTag", tag);
    LayerStretching = true;
}

void TFormPictureEditor::imReformHLMouseMove(QPoint screenPoint)
{
    if (!LayerStretching || !CurrentLayer)
        return;
    const int tag = property("StretchTag").toInt();
    const QRect g = LayerDrag.layerStart;
    LayerTransform::StretchBounds start{g.left(), g.top(), g.width(), g.height(), LayerDrag.handleStart};
    const QSize size = LayerSize[size_t(CurrentLayer->Tag)];
    const QPoint d = screenPoint - LayerDrag.mouseStart;
    const LayerTransform::StretchBounds b =
        LayerTransform::Stretch(tag, start, LayerDrag.ratio, size.width() < size.height(), d.x(), d.y());
    LayerDrag.left = b.left;
    LayerDrag.top = b.top;
    LayerDrag.width = b.width;
    LayerDrag.height = b.height;
    const QRect before = LayerArea(*CurrentLayer);
    // Shown within its bounds as they stand; a pulled-over edge mirrors it only when released.
    CurrentLayer->Geometry = QRect(QPoint(std::min(b.left, b.left + b.width), std::min(b.top, b.top + b.height)),
                                   QSize(std::max(1, std::abs(b.width)), std::max(1, std::abs(b.height))));
    imReform[size_t(tag)]->move(b.handle);
    ScrollBox1->updatePaintBox(before);
    ScrollBox1->updatePaintBox(LayerArea(*CurrentLayer));
}

void TFormPictureEditor::imReformHLMouseUp()
{
    if (!LayerStretching || !CurrentLayer) {
        LayerStretching = false;
        return;
    }
    LayerStretching = false;
    FloatingLayer& layer = *CurrentLayer;
    int left = LayerDrag.left, top = LayerDrag.top, width = LayerDrag.width, height = LayerDrag.height;
    if (width < 0) {
        width = -width;
        layer.Picture = LayerTransform::FlipBitmap(layer.Picture, false);
        left -= width;
    }
    if (height < 0) {
        height = -height;
        layer.Picture = LayerTransform::FlipBitmap(layer.Picture, true);
        top -= height;
    }
    // The user sized it on the view, so the view decides, but only along what the pull moved: a handle
    // let go where it was taken keeps the picture's own size and place at every zoom.
    const QRect start = LayerDrag.layerStart, was = LayerInPicture(layer);
    QRect at = was;
    if (left != start.left())
        at.moveLeft(ScreenToImage(left));
    if (top != start.top())
        at.moveTop(ScreenToImage(top));
    // A layer pulled flat keeps one pixel, so that nothing later divides by its size.
    at.setWidth(width == start.width() ? was.width() : std::max(1, ScreenToImage(width)));
    at.setHeight(height == start.height() ? was.height() : std::max(1, ScreenToImage(height)));
    PlaceLayer(layer, at);
    finishTransform(2);
}

void TFormPictureEditor::imRotateRTMouseDown(int index, Qt::MouseButton button, QPoint screenPoint)
{
    if (button != Qt::LeftButton || !CurrentLayer)
        return;
    FloatingLayer& layer = *CurrentLayer;
    const size_t tag = size_t(layer.Tag);
    const QRect at = LayerInPicture(layer);
    if (LayerLastOperation[tag] != 3) {
        RotationSource[tag] = layer.Picture.convertToFormat(QImage::Format_RGB32);
        LayerAngle[tag] = 0;
    }
    LayerDrag.centreInPicture = at.topLeft() + QPoint(at.width() / 2, at.height() / 2);
    LayerDrag.mouseStart = LayerDrag.lastAccepted = screenPoint;
    LayerDrag.handleStart = imRotate[size_t(index)]->pos();
    const QRect g = layer.Geometry;
    LayerDrag.centre = QPoint(g.left() + g.width() / 2, g.top() + g.height() / 2);
    LayerDrag.centreOnScreen = ScrollBox1->viewport()->mapToGlobal(LayerDrag.centre - ScrollBox1->scrollPosition());
    LayerRotated = false;
    for (QWidget* h : imRotate)
        if (h != imRotate[size_t(index)])
            h->hide();
    setProperty("RotateIndex", index);
    LayerRotating = true;
}

void TFormPictureEditor::imRotateRTMouseMove(QPoint screenPoint)
{
    if (!LayerRotating || !CurrentLayer)
        return;
    QWidget* handle = imRotate[size_t(property("RotateIndex").toInt())];
    handle->move(LayerDrag.handleStart + screenPoint - LayerDrag.mouseStart);
    const QPoint m = LayerDrag.centreOnScreen;
    auto theta = [m](QPoint p) {
        return std::atan2(double(m.y() - p.y()), double(p.x() - m.x())) * 180 / std::numbers::pi;
    };
    const double d = theta(LayerDrag.lastAccepted) - theta(screenPoint);
    if (std::abs(d) < 5)
        return;
    LayerDrag.lastAccepted = screenPoint;
    LayerRotated = true;
    FloatingLayer& layer = *CurrentLayer;
    const size_t tag = size_t(layer.Tag);
    LayerAngle[tag] += d * std::numbers::pi / 180;
    const QRect before = LayerArea(layer);
    layer.Picture = LayerTransform::RotateBitmap(RotationSource[tag], ColourText::toQRgb(Shapes::TransparentWhite),
                                                 LayerAngle[tag]);
    layer.keyed = QImage();
    // The turned picture's pixels are picture pixels, at any zoom.
    const QSize size = layer.Picture.size();
    PlaceLayer(layer, QRect(LayerDrag.centreInPicture - QPoint(size.width() / 2, size.height() / 2), size));
    ScrollBox1->updatePaintBox(before);
    ScrollBox1->updatePaintBox(LayerArea(layer));
}

void TFormPictureEditor::imRotateRTMouseUp()
{
    if (!LayerRotating || !CurrentLayer) {
        LayerRotating = false;
        return;
    }
    LayerRotating = false;
    if (LayerRotated)
        TrimLayerToContent();
    finishTransform(3);
}

void TFormPictureEditor::imReverseHLMouseDown(int tag)
{
    if (!CurrentLayer)
        return;
    FloatingLayer& layer = *CurrentLayer;
    layer.Picture = LayerTransform::FlipBitmap(layer.Picture, tag == 1);
    layer.keyed = QImage();
    ScrollBox1->updatePaintBox(LayerArea(layer));
    LayerLastOperation[size_t(layer.Tag)] = 4;
}

void TFormPictureEditor::TrimLayerToContent()
{
    if (!CurrentLayer)
        return;
    FloatingLayer& layer = *CurrentLayer;
    const QRect box = LayerTransform::ContentBox(layer.Picture, ColourText::toQRgb(Shapes::TransparentWhite));
    // A picture with nothing in it stays as it is.
    if (box.isEmpty())
        return;
    const QRect at = LayerInPicture(layer);
    // The turned picture is stamped at its own pixel size, so its pixels are picture pixels.
    layer.Picture = layer.Picture.copy(box);
    layer.keyed = QImage();
    PlaceLayer(layer, QRect(at.topLeft() + box.topLeft(), box.size()));
}
