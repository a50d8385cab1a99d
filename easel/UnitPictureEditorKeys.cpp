// The keyboard, the canvas's pop-up menu and the Edit menu made from it at each opening.
#include "UnitPictureEditor.h"

#include "CanvasScrollBox.h"
#include "ShapeRender.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

void TFormPictureEditor::buildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(u"PopupMenu1"_s);
    auto item = [this](const QString& caption, const QKeySequence& shortcut, auto handler) {
        QAction* a = PopupMenu1->addAction(caption);
        // The shortcut is shown and acts while the menu is open; elsewhere the form's keys act.
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WidgetShortcut);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    const QKeySequence none;
    mmRange = item(u"範囲選択モード(&Q)"_s, QKeySequence(Qt::CTRL | Qt::Key_Q),
                   [this] { mmRangeClick(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); });
    PopupMenu1->addSeparator();
    mmUndo = item(u"元に戻す(&U)"_s, QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { sbUndoClick(); });
    mmRedo = item(u"先に戻す(&R)"_s, QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_Z), [this] { sbRedoClick(); });
    PopupMenu1->addSeparator();
    mmSelectAll = item(u"すべて選択"_s, none, [this] { mmSelectAllClick(); });
    PopupMenu1->addSeparator();
    pmMojiByouga = item(u"文字(&M)"_s, QKeySequence(Qt::CTRL | Qt::Key_M), [this] { sbMojiClick(); });
    PopupMenu1->addSeparator();
    pmPaste2 =
        item(u"画像取り込み［表示］"_s, QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_V), [this] { sbFaceShowClick(); });
    pmClose2 =
        item(u"画像取り込み［隠す］"_s, QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_F), [this] { sbFaceShowClick(); });
    pmByouga2 = item(u"画像取り込み［描画］"_s, QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_V),
                     [this] { sbFaceByougaClick(); });
    B5 = PopupMenu1->addSeparator();
    mmCut = item(u"切り取り(&X)"_s, QKeySequence(Qt::CTRL | Qt::Key_X), [this] { sbCutClick(true); });
    mmCopy = item(u"コピー(&C)"_s, QKeySequence(Qt::CTRL | Qt::Key_C), [this] { sbCopyClick(); });
    mmDelete = item(u"消去(&D)"_s, QKeySequence(Qt::Key_Delete), [this] {
        const Qt::KeyboardModifiers m = QGuiApplication::keyboardModifiers();
        mmDeleteClick(m & Qt::ControlModifier, m & Qt::ShiftModifier);
    });
    B6 = PopupMenu1->addSeparator();
    pmPaste = item(u"範囲選択［表示］(&V)"_s, QKeySequence(Qt::CTRL | Qt::Key_V), [this] { sbPasteShowClick(); });
    pmClose = item(u"範囲選択［隠す］(&F)"_s, QKeySequence(Qt::CTRL | Qt::Key_F), [this] { sbPasteShowClick(); });
    pmByouga = item(u"範囲選択［描画］(&V)"_s, QKeySequence(Qt::CTRL | Qt::Key_V), [this] { sbPasteByougaClick(); });
    B7 = PopupMenu1->addSeparator();
    pmGenten = item(u"原点移動"_s, QKeySequence(Qt::CTRL | Qt::Key_W), [this] { sbGentenClick(); });
    pmReform = item(u"伸縮(&A)"_s, QKeySequence(Qt::CTRL | Qt::Key_A), [this] { pmReformClick(); });
    pmRotate = item(u"回転(&S)"_s, QKeySequence(Qt::CTRL | Qt::Key_S), [this] { pmRotateClick(); });
    pmReverse = item(u"反転(&D)"_s, QKeySequence(Qt::CTRL | Qt::Key_D), [this] { pmReverseClick(); });
    pmReform->setStatusTip(
        u"伸縮 … 表示中の画像を伸縮します。画像のまわりに表示される赤い■を伸縮方向にドラッグして下さい。"_s);
    pmRotate->setStatusTip(
        u"回転 … 表示中の画像を回転します。画像のまわりに表示される赤い■を回すようにドラッグして下さい。"_s);
    pmReverse->setStatusTip(u"反転 … 表示中の画像を反転します。画像のまわりに表示される赤い■をクリックして下さい。"_s);

    // Only a click that dismisses the menu is the one the pen or fill must not take as a click of
    // its own, and only while that click is delivered: where the menu eats it, as here on X11, the
    // next click draws, as it does after an item was chosen.
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { PopupMenu1->setProperty("chosen", false); });
    connect(PopupMenu1, &QMenu::triggered, this, [this] { PopupMenu1->setProperty("chosen", true); });
    connect(PopupMenu1, &QMenu::aboutToHide, this, [this] {
        PopupJustClosed = !PopupMenu1->property("chosen").toBool() && QGuiApplication::mouseButtons() != Qt::NoButton;
        if (PopupJustClosed)
            QTimer::singleShot(0, this, [this] { PopupJustClosed = false; });
    });

    // The scroll area takes its viewport's context-menu events.
    ScrollBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ScrollBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (m_pressEndedGesture) {
            m_pressEndedGesture = false;
            return;
        }
        if (!GestureUnderWay())
            ShowPopupMenu(ScrollBox1->mapToGlobal(at));
    });
}

