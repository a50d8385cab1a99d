#pragma once

#include "ToolRunner.h"

#include <QDialog>
#include <QSet>
#include <QStringList>

#include <optional>

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class ProfileFile;
class TForm1;
namespace SavedPictureNotice {
class Receiver;
}

// The external tools dialog; also reads and writes the settings file.
// A tool entry is one line "caption=path"; the first entry is the picture tool.
class TFormToolSet : public QDialog {
    Q_OBJECT

public:
    explicit TFormToolSet(QWidget* parent = nullptr);

    QLabel* Label63 = nullptr;
    QListWidget* lbox6_5 = nullptr;
    QPushButton *bt6_Add = nullptr, *bt6_Edit = nullptr, *bb6_Up = nullptr, *bb6_Down = nullptr, *bt6_Del = nullptr,
                *btOK = nullptr, *btCancel = nullptr;
    // The entry under the last left button press in the list, -1 when none.
    int DragFromIndex = -1;
    // The horizontal extent FitListExtent last gave the list.
    int ListExtent = 0;

    // Fills the tools pop-up menu from the tool list.
    void BuildToolsMenu(QMenu* menu);
    // Reads the settings file into the editing options and the tool list, telling the user which
    // lines could not be read; false when there is no settings file (then nothing changes).
    bool LoadToolSettings();
    // Writes what changed in the tool list and the editing options since the file was read (all
    // of them when there is no file); false (after telling the user, once per failure) when the
    // file could not be written or a value was left out of it.
    bool SaveToolSettings();

    // The entries of the list, in order.
    QStringList entries() const;
    void setEntries(const QStringList& entries);
    // The selected entry, -1 when none.
    int selectedIndex() const;
    void selectIndex(int index);

    // Shows the dialog modally; Cancel puts back the list as it was when the dialog opened.
    int ShowModal();

    void FormCreate();
    void FitListExtent();
    void btOKClick();
    void btCancelClick();
    void FormClose(int modalResult);
    void bt6_AddClick();
    void bt6_EditClick();
    void bb6_UpClick();
    void bb6_DownClick();
    void bt6_DelClick();
    // Dragging inside the list; positions are in the list's viewport.
    void lbox6_5MouseDown(Qt::MouseButton button, const QPoint& pos);
    void lbox6_5DragOver(const QPoint& pos);
    void lbox6_5DragDrop(const QPoint& pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The settings as the file last read or written holds them.
    struct StoredSettings {
        QString noChangeChars;
        quint8 convertFlags = 0, replaceFlags = 0, findFlags = 0;
        QStringList tools;
        bool operator==(const StoredSettings&) const = default;
    };
    static StoredSettings readSettings(const ProfileFile& ini);
    void reportOnce(const QString& message);

    TForm1* mainForm() const;
    // The entry at the position; with pastEnd, a position below the last entry gives the count.
    int itemAtPos(const QPoint& pos, bool pastEnd) const;
    int topIndex() const;
    // The other captions, for the duplicate check of the entry dialog.
    QStringList captionsExcept(int index) const;

    std::optional<StoredSettings> m_stored;
    QSet<QString> m_reported;
    QStringList m_openedWith;
    bool m_dragging = false;
    QPoint m_pressPos;
};

// The caption (path false) or the path (path true) of a tool entry, trimmed; an entry without
// "=" is returned whole.
QString SplitToolEntry(const QString& entry, bool path);

// Listens for the picture tool's hand-back to the window class name for the owner's whole life;
// each name received is stored in *target. Nothing is received until a run names its process to
// the receiver (TForm1::RunToolAndWait), and then only from that run.
SavedPictureNotice::Receiver* ListenForSavedPictures(QObject* owner, const QString& className, QString* target);

// What the picture tool's environment gets so that it answers this receiver alone: its socket, or,
// for none (or one that does not listen), the variable removed, so that a socket named to this
// program by whoever started it is never passed on.
ToolRunner::Environment SavedPictureEnvironment(const SavedPictureNotice::Receiver* receiver);
