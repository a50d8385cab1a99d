#pragma once

#include "MapDocument.h"
#include "TextAdmission.h"
#include "UndoRing.h"
#include "UnitToolSet.h"

#include <QDialog>
#include <QImage>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPushButton;
class TMyRichEdit;
class TMyOpenPictureDialog;

// The destination editor: titles, speech lines, description and picture of one destination.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    int DestinationIndex = 0;
    // Full path of the picture being edited; empty when none.
    QString PicturePath;
    // The last file name a picture tool handed back.
    QString ReturnedFileName;
    // Receives those names for the form's whole life.
    SavedPictureNotice::Receiver* PictureNotice =
        ListenForSavedPictures(this, QStringLiteral("TForm2"), &ReturnedFileName);
    bool SuppressKeyPress = false;

    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr;
    TMyRichEdit* Memo1 = nullptr;
    QLabel* imCity = nullptr;
    QImage imCityPicture;
    QPushButton *btLoadCityPic = nullptr, *btEditCityPic = nullptr, *btDeleteCityPic = nullptr, *bbUndo = nullptr,
                *bbRedo = nullptr, *bbPicDir = nullptr, *btEdit = nullptr, *bbCheck = nullptr, *btOK = nullptr,
                *btCancel = nullptr, *bbBG = nullptr, *bbHttp = nullptr;
    // The ten tag buttons, "<r>" "</r>" ... "<u>" "</u>"; their tags are 11 to 20.
    QPushButton *bbR1 = nullptr, *bbR2 = nullptr, *bbG1 = nullptr, *bbG2 = nullptr, *bbB1 = nullptr, *bbB2 = nullptr,
                *bbW1 = nullptr, *bbW2 = nullptr, *bbU1 = nullptr, *bbU2 = nullptr;
    QLabel* lbUndo = nullptr;
    QCheckBox *cbPicDir = nullptr, *cbReload = nullptr, *cbKiridasi = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction *pmUndo = nullptr, *pmRedo = nullptr, *pmCut = nullptr, *pmCopy = nullptr, *pmPaste = nullptr,
            *pmDelete = nullptr, *pmSelectAll = nullptr;
    std::unique_ptr<TMyOpenPictureDialog> mopd1;

    // Runs the show handling, then shows the form modally through the dialog seam.
    int ShowModal();
    void FormCreate();
    void FormShow();
    // False keeps the form open.
    bool FormClose(int modalResult);

    // Puts a text the map holds into one of the four boxes as it is: their filter is for what
    // typing and pasting bring in, and the map's own text is never cut or changed on its way in.
    static void SetBoxText(QLineEdit* box, const QString& text);

    void UpdateDestinationCaption();
    // Shows a picture (already checked for its size) in imCity.
    void showPicture(const QImage& picture);
    void ImportDestinationPicture(QString path, bool copy, bool force);

    // Picture undo: a ring of picture paths.
    UndoRing<QString> PictureUndo{21};
    bool PictureUndoState(int mode);
    void ResetPictureUndo(const QString& path);
    void PushPictureUndo(const QString& path);
    void ApplyPictureUndo();
    // The ring belongs to one destination of one map: a new, opened or saved map, or rows that
    // moved, start it afresh at the next showing.
    void ForgetPictureUndo();
    bool CanUndoPicture() const { return PictureUndo.canUndo(); }
    bool CanRedoPicture() const { return PictureUndo.canRedo(); }

    // Handlers.
    void btOKClick();
    void btCancelClick();
    void btLoadCityPicClick();
    void btEditCityPicClick();
    void btDeleteCityPicClick();
    void bbCheckClick();
    void bbBGClick();
    void bbR1Click(QPushButton* sender);
    // Ctrl+R/G/B/W/U/F/H, Esc and F4; true when the key was used.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void btEditClick();
    void pmUndoClick();
    void pmRedoClick();
    void pmCutClick();
    void pmCopyClick();
    void pmPasteClick();
    void pmDeleteClick();
    void pmSelectAllClick();
    void PopupMenu1Popup();
    void bbUndoClick();
    void bbRedoClick();
    void bbPicDirClick();

    // Renders the description into the story preview.
    void RenderDescriptionMarkup(const QString& text);

    // A change of every other destination's stored description (replace in all destinations,
    // width conversion): a text it changed is taken in as the description box takes text in.
    // Whether any changed; *refused gets what was left out, each character once.
    static bool ChangeOtherDescriptions(MapDocument& doc, int editing,
                                        const std::function<QString(const QString&)>& change,
                                        TextAdmission::Result* refused);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    QPushButton* tagButton(const QString& caption, int tag);
    // The main window's guard: true (after the warning) while a picture tool runs.
    bool toolRuns();
    void updateUndoButtons();
    bool stepPictureIsThere();
    // Puts pasted or dropped text into the description at the caret, less what the map file cannot
    // hold, and says what was left out.
    void pasteIntoDescription(QString text);

    QString m_baselinePicture;
    int m_baselineDestination = -1;
};
