// The tracing picture: a faint underdrawing shown beneath the canvas, placed by dragging it at
// full strength first. It lives only in the view, so it never reaches the drawing or a saved file.
#include "UnitPictureEditor.h"

#include "BmpPicture.h"
#include "CanvasScrollBox.h"
#include "MyFileDialogs.h"
#include "Prompter.h"

#include <QFileInfo>
#include <QPushButton>

using namespace Qt::StringLiterals;

const QString TFormPictureEditor::TracingHint = u"見本画像 … 画像枠をドラッグして，表示する位置を決めて下さい。"_s;

void TFormPictureEditor::sbShowMihonClick()
{
    if (sbShowMihon->isChecked()) {
        MyOpenPictureDialog3->FileName = TracingFileName;
        if (!MyOpenPictureDialog3->Execute(this)) {
            sbShowMihon->setChecked(false);
            TracingPictureShown = false;
            return;
        }
        TracingFileName = MyOpenPictureDialog3->FileName;
        DrawMode = TracingPlacing;
        // Placing a picture that is not there would leave every canvas click refused.
        if (!LoadSamplePicture(TracingFileName)) {
            DrawMode = ToolMode;
            sbShowMihon->setChecked(false);
            TracingPicture = QImage();
            TracingPictureShown = false;
        }
        return;
    }
    if (imMihon.Visible) {
        PickShapesAt({0, 0});
        ClearSelection();
        hideLayer(imMihon);
        m_mihonPressed = false;
        MouseDragging = false;
        // Placing is over: the pressed tool draws again.
        DrawMode = ToolMode;
        UpdateModeIndicator();
    }
    TracingPicture = QImage();
    TracingPictureShown = false;
    RerenderCanvas(false);
    Image1->update();
}

bool TFormPictureEditor::LoadSamplePicture(const QString& fileName)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    QString why;
    QImage picture;
    if (ext == u"bmp"_s || ext == u"jpg"_s)
        picture = PictureFile::load(fileName, &why);
    if (picture.isNull()) {
        Prompter::warn(this,
                       why.isEmpty() ? u"画像ファイルを開けません。"_s : u"画像ファイルを開けません。\r\n"_s + why);
        return false;
    }
    picture = picture.convertToFormat(QImage::Format_RGB32);
    if (DrawMode == TracingPlacing) {
        TracingPicture = QImage(picture.size(), QImage::Format_RGB32);
        TracingPicture.fill(Qt::white);
        // The picture's background, taken from its bottom-left pixel, stays pure white.
        CanvasView::BlendFaint(TracingPicture, {0, 0}, picture.pixel(0, picture.height() - 1), qRgb(179, 179, 179),
                               picture);
    }
    imMihon.Picture = picture;
    imMihon.keyed = QImage();
    LayerSize[0] = picture.size();
    imMihon.Geometry = QRect(ScrollBox1->scrollPosition(),
                             QSize(ImageToScreen(picture.width()), ImageToScreen(picture.height())).expandedTo({1, 1}));
    LayerPos[0] = {0, 0};
    imMihon.Visible = true;
    Image1->update();
    return true;
}

void TFormPictureEditor::imMihonMouseDown(Qt::MouseButton button, QPoint point)
{
    if (button == Qt::LeftButton) {
        m_mihonPressed = true;
        TracingGrabOffset = point - imMihon.Geometry.topLeft();
        MouseDragging = true;
    } else if (button == Qt::RightButton) {
        // Only the menu: the picture is still being placed afterwards.
        ShowPopupMenu(ScrollBox1->viewport()->mapToGlobal(point - ScrollBox1->scrollPosition()));
    }
}

void TFormPictureEditor::imMihonMouseMove(QPoint point)
{
    // Placing lasts as long as the picture shows at full strength, whatever DrawMode a layer drag
    // or the eyedropper left behind meanwhile.
    if (!imMihon.Visible)
        return;
    DragPoint = point - TracingGrabOffset;
    if (!MouseDragging)
        return;
    ScrollBox1->updatePaintBox(LayerArea(imMihon));
    imMihon.Geometry.moveTopLeft(DragPoint);
    ScrollBox1->updatePaintBox(LayerArea(imMihon));
}

void TFormPictureEditor::imMihonMouseUp(Qt::MouseButton button)
{
    if (MouseDragging && button == Qt::LeftButton && imMihon.Visible)
        PlaceTracingPicture();
    MouseDragging = false;
    PopupJustClosed = false;
    m_mihonPressed = false;
}

void TFormPictureEditor::PlaceTracingPicture()
{
    if (!imMihon.Visible)
        return;
    DragPoint = DragStart = QPoint(ScreenToImage(imMihon.Geometry.left()), ScreenToImage(imMihon.Geometry.top()));
    PickShapesAt({0, 0});
    ClearSelection();
    hideLayer(imMihon);
    TracingPictureOrigin = DragPoint;
    TracingPictureShown = sbShowMihon->isChecked();
    RerenderCanvas(false);
    Image1->update();
    DrawMode = ToolMode;
    PushUndoSnapshot();
    MouseDragging = false;
    m_mihonPressed = false;
}
