#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;
class QLineEdit;

// The customised open and save dialogs of both programs, on Qt's own (non-native) file dialog.
// Each switch takes one ability away from the user when false:
//   DirChangeBox  the look-in box is disabled;
//   DirCreateBtn  the new-folder button (and the list's New Folder item) stays disabled;
//   DirUpBtn      going up one level works only while the shown folder is deeper than InitialDir;
//   DirPrevBtn    the back button (and Alt+Left in the list) stays disabled;
//   DirEditBox    nothing can be typed, pasted, dropped or deleted in the name box;
//   DirEditPath   a name typed in the name box is cleaned of everything that could leave the
//                 shown folder (see cleanFileName), and the box has no context menu;
//   ListMenu      the list refuses its context menu with a warning, ignores the editing keys,
//                 and files cannot be dragged about in it;
//   ListChangeFN  no renaming in the list;
//   KeepSize      the dialog keeps the size it is shown at and stands centred across the monitor
//                 of the window that opens it, one third down, its frame wholly in the monitor's
//                 available area; false leaves size and place to Qt.
// Open dialogs empty the name box when the folder changes; save dialogs keep the typed name.
// The two picture dialogs take only names the programs can read and write (".bmp", ".jpg"): any
// other is refused with the programs' one message and the dialog stays open. Beside the list they
// show the chosen picture, scaled to fit, and its width x height. A name typed without extension
// takes the chosen type's (DefaultExt for a type of several patterns).
class TMyFileDialog {
public:
    virtual ~TMyFileDialog() = default;

    QString Title;
    QString InitialDir;
    QString FileName;
    // Toolkit filter text: "description|mask|description|mask", masks separated by ";".
    QString Filter;
    int FilterIndex = 1;
    QString DefaultExt;

    bool DirChangeBox = true, DirCreateBtn = true, DirUpBtn = true, DirPrevBtn = true,
         DirEditBox = true, DirEditPath = true, ListMenu = true, ListChangeFN = true, KeepSize = true;

    // Asked when the user accepts a name; false keeps the dialog open.
    std::function<bool(const QString&)> OnCanClose;
    // Asked when the user picks another file type (1-based index) with the name box's text; the
    // returned text replaces it. The name is never rewritten otherwise: without a handler it stays
    // as typed.
    std::function<QString(int filterIndex, const QString& currentName)> OnTypeChange;

    // Shows the dialog; on OK FileName holds the chosen path and FilterIndex the chosen type.
    bool Execute(QWidget* parent = nullptr);

    bool isSaveDialog() const { return m_save; }
    bool isPictureDialog() const { return m_picture; }

protected:
    explicit TMyFileDialog(bool save, bool picture = false)
        : m_save(save)
        , m_picture(picture)
    {
    }

private:
    bool m_save;
    bool m_picture;
};

class TMyOpenDialog : public TMyFileDialog {
public:
    TMyOpenDialog() : TMyFileDialog(false) {}
};

class TMySaveDialog : public TMyFileDialog {
public:
    TMySaveDialog() : TMyFileDialog(true) {}
};

class TMyOpenPictureDialog : public TMyFileDialog {
public:
    TMyOpenPictureDialog()
        : TMyFileDialog(false, true)
    {
    }
};

class TMySavePictureDialog : public TMyFileDialog {
public:
    TMySavePictureDialog()
        : TMyFileDialog(true, true)
    {
    }
};

// A save dialog's overwrite check: true when no file of the path exists or the user agrees to
// replace it; the question names the file as shown.
bool ConfirmOverwrite(QWidget* parent, const QString& path, const QString& shownName);

// Qt name filters from toolkit filter text ("全種類 (*.bmp, *.jpg)|*.bmp;*.jpg" gives
// "全種類 (*.bmp *.jpg)").
QStringList qtNameFilters(const QString& filter);

// The two programs clean a typed name differently: atlas removes \ / : * ? " < > |, easel only
// the separators \ and / and the quote (which splits names in Qt's dialog). Both fold every run
// of dots to one dot and drop leading "~" (Qt would read it as a home folder), so the result
// always names an entry of the shown folder.
enum class CleanUpVariant { Atlas, Easel };

QString cleanFileName(const QString& typed, CleanUpVariant variant);
// Cleans the box's text in place; the cursor and selection keep their positions (as far as the
// shorter text allows).
void cleanFileNameEdit(QLineEdit& edit, CleanUpVariant variant);

// The variant every dialog of this program uses; atlas's unless the program says otherwise at
// start-up.
void setFileNameCleanUp(CleanUpVariant variant);
CleanUpVariant fileNameCleanUp();

// Where KeepSize puts a dialog of the given size on a monitor: centred across, one third of the
// free height down (negative free space is divided toward zero).
QPoint keepSizePosition(const QRect& monitor, const QSize& size);
