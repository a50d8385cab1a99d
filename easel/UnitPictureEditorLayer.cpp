// The floating pictures: the copied picture (or text) and the imported picture lie over the
// canvas, are dragged and stamped onto it; the mode labels and the delete routing.
#include "UnitPictureEditor.h"

#include "CanvasScrollBox.h"
#include "EaselForms.h"
#include "FixedColours.h"
#include "JpegPicture.h"
#include "PictureLimit.h"
#include "Prompter.h"
#include "ShapeRender.h"
#include "UnitMoji.h"
#include "UnitPictureSelect.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr int FrameReach = 3;
constexpr auto FlashTime = std::chrono::milliseconds(300);

// The red marks around a layer, in a frame W x H whose top-left lies 3 pixels above and left of it.
void paintFrame(QPainter& p, const TFormPictureEditor::FloatingLayer& layer)
{
    const QRect g = layer.Geometry;
    const int w = g.width() + 2 * FrameReach, h = g.height() + 2 * FrameReach;
    p.save();
    p.translate(g.topLeft() - QPoint(FrameReach, FrameReach));
    // The last dash may reach past the frame, which its own picture would cut off; the repaints
    // of a moved or hidden layer cover the frame only.
    p.setClipRect(QRect(0, 0, w, h), Qt::IntersectClip);
    const QColor red(255, 0, 0);
    auto mark = [&](int x1, int y1, int x2, int y2) { p.fillRect(QRect(QPoint(x1, y1), QPoint(x2, y2)), red); };
    if (layer.Tag == 1) {
        for (int i = 0; i <= w / 12; ++i) {
            mark(12 * i, 0, 12 * i + 3, 1);
            mark(12 * i, h - 2, 12 * i + 3, h - 1);
        }
        mark(w - 2, 0, w - 1, 1);
        mark(w - 2, h - 2, w - 1, h - 1);
        for (int i = 0; i <= h / 12; ++i) {
            mark(0, 12 * i, 1, 12 * i + 3);
            mark(w - 2, 12 * i, w - 1, 12 * i + 3);
        }
    } else {
        QPen pen(red, 3);
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(QPoint(2, 2), QPoint(w - 3, h - 3)));
    }
    p.restore();
}

} // namespace

QRect TFormPictureEditor::LayerArea(const FloatingLayer& layer)
{
    return layer.Geometry.adjusted(-FrameReach - 1, -FrameReach - 1, FrameReach + 1, FrameReach + 1);
}

void TFormPictureEditor::PaintLayers(QPainter& p, const QRect& exposed)
{
    for (FloatingLayer* layer : {&imMihon, &imFace, &imPaste}) {
        if (!layer->Visible || !LayerArea(*layer).intersects(exposed))
            continue;
        p.save();
        p.setClipRect(exposed);
        // The frame lies beneath its picture, whose first and last pixels its pen would cover.
        // It is put back when a handle is released.
        if (layer != CurrentLayer || !(LayerStretching || LayerRotating))
            paintFrame(p, *layer);
        if (!layer->Flash.isNull()) {
            p.drawImage(layer->Geometry, layer->Flash);
        } else {
            if (layer->keyed.isNull())
                layer->keyed = CanvasView::whiteSeeThrough(layer->Picture);
            // Only the part in the exposed rectangle is stretched.
            const QRect part = layer->Geometry.intersected(exposed);
            const double sx = double(layer->keyed.width()) / layer->Geometry.width();
            const double sy = double(layer->keyed.height()) / layer->Geometry.height();
            const QRectF source((part.left() - layer->Geometry.left()) * sx, (part.top() - layer->Geometry.top()) * sy,
                                part.width() * sx, part.height() * sy);
            if (!part.isEmpty())
                p.drawImage(QRectF(part), layer->keyed, source);
        }
        p.restore();
    }
}