void TFormPictureEditor::ShowPopupMenu(QPoint screenPoint)
{
    PopupMenu1Popup();
    PopupMenu1->popup(screenPoint);
}

void TFormPictureEditor::PopupMenu1Popup()
{
    const bool imported = sbFaceShow->property("Tag").toInt() == 1;
    pmPaste2->setEnabled(imported && !imFace.Visible);
    pmClose2->setVisible(imported && imFace.Visible);
    pmPaste2->setVisible(!pmClose2->isVisible());
    pmByouga2->setEnabled(imFace.Visible);
    for (QAction* a : {mmCut, mmCopy, mmDelete})
        a->setVisible(RangeExists);
    B5->setVisible(RangeExists);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const bool clipboardPicture = data && data->hasImage();
    pmPaste->setEnabled(clipboardPicture && !imPaste.Visible);
    pmClose->setVisible(clipboardPicture && imPaste.Visible);
    pmPaste->setVisible(!pmClose->isVisible());
    pmByouga->setEnabled(imPaste.Visible);
    B6->setVisible(pmPaste->isVisible() || pmClose->isVisible() || pmByouga->isEnabled());
    const bool layerShown = imPaste.Visible || imFace.Visible;
    for (QAction* a : {pmGenten, pmReform, pmRotate, pmReverse, B7})
        a->setVisible(layerShown);
    mmUndo->setEnabled(true);
    mmRedo->setEnabled(true);
}

void TFormPictureEditor::mmEditClick()
{
    PopupMenu1Popup();
    BuildEditMenu(mmEdit, PopupMenu1);
}

void TFormPictureEditor::BuildEditMenu(QMenu* target, QMenu* popup)
{
    const QList<QAction*> old = target->actions();
    for (QAction* source : popup->actions()) {
        // Owned by the form; the copy carries no shortcut, its text only shows the pop-up's.
        auto* copy = new QAction(this);
        if (source->isSeparator()) {
            copy->setSeparator(true);
        } else {
            const QString keys = source->shortcut().toString(QKeySequence::NativeText);
            copy->setText(source->text() + u'\t' + keys);
            copy->setIcon(source->icon());
            copy->setCheckable(source->isCheckable());
            copy->setChecked(source->isChecked());
            copy->setEnabled(source->isEnabled());
            copy->setStatusTip(source->statusTip());
            connect(copy, &QAction::triggered, source, &QAction::trigger);
        }
        copy->setVisible(source->isVisible());
        target->addAction(copy);
    }
    if (popup->actions().isEmpty())
        return;
    for (QAction* a : old) {
        target->removeAction(a);
        a->deleteLater();
    }
    ++EditMenuBuilds;
}

void TFormPictureEditor::FormKeyUp(int key)
{
    if (key == Qt::Key_Shift) {
        // Elsewhere the Shift stays held, and the next press takes no point.
        if (DrawMode == Shapes::Pen || DrawMode == 64 || CurrentLayer)
            ShiftHeld = false;
    }
    if (key == Qt::Key_Control) {
        if (DrawMode == 64 && CtrlHeld && MouseDragging) {
            CtrlHeld = false;
            RerenderCanvas(false);
            Image1->update();
        }
        CtrlHeld = false;
    }
}

