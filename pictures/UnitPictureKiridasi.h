#pragma once

#include "CutView.h"
#include "UnitPicEffect.h"

#include <QColor>
#include <QDialog>
#include <QImage>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenuBar;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QStatusBar;
class QWheelEvent;
class TMyOpenPictureDialog;
class TMySavePictureDialog;
class KiridasiCanvas;

// The size-correction form: cuts a picture to the exact size its caller needs.
// Caller contract: set RequiredWidth, RequiredHeight and PictureFileName, ShowModal(); on OK take
// WorkBitmap, or load PictureFileName when the user saved the result under a new name there;
// SavePictureAs writes WorkBitmap to the caller's working copy.
// OK is accepted only with a cut in effect, so after OK WorkBitmap is always the cut the user
// sees, also when it was saved under another name and cut again since.
class TFormPictureKiridasi : public QDialog, public PicEffectHost {
    Q_OBJECT

public:
    explicit TFormPictureKiridasi(QWidget* parent = nullptr);
    ~TFormPictureKiridasi() override;

    int RequiredWidth = 400;
    int RequiredHeight = 225;
    QString PictureFileName;
    QImage WorkBitmap;

    // Runs the show handling, then shows the form modally through the dialog seam.
    int ShowModal();
    // ".bmp" or ".jpg" only; anything else is refused with a warning and writes nothing.
    bool SavePictureAs(const QString& path);

    // The picture as loaded; undo and start-over go back to it.
    QImage LoadedBitmap;
    QColor FrameColor = Qt::black;
    int LastRequiredWidth = 0;
    // No cut waiting to be saved.
    bool CutSaved = true;

    std::unique_ptr<TMyOpenPictureDialog> MyOpenPictureDialog1;
    std::unique_ptr<TMySavePictureDialog> MySavePictureDialog1;

    QScrollArea* ScrollBox1 = nullptr;
    KiridasiCanvas* Image1 = nullptr;
    QSpinBox *UpDown1 = nullptr, *UpDown2 = nullptr, *UpDown3 = nullptr;
    QPushButton* CheckBox1 = nullptr; // the zoom increment, 1 or 10, as a push-like toggle
    QPushButton *bbYoko = nullptr, *bbTate = nullptr, *bbFit = nullptr, *bbWakuLeftTop = nullptr, *bbLeftTop = nullptr,
                *bbSelectColor = nullptr, *bbSelect = nullptr, *bbUndo = nullptr, *bbReStart = nullptr, *btOK = nullptr,
                *btCancel = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QAction *mmOpen = nullptr, *Save1 = nullptr, *Exit1 = nullptr, *Exit2 = nullptr, *mmSelect = nullptr,
            *Undo1 = nullptr, *X1 = nullptr, *N4 = nullptr, *N5 = nullptr, *M2 = nullptr, *M1 = nullptr, *N9 = nullptr,
            *N6 = nullptr, *Effect = nullptr;

    const CutView& view() const { return m_view; }
    // Whether a cut is in effect (what the undo button shows).
    bool CutInEffect() const { return m_view.cutInEffect(); }

    void FormCreate();
    // The show handling; also "最初から". A caller's file that is missing or cannot be read leaves
    // the form without a picture, so no earlier caller's picture is ever handed back.
    void FormShow();
    // Loads a picture into LoadedBitmap and WorkBitmap and resets the view. A name that is not
    // ".bmp" or ".jpg", or content that is not a picture, is refused with a message and changes
    // nothing.
    bool LoadPicture(const QString& path);
    void UpdateCaption();
    void ResetView();

    // Redisplay at the up-down's zoom, or fitted to the frame.
    void UpDown1Click(CutView::Fit fit = CutView::Fit::None);
    void ZoomStep(int direction);
    void bbYokoClick() { UpDown1Click(CutView::Fit::Width); }
    void bbTateClick() { UpDown1Click(CutView::Fit::Height); }
    void bbFitClick() { UpDown1Click(CutView::Fit::Exact); }
    void bbWakuLeftTopClick();
    void bbLeftTopClick();
    void bbSelectColorClick();
    void bbSelectClick();
    void bbUndoClick();
    void bbReStartClick();
    void btOKClick();
    void btCancelClick();
    void sbOpenClick();
    void Save1Click();
    // Adjusts brightness and colours of the working picture with the program's adjustment form.
    void EffectClick();
    QImage& EffectPicture() override { return WorkBitmap; }
    // The size stays, so the display keeps its zoom and fit; only the picture is drawn anew.
    void EffectRedisplay() override;
    bool EffectPreview(const PicEffectTables* tables) override;
    // The save dialog's overwrite question; false keeps the dialog open.
    bool MySavePictureDialog1CanClose(const QString& fileName);
    // The name the save dialog's file-name box gets when its type changes to filter 1 (".bmp") or
    // 2 (".jpg"): the file name part of the current name with that extension. Other filters, and
    // an empty box, leave the text as it is.
    static QString TypeChangeName(int filterIndex, const QString& currentName);

    // Keys the form handles before its controls; true when taken.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // A wheel notch at a position of the scroll box; true when taken (always, over the box).
    bool MouseWheel(QPoint boxPos, int delta);

    void done(int result) override;

    // The form's own hint, shown in the status bar where no control has one.
    static QString FormHint();

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    friend class KiridasiCanvas;
    void buildControls();
    void buildMenu();
    void setHints();
    void connectControls();
    // Brings the widgets in line with the view: spin values, canvas size, scroll bars, buttons.
    void syncToWidgets();
    // Takes the scroll position and viewport size from the scroll box.
    void syncFromWidgets();
    void moveFrameByArrow(CutView::Arrow key, bool shift);

    CutView m_view;
    // The adjustment form's tables while one of its bars moves; WorkBitmap is unchanged until OK.
    std::optional<PicEffectTables> m_effectPreview;
    int m_wheelRest = 0;
    bool m_firstShow = true;
    bool m_syncing = false;
};