void TFormPictureEditor::ShowLayerHint(QPoint point)
{
    const FloatingLayer* layer = imMihon.Visible && imMihon.Geometry.contains(point) ? &imMihon : LayerAt(point);
    if (layer == m_hintLayer)
        return;
    m_hintLayer = layer;
    if (!layer)
        StatusBar1->showMessage(Image1->statusTip());
    else if (layer == &imMihon)
        StatusBar1->showMessage(TracingHint);
    else if (layer == &imPaste)
        StatusBar1->showMessage(
            u"コピー画像 … マウスドラッグまたは矢印キーで移動，右クリックメニューで描画，伸縮，回転，反転などができます。"_s);
    else
        StatusBar1->showMessage(
            u"取り込んだ画像 … ドラッグで移動，右クリックメニューで描画，伸縮，回転，反転などができます。"_s);
}

void TFormPictureEditor::ResetToolCursor()
{
    if (ToolButton == sbRange)
        SetCanvasCursor(rbRectRange->isChecked() ? 7 : 8);
    else
        UpdateToolCursor();
}

void TFormPictureEditor::LayoutLayers()
{
    if (imMihon.Visible)
        imMihon.Geometry = LayerOnView(QRect(LayerPos[0], LayerSize[0]));
    for (FloatingLayer* layer : {&imPaste, &imFace}) {
        if (layer->Picture.isNull())
            continue;
        const size_t tag = size_t(layer->Tag);
        // "独立": the imported picture keeps its size on screen, and its place.
        if (layer == &imFace && rbBairituKotei->isChecked() && FaceFixedSize.isValid())
            layer->Geometry = QRect(layer->Geometry.topLeft(), FaceFixedSize.expandedTo({1, 1}));
        else
            layer->Geometry = LayerOnView(QRect(LayerPos[tag], LayerSize[tag]));
        LayerLastOperation[tag] = 5;
    }
}

QRect TFormPictureEditor::LayerOnView(const QRect& inPicture) const
{
    return QRect(QPoint(ImageToScreen(inPicture.left()), ImageToScreen(inPicture.top())),
                 QSize(ImageToScreen(inPicture.width()), ImageToScreen(inPicture.height())).expandedTo({1, 1}));
}

void TFormPictureEditor::MoveLayer(FloatingLayer& layer, QPoint inPicture)
{
    LayerPos[size_t(layer.Tag)] = inPicture;
    layer.Geometry.moveTopLeft({ImageToScreen(inPicture.x()), ImageToScreen(inPicture.y())});
}

void TFormPictureEditor::PlaceLayer(FloatingLayer& layer, const QRect& inPicture)
{
    LayerPos[size_t(layer.Tag)] = inPicture.topLeft();
    LayerSize[size_t(layer.Tag)] = inPicture.size();
    layer.Geometry = LayerOnView(inPicture);
}

QRect TFormPictureEditor::LayerInPicture(const FloatingLayer& layer) const
{
    QRect at(LayerPos[size_t(layer.Tag)], LayerSize[size_t(layer.Tag)]);
    // "独立" keeps the imported picture's size and place on screen through zoom changes: where the view
    // no longer shows the picture's own place or size, the view's holds.
    if (&layer == &imFace && rbBairituKotei->isChecked()) {
        const QRect g = layer.Geometry, own = LayerOnView(at);
        if (g.topLeft() != own.topLeft())
            at.moveTopLeft(ScreenToImagePoint(g.topLeft()));
        if (g.size() != own.size())
            at.setSize(QSize(ScreenToImage(g.width()), ScreenToImage(g.height())));
    }
    return at;
}

TFormPictureEditor::FloatingLayer* TFormPictureEditor::LayerAt(QPoint point)
{
    // The copied picture lies over the imported one.
    for (FloatingLayer* layer : {&imPaste, &imFace})
        if (layer->Visible && layer->Geometry.contains(point))
            return layer;
    return nullptr;
}

void TFormPictureEditor::hideLayer(FloatingLayer& layer)
{
    layer.Visible = false;
    ScrollBox1->updatePaintBox(LayerArea(layer));
    PlaceLayerHandles();
}