bool TFormPictureEditor::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers & Qt::ControlModifier, shift = modifiers & Qt::ShiftModifier;
    if (ctrl && !(modifiers & Qt::AltModifier)) {
        switch (key) {
        case Qt::Key_A:
            pmReformClick();
            return true;
        case Qt::Key_C:
            sbCopyClick();
            return true;
        case Qt::Key_D:
            pmReverseClick();
            return true;
        case Qt::Key_F:
            if (shift)
                sbFaceShowClick();
            else
                sbPasteShowClick();
            return true;
        case Qt::Key_M:
            sbMojiClick();
            return true;
        case Qt::Key_Q:
            mmRangeClick(shift);
            return true;
        case Qt::Key_S:
            pmRotateClick();
            return true;
        case Qt::Key_T:
            sbTrimmingClick();
            return true;
        case Qt::Key_V:
            // From the layer as it is now: a shown picture is stamped, a hidden one shown.
            if (shift) {
                if (imFace.Visible)
                    sbFaceByougaClick();
                else
                    sbFaceShowClick();
            } else if (imPaste.Visible) {
                sbPasteByougaClick();
            } else {
                sbPasteShowClick();
            }
            return true;
        case Qt::Key_W:
            sbGentenClick();
            return true;
        case Qt::Key_X:
            sbCutClick(true);
            return true;
        case Qt::Key_Z:
            if (shift)
                sbRedoClick();
            else
                sbUndoClick();
            return true;
        default:
            break;
        }
    }
    if (key == Qt::Key_Delete && (ctrl || RangeExists)) {
        // Without Ctrl it erases the range; with Ctrl it hides a floating picture.
        mmDeleteClick(ctrl, shift);
        return true;
    }
    if (key == Qt::Key_Shift) {
        if (!ShiftHeld) {
            bool taken = false;
            QPoint point;
            if (DrawMode == Shapes::Pen || DrawMode == 64) {
                point = DragPoint;
                taken = true;
            } else if (CurrentLayer) {
                point = ScrollBox1->viewportToPaintBox(ScrollBox1->viewport()->mapFromGlobal(QCursor::pos()));
                taken = true;
            }
            // A lock already decided keeps the coordinate it fixed.
            if (taken) {
                if (MoveAxisLock != 2)
                    AxisOrigin.setX(point.x());
                if (MoveAxisLock != 1)
                    AxisOrigin.setY(point.y());
                MoveAxisLock = 0;
            }
        }
        ShiftHeld = true;
        return false;
    }
    if (key == Qt::Key_Control) {
        // Ctrl during a shape drag copies: the dragged records show at their old place again.
        if (DrawMode == 64 && !CtrlHeld) {
            for (const auto& r : ShapeClipboard)
                Shapes::RenderShape(Doc.CanvasBitmap, *r, Doc.Style);
            Image1->update();
        }
        CtrlHeld = true;
        return false;
    }
    // Ctrl+arrow is no shortcut of its own: it moves, or scrolls, as the arrow alone does.
    if (modifiers & Qt::AltModifier)
        return false;

    CanvasView::Arrow arrow;
    switch (key) {
    case Qt::Key_Left:
        arrow = CanvasView::Arrow::Left;
        break;
    case Qt::Key_Up:
        arrow = CanvasView::Arrow::Up;
        break;
    case Qt::Key_Right:
        arrow = CanvasView::Arrow::Right;
        break;
    case Qt::Key_Down:
        arrow = CanvasView::Arrow::Down;
        break;
    default:
        return false;
    }
    // Controls that use the arrows themselves keep them.
    const QWidget* focus = QApplication::focusWidget();
    if (focus
        && (qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus)
            || qobject_cast<const QMenuBar*>(focus)))
        return false;
    return CMDialogKey(arrow, modifiers);
}

void TFormPictureEditor::ScrollByArrow(CanvasView::Arrow arrow)
{
    const int dx = arrow == CanvasView::Arrow::Left ? -1 : arrow == CanvasView::Arrow::Right ? 1 : 0;
    const int dy = arrow == CanvasView::Arrow::Up ? -1 : arrow == CanvasView::Arrow::Down ? 1 : 0;
    QScrollBar* bar = dx ? ScrollBox1->horizontalScrollBar() : ScrollBox1->verticalScrollBar();
    bar->setValue(bar->value() + (dx + dy) * bar->singleStep());
}

bool TFormPictureEditor::CMDialogKey(CanvasView::Arrow arrow, Qt::KeyboardModifiers modifiers)
{
    const int dx = arrow == CanvasView::Arrow::Left ? -1 : arrow == CanvasView::Arrow::Right ? 1 : 0;
    const int dy = arrow == CanvasView::Arrow::Up ? -1 : arrow == CanvasView::Arrow::Down ? 1 : 0;
    if (MouseDragging) {
        // The drag goes on with the pointer one screen pixel further.
        QCursor::setPos(QCursor::pos() + QPoint(dx, dy));
        return true;
    }
    if (CurrentLayer && CurrentLayer->Visible) {
        // One whole picture pixel, however many view pixels that is.
        int step = 1;
        while (ImageToScreen(ScreenToImage(step)) < 1)
            ++step;
        FloatingLayer& layer = *CurrentLayer;
        ScrollBox1->updatePaintBox(LayerArea(layer));
        // The view moves by the step; the picture lands on the picture pixel shown there, at least one on.
        auto along = [&](int pos, int d) {
            if (d == 0)
                return pos;
            const int to = ScreenToImage(ImageToScreen(pos) + d * step);
            return d > 0 ? std::max(to, pos + 1) : std::min(to, pos - 1);
        };
        const QPoint at = LayerInPicture(layer).topLeft();
        MoveLayer(layer, {along(at.x(), dx), along(at.y(), dy)});
        ScrollBox1->updatePaintBox(LayerArea(layer));
        PlaceLayerHandles();
        return true;
    }
    // Shift+arrow with nothing to move leaves the view where it is; the view's own arrow scrolling
    // must not have it either.
    if (modifiers & Qt::ShiftModifier)
        return true;
    ScrollByArrow(arrow);
    return true;
}
