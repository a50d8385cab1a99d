#pragma once

#include "UndoRing.h"
#include "UnitToolSet.h"

#include <QDialog>
#include <QImage>
#include <array>
#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class TForm1;
class TMyOpenPictureDialog;
class TRichEditMargin;

// The treasure pictures form: the 101 slots t01, t02 and r01 to r99, each a 300 x 300 picture.
class TForm3 : public QDialog {
    Q_OBJECT

public:
    static constexpr int SlotCount = 101;
    static constexpr int UndoSlots = 21;

    struct TreasureSnapshot {
        std::array<QString, SlotCount> names;
        int row = 1;
    };

    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    // The slot name of a row (1 to 101), with its leading blank: " t01", " r05".
    static QString SlotName(int row);

    // The full path the current import or tool run works on.
    QString TreasurePicturePath;
    // The last file name a picture tool handed back, and its receiver for the form's whole life.
    QString ReturnedFileName;
    SavedPictureNotice::Receiver* PictureNotice =
        ListenForSavedPictures(this, QStringLiteral("TForm3"), &ReturnedFileName);

    QTableWidget* sg3 = nullptr;
    QLabel* imTre = nullptr;
    // What imTre shows.
    QImage imTrePicture;
    TRichEditMargin* RichEditMargin1 = nullptr;
    QPushButton *btLoad = nullptr, *btEdit = nullptr, *btDelete = nullptr, *bbUndo = nullptr, *bbRedo = nullptr,
                *bbPicDir = nullptr, *btClose = nullptr;
    QCheckBox *cbShowBack = nullptr, *cbPicDir = nullptr, *cbReload = nullptr, *cbKiridasi = nullptr;
    QLabel* lbUndo = nullptr;
    std::unique_ptr<TMyOpenPictureDialog> mopd1;

    UndoRing<TreasureSnapshot> Undo{UndoSlots};

    void FormCreate();
    // Shows the form modally through the dialog seam.
    int ShowModal();

    // The selected row, 1 to 101.
    int SelectedRow() const;
    void SelectRow(int row);
    // Column 1 of a row; writing it also writes the map document's treasure list.
    QString NameAt(int row) const;
    void SetNameAt(int row, const QString& name);
    // Column 1 again from the map document, as a load or save left it.
    void ReadNamesFromMap();

    bool ShowTreasurePicture();
    static bool IsTreasurePictureSize(const QString& path);
    void ImportTreasurePicture(QString path, bool copy, bool force);

    // Empties the ring of treasure changes and takes its baseline.
    void ResetUndo();
    void ResetTreasureUndo();
    // Mode 0 takes the baseline; mode 1 tells whether any name differs from it, ignoring case.
    bool TreasureUndoState(int mode);
    void PushTreasureUndo();
    void ApplyTreasureUndo();
    bool CanUndoPicture() const { return Undo.canUndo(); }
    bool CanRedoPicture() const { return Undo.canRedo(); }
    int UndoSlot() const { return Undo.label(); }

    // Handlers.
    void sg3Click();
    void cbShowBackClick();
    void btLoadClick();
    void btEditClick();
    void btDeleteClick();
    void btCloseClick();
    void bbUndoClick();
    void bbRedoClick();
    void bbPicDirClick();
    // Ctrl+Z and Ctrl+Shift+Z; true when the key was used.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Every way of closing waits while the picture tool runs: its result still has to come in.
    void done(int result) override;

private:
    TreasureSnapshot currentNames() const;
    void updateUndoButtons();
    void showImage(const QImage& image);

    std::array<QString, SlotCount> m_baselineNames;
};