void TFormPictureEditor::RestoreRememberedTool()
{
    PopupJustClosed = false;
    if (!ToolButton)
        return;
    ToolButton->setChecked(true);
    if (ToolButton == sbRange)
        sbRangeClick();
    else if (ToolButton == sbPen)
        sbPenClick();
    else if (ToolButton == sbLine)
        sbLineClick();
    else if (ToolButton == sbCircle)
        sbCircleClick();
    else if (ToolButton == sbFloodFill)
        sbFloodFillClick();
    UpdateModeIndicator();
}

void TFormPictureEditor::sbFaceSelectClick()
{
    ClearSelection();
    EaselForms* forms = EaselForms::current();
    TFormPictureSelect* form = forms ? forms->formPictureSelect.get() : nullptr;
    if (form && Prompter::backend().execModal(*form) == QDialog::Accepted && !form->WorkPicture.isNull()) {
        // Taken at the size the import form showed it, when the user asked for that.
        PlaceImportedPicture(form->TakenPicture(), form->PictureFileName);
    }
    StatusBar1->clearMessage();
}

void TFormPictureEditor::PlaceImportedPicture(const QImage& work, const QString& fileName)
{
    const int w = work.width(), h = work.height();
    QImage picture = work.convertToFormat(QImage::Format_RGB32);
    if (cbChangeWhite->isChecked())
        ConvertInnerWhite(picture, ColourText::toQRgb(OpaqueWhite));
    imFace.Picture = picture;
    imFace.keyed = QImage();
    LayerSize[2] = QSize(ScreenToImage(w), ScreenToImage(h));
    FaceFixedSize = QSize(w, h);
    const QSize view = ScrollBox1->viewport()->size();
    const int left = (view.width() - ImageToScreen(LayerSize[2].width())) / 2;
    const int top = (view.height() - ImageToScreen(LayerSize[2].height())) / 2;
    const QPoint scroll = ScrollBox1->scrollPosition();
    LayerPos[2] = QPoint(ScreenToImage(left + scroll.x()), ScreenToImage(top + scroll.y()));
    // Where "独立" keeps it; "連動" lays it out from LayerPos.
    imFace.Geometry = QRect(QPoint(left, top) + scroll, FaceFixedSize.expandedTo({1, 1}));
    CurrentLayer = &imFace;
    LayerAngle[2] = 0;
    LayerLastOperation[2] = 0;
    imFace.Visible = true;
    sbFaceShow->setChecked(true);
    sbFaceShow->setProperty("Tag", 1);
    sbFaceShow->setText(u"隠す"_s);
    FaceDrawn = false;
    PictureSelectFileName = fileName;
    UpDown1Click();
    RestoreRememberedTool();
}

void TFormPictureEditor::sbFaceShowClick()
{
    if (sbFaceShow->property("Tag").toInt() == 0) {
        sbFaceShow->setChecked(false);
        return;
    }
    if (imFace.Visible) {
        hideLayer(imFace);
        CurrentLayer = imPaste.Visible ? &imPaste : nullptr;
        RestoreRememberedTool();
        sbFaceShow->setText(u"表示"_s);
    } else {
        CurrentLayer = &imFace;
        imFace.Visible = true;
        ScrollBox1->updatePaintBox(LayerArea(imFace));
        PlaceLayerHandles();
        sbFaceShow->setText(u"隠す"_s);
    }
    sbFaceShow->setChecked(imFace.Visible);
}

