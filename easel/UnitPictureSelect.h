#pragma once

#include "PictureCut.h"
#include "UndoRing.h"
#include "UnitPicEffect.h"

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QPointF>
#include <QTimer>
#include <QVector>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QMenuBar;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QStatusBar;
class SelectCanvas;
class TFormSelectWidth;
class TMyOpenPictureDialog;

// The picture import form: a picture is brought in, cut out along a line and adjusted before the
// editor takes it as a floating picture. It keeps its picture, line, zoom, colours and ring
// between uses.
class TFormPictureSelect : public QDialog, public PicEffectHost {
    Q_OBJECT

public:
    explicit TFormPictureSelect(QWidget* parent = nullptr);
    ~TFormPictureSelect() override;

    // What the editor takes after OK: the picture as it is to be placed, and the file it came from.
    QImage WorkPicture;
    QString PictureFileName;
    // The picture as loaded; "元画像に戻す" goes back to it.
    QImage LoadedPicture;
    int Zoom = 100;
    int LineWidth = 1;
    // The cut-out line in picture coordinates; empty when none is pending.
    QVector<QPoint> CutLine;
    PictureCut::LineShape CutLineShape = PictureCut::LineShape::Rectangle;
    QRect CutLineBox;
    bool Drawing = false;
    bool DotShown = false;
    QPoint DotPos;
    QColor SelectColor = QColor(255, 0, 0);
    QColor BackColor = QColor(0, 255, 0);
    // Thirty steps back; slot 0 holds the picture as opened.
    UndoRing<QImage> Undo{31};

    QSpinBox* UpDown1 = nullptr;
    QPushButton *cbIncrement = nullptr, *bt100 = nullptr, *sbBackColor = nullptr, *sbSelectColor = nullptr,
                *sbSelectWidth = nullptr, *sbSelect1 = nullptr, *sbSelect2 = nullptr, *sbSelect3 = nullptr,
                *sbSelect = nullptr, *sbUndo = nullptr, *sbRedo = nullptr, *sbOpen = nullptr, *sbReOpen = nullptr,
                *sbSelectAll = nullptr, *sbEraseR = nullptr, *sbEraseL = nullptr, *btOK = nullptr, *btCancel = nullptr;
    QCheckBox *CheckBox1 = nullptr, *cbChangeWhite = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QWidget* pnImage = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QWidget* Image1 = nullptr; // the picture's paint box
    QMenuBar* MainMenu1 = nullptr;
    QAction *mmOpen = nullptr, *mmReOpen = nullptr, *Exit1 = nullptr, *Exit2 = nullptr, *Undo1 = nullptr,
            *Repeat1 = nullptr, *mmSelect = nullptr, *mmEraseR = nullptr, *mmEraseL = nullptr, *SelectAll1 = nullptr,
            *Effect1 = nullptr;
    std::unique_ptr<TMyOpenPictureDialog> MyOpenPictureDialog1;

    // Display to picture and back at the form's zoom: the picture pixel under a display point
    // (PointerPixel); in exact integers Ceil(v x Zoom / 100) from 100 % up, else rounded with halves
    // to even.
    QPoint ToPicture(QPointF display) const;
    int ToDisplay(int v) const;
    static int ToDisplayAt(int v, int zoom);

    PictureCut::LineShape CurrentShape() const;

    void FormCreate();
    void FormShow();
    void sbOpenClick();
    void sbReOpenClick();
    void sbSelectAllClick();
    void sbSelectClick();
    void sbEraseRClick();
    void sbEraseLClick();
    void sbUndoClick();
    void sbRedoClick();
    void sbBackColorClick();
    void sbSelectColorClick();
    void sbSelectWidthClick();
    void btOKClick();
    void btCancelClick();
    void UpDown1Click();
    void cbIncrementClick();
    void bt100Click();
    void Effect1Click();
    // The mouse on Image1, at the pointer's exact point in display coordinates. A move without the
    // left button (its release went to a modal window) ends the line there.
    void Image1MouseDown(QPointF display, Qt::MouseButton button);
    void Image1MouseMove(QPointF display, bool shift, bool leftDown = true);
    void Image1MouseUp(QPointF display);
    void FormMouseMove();
    // The arrow keys scroll the view; true when taken.
    bool CMDialogKey(int key, Qt::KeyboardModifiers modifiers);
    // A wheel notch at a position of the scroll box; true when taken.
    bool CMMouseWheel(QPoint boxPos, int delta);
    void ResetUndo();
    void PushUndo();
    void UpdateCaption();
    void ClampPoints();
    void AutoScroll();

    // What the editor places after OK: WorkPicture, at the size shown when CheckBox1 asks for it,
    // never less than one pixel each way.
    QImage TakenPicture() const;

    QImage& EffectPicture() override { return WorkPicture; }
    void EffectRedisplay() override;
    bool EffectPreview(const PicEffectTables* tables) override;

    static QString FormHint();

    void done(int result) override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    friend class SelectCanvas;
    void buildControls();
    void buildMenu();
    void setHints();
    void DrawWidthGlyph();
    void updateUndoButtons();
    void cutOut(PictureCut::LineShape shape);
    // Every command that uses or drops the line also ends a drag in progress, so a shortcut pressed
    // with the button still down leaves nothing for the mouse to extend.
    void dropLine();
    void endDrawing();
    void scrollBy(int dx, int dy);
    TFormSelectWidth* selectWidthForm();

    QTimer m_autoScroll;
    QTimer m_flash;
    int m_wheelRest = 0;
    std::unique_ptr<TFormSelectWidth> m_ownSelectWidth;
    // The adjustment form's tables while one of its bars moves; WorkPicture is unchanged until OK.
    std::optional<PicEffectTables> m_effectPreview;
};