void TFormPictureEditor::sbPasteShowClick()
{
    if (imPaste.Visible) {
        hideLayer(imPaste);
        CurrentLayer = imFace.Visible ? &imFace : nullptr;
        sbPasteShow->setText(u"表示"_s);
        sbPasteShow->setChecked(false);
        ResetToolCursor();
        return;
    }
    QImage picture;
    QString why;
    if (TextPasteRequested) {
        EaselForms* forms = EaselForms::current();
        if (forms && forms->formMoji)
            picture = forms->formMoji->RenderText();
    } else {
        picture = PictureLimit::fromMimeData(QGuiApplication::clipboard()->mimeData(), &why);
    }
    if (picture.isNull()) {
        sbPasteShow->setChecked(false);
        if (!TextPasteRequested)
            Prompter::warn(this, why.isEmpty() ? u"コピーされた画像がありません。"_s : why);
        return;
    }
    // Another program's picture may carry transparency: laid on white, which the layer shows
    // see-through, instead of the black its transparent pixels hold.
    imPaste.Picture = JpegPicture::opaqueRgb32(picture);
    imPaste.keyed = QImage();
    LayerSize[1] = imPaste.Picture.size();
    LayerPos[1] = PasteOrigin;
    CurrentLayer = &imPaste;
    LayerAngle[1] = 0;
    LayerLastOperation[1] = 0;
    imPaste.Visible = true;
    LayoutLayers();
    ScrollBox1->updatePaintBox(LayerArea(imPaste));
    PlaceLayerHandles();
    sbPasteShow->setText(u"隠す"_s);
    sbPasteShow->setChecked(true);
    ResetToolCursor();
}

void TFormPictureEditor::sbMojiClick()
{
    if (imPaste.Visible) {
        Prompter::warn(this, u"［表示］している画像を隠してから実行して下さい。"_s);
        return;
    }
    EaselForms* forms = EaselForms::current();
    if (forms && forms->formMoji && Prompter::backend().execModal(*forms->formMoji) == QDialog::Accepted) {
        TextPasteRequested = true;
        sbPasteShowClick();
    }
    TextPasteRequested = false;
}

void TFormPictureEditor::sbFaceByougaClick()
{
    if (!imFace.Visible)
        return;
    CurrentLayer = &imFace;
    DrawLayerOntoCanvas();
}

void TFormPictureEditor::sbPasteByougaClick()
{
    if (!imPaste.Visible)
        return;
    CurrentLayer = &imPaste;
    DrawLayerOntoCanvas();
}

void TFormPictureEditor::DrawLayerOntoCanvas()
{
    if (!CurrentLayer || !CurrentLayer->Visible)
        return;
    FloatingLayer& layer = *CurrentLayer;
    ClearSelection();
    PickShapesAt({0, 0});
    const QRect at = LayerInPicture(layer);
    LayerPos[size_t(layer.Tag)] = at.topLeft();
    const QSize size = at.size();
    if (size.isEmpty())
        return;
    StampBitmap = size == layer.Picture.size() ? layer.Picture
                                               : layer.Picture.scaled(size, Qt::IgnoreAspectRatio,
                                                                      cbHalfTone->isChecked() ? Qt::SmoothTransformation
                                                                                              : Qt::FastTransformation);
    // A copied picture or text comes from no file.
    StampFileName = &layer == &imFace ? PictureSelectFileName : QString();
    CurrentShape = &Doc.CommitShape(
        Shapes::makeStamp(StampBitmap, LayerPos[size_t(layer.Tag)], PaletteColor(), StampFileName), true);
    PushUndoSnapshot();
    DrawMode = ToolMode;

    // The stamped pixels flash red for a moment over the layer.
    QImage flash(StampBitmap.size(), QImage::Format_ARGB32);
    for (int y = 0; y < flash.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(StampBitmap.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(flash.scanLine(y));
        for (int x = 0; x < flash.width(); ++x)
            out[x] = qRgb(qRed(in[x]), 0, 0);
    }
    layer.Flash = flash;
    Image1->update();
    QTimer::singleShot(FlashTime, this, [this, target = &layer] {
        target->Flash = QImage();
        ScrollBox1->updatePaintBox(LayerArea(*target));
    });
    if (&layer == &imFace)
        FaceDrawn = true;
}

void TFormPictureEditor::sbGentenClick()
{
    if (!CurrentLayer || !CurrentLayer->Visible)
        return;
    ScrollBox1->updatePaintBox(LayerArea(*CurrentLayer));
    // The first picture pixel the view shows whole.
    const QPoint scroll = ScrollBox1->scrollPosition();
    QPoint origin = ScreenToImagePoint(scroll);
    if (ImageToScreen(origin.x()) < scroll.x())
        origin.rx()++;
    if (ImageToScreen(origin.y()) < scroll.y())
        origin.ry()++;
    MoveLayer(*CurrentLayer, origin);
    ScrollBox1->updatePaintBox(LayerArea(*CurrentLayer));
    PlaceLayerHandles();
}

void TFormPictureEditor::rbBairituHendouClick()
{
    if (rbBairituHendou->isChecked())
        LayerPos[2] = QPoint(ScreenToImage(imFace.Geometry.left()), ScreenToImage(imFace.Geometry.top()));
    UpDown1Click();
}

void TFormPictureEditor::imFaceMouseDown(FloatingLayer& layer, Qt::MouseButton button, QPoint point)
{
    CurrentLayer = &layer;
    if (LayerModePressed(layer))
        RestoreRememberedTool();
    if (button != Qt::LeftButton)
        return;
    ClearSelection();
    DrawMode = 0;
    SetCanvasCursor(0);
    LayerDragStart = point;
    LayerStartPos = LayerInPicture(layer).topLeft();
    LayerMoving = true;
    MoveAxisLock = 0;
    PlaceLayerHandles();
    Image1->update();
    UpdateModeIndicator();
}

void TFormPictureEditor::imFaceMouseMove(QPoint p, bool shift)
{
    if (!CurrentLayer)
        return;
    if (shift) {
        const int dx = std::abs(p.x() - LayerDragStart.x()), dy = std::abs(p.y() - LayerDragStart.y());
        if (MoveAxisLock == 0 && dx != dy)
            MoveAxisLock = dy < dx ? 1 : 2;
        if (MoveAxisLock == 1)
            p.setY(LayerDragStart.y());
        else if (MoveAxisLock == 2)
            p.setX(LayerDragStart.x());
    }
    FloatingLayer& layer = *CurrentLayer;
    const QRect before = LayerArea(layer);
    // By the whole picture pixels the pointer crossed, so the pixel it took stays under it.
    MoveLayer(layer, LayerStartPos + ScreenToImagePoint(p) - ScreenToImagePoint(LayerDragStart));
    ScrollBox1->updatePaintBox(before);
    ScrollBox1->updatePaintBox(LayerArea(layer));
}

void TFormPictureEditor::imFaceMouseUp()
{
    LayerMoving = false;
    PlaceLayerHandles();
    Image1->update();
    ResetToolCursor();
    DrawMode = ToolMode;
    UpdateModeIndicator();
}

void TFormPictureEditor::UpdateModeIndicator()
{
    if (!lbByouga)
        return;
    const bool range = ToolButton == sbRange;
    const bool drawing = DrawMode != 0;
    // Which label is lit and what the command offers follow the tool and whether a layer is being
    // worked on (DrawMode 0).
    const bool rangeLit = drawing == range;
    mmRange->setText(rangeLit ? u"描画モード(&Q)"_s : u"範囲選択モード(&Q)"_s);
    const QString lit = FixedColours::styleSheet(QColor(0, 0, 255), Qt::white);
    const QString dim = FixedColours::styleSheet(QColor(FixedColours::ButtonFace), Qt::black);
    lbRange->setStyleSheet(rangeLit ? lit : dim);
    lbByouga->setStyleSheet(rangeLit ? dim : lit);
}

void TFormPictureEditor::mmRangeClick(bool shift)
{
    if (shift) {
        sbFaceSelectClick();
        return;
    }
    if (DrawMode != 0) {
        if (sbRange->isChecked()) {
            if (PreviousToolButton)
                ToolButton = PreviousToolButton;
            RestoreRememberedTool();
        } else {
            sbRangeClick();
        }
    } else {
        RestoreRememberedTool();
    }
    UpdateModeIndicator();
}

void TFormPictureEditor::mmDeleteClick(bool ctrl, bool shift)
{
    if (!ctrl) {
        sbCutClick(false);
    } else if (shift) {
        if (imFace.Visible)
            sbFaceShowClick();
    } else if (imPaste.Visible) {
        sbPasteShowClick();
    }
}
