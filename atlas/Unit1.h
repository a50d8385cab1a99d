#pragma once

#include "DocumentFile.h"
#include "FileHistory.h"
#include "FileOps.h"
#include "FixedColumnTableView.h"
#include "MapFolders.h"
#include "MapDocument.h"
#include "MapUndo.h"
#include "UnitToolSet.h"

#include <QImage>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QStatusBar;
class MapCanvas;
class MapGridModel;
class TMyOpenDialog;
class TMySaveDialog;
class TMyOpenPictureDialog;

// The map editor's main window: owner of the map document for the whole run.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // Runs FormCreate with the program's arguments (without the program name).
    explicit TForm1(const QStringList& arguments, QWidget* parent = nullptr);
    ~TForm1() override;

    // Paths built at start-up.
    QString SettingsFolder, SettingsFilePath, HistoryFilePath, ScratchFolder;
    QStringList ToolPaths;

    // The document and where its files lie.
    MapDocument Doc;
    QString MapFilePath, PictureFolder, MapPicturePath;
    bool SaveSucceeded = true;
    // The map file as this program last read or wrote it: a save over it asks when it changed since.
    DocumentFile MapFileContent{FileOps::ReadLimit::Text};
    // Started by 直接編集: the map file changed outside brings the reload question.
    std::unique_ptr<DocumentFileWatch> MapFileWatch;

    QImage MapPicture;
    QImage PaintBuffer;
    int LabelHalfWidth = 0, LabelHalfHeight = 0;
    int WorkingCopyCounter = 0;
    bool FirstShow = true;

    FileHistory History;

    // Widgets the handlers and tests reach by their names.
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    QSplitter* Splitter1 = nullptr;
    MapCanvas* imMap = nullptr;
    QLabel* Label1 = nullptr;
    FixedColumnTableView* sg1 = nullptr;
    MapGridModel* sg1Model = nullptr;
    QPushButton *bbCityInfoEdit = nullptr, *bbUp = nullptr, *bbDown = nullptr, *bbDelete = nullptr,
                *bbInsert = nullptr, *cbSima = nullptr, *bbUndo = nullptr, *bbRedo = nullptr,
                *btNormal = nullptr, *bbColor1 = nullptr, *bbColor2 = nullptr, *bbColor3 = nullptr,
                *cbColorShow = nullptr;
    QComboBox* cobSima = nullptr;
    QLineEdit* edSima = nullptr;
    QLabel* lbUndo = nullptr;
    QCheckBox* cbCityPosHide = nullptr;
    QWidget* pnColor = nullptr;
    QStatusBar* stb1 = nullptr;

    QMenu *File1 = nullptr, *Edit1 = nullptr, *mmTools = nullptr, *Help1 = nullptr, *mmReOpen = nullptr;
    QAction *mmNew = nullptr, *mmOpen = nullptr, *mmSave = nullptr, *mmSaveAs1 = nullptr,
            *mmMapFile = nullptr, *mmOpenPicDir = nullptr, *mmDeleteTemp = nullptr, *mmExit = nullptr,
            *mmLoadMapPic = nullptr, *mmEditMapPic = nullptr, *mmUndoMap = nullptr,
            *mmCityInfoEdit = nullptr, *mmUndoCity = nullptr, *mmTreSet = nullptr,
            *mmContents = nullptr, *mmAbout = nullptr, *tbpToolSettei = nullptr;
    // The pop-up menus the tool list and the history live in.
    QMenu *tbpTools = nullptr, *tbpReOpen = nullptr;

    std::unique_ptr<TMyOpenDialog> mod1;
    std::unique_ptr<TMySaveDialog> msd1;
    std::unique_ptr<TMyOpenPictureDialog> mopd1;

    // Start-up and shutdown.
    void FormCreate(const QStringList& arguments);
    void FormShow();
    // The close sequence; false keeps the window open.
    bool FormClose();
    void FitWindowToScreen();
    void ApplicationActivated();
    void ApplicationDeactivated();
    QString ResolveExeRelativePath(const QString& path, bool toRelative) const;
    void mmExitClick();
    // Writes the settings file (tools and editing options) when they differ from what it holds;
    // called as they change, not only at close.
    void SaveSettings();
    // The hint of a component, as the status bar shows it.
    QString hintOf(const QObject* component) const;
    // A picture dialog for another form, starting as the main window's does.
    std::unique_ptr<TMyOpenPictureDialog> NewPictureDialog() const;
    // The application's hint handler from the first showing on: every window without a status line
    // of its own shows its hints in this one.
    void ShowHintInStatusBar(const QString& hint);

    // The map file.
    void ResetToNewMap();
    bool LoadMapFile(const QString& path);
    void SaveMapFile(const QString& path, const QString& question);
    void UpdateCaption();
    QString ResolvePicturePath(const QString& name, bool mustExist) const;
    bool msd1CanClose(const QString& fileName);
    void mmNewClick();
    void mmOpenClick();
    void mmSaveClick();
    void mmSaveAs1Click();
    void mmMapFileClick();
    // The watch's report of other content in the map file.
    void MapFileChangedOutside();
    void mmOpenPicDirClick();
    void mmDeleteTempClick();

    // The file history.
    void LoadHistoryMenu();
    bool AddToHistory();
    void SaveHistory();
    void OpenFromHistory(const QString& storedPath);
    void ClearHistory();
    void CopyHistoryMenu();

    // The destination grid.
    int SelectedColumn = 1;
    bool SuppressHighlight = false;
    // The selected grid row, 1..62 (destination row - 1).
    int selectedRow() const;
    void selectRow(int row);
    void sg1Click();
    void sg1SelectCell(int column, int row);
    void sg1MouseDown(const QPoint& pos);
    void sg1MouseUp();
    void sg1DblClick();
    bool sg1KeyDown(int key);
    void sg1KeyUp(int key);
    void bbCityInfoEditClick();
    void bbDeleteClick();
    void bbInsertClick();
    void bbUpClick();
    void bbDownClick();
    void btNormalClick();

    // The map undo ring and the modified test.
    MapUndo Undo;
    void ResetUndo(const QString& mapPicturePath);
    bool IsModified(int mode);
    bool CanUndo() const { return Undo.canUndo(); }
    bool CanRedo() const { return Undo.canRedo(); }
    void PushUndo(const QString& comparePath);
    void RestoreSnapshot();
    // After an undo or redo: names the pictures the state brought back whose files are gone, one a
    // line (nothing when none is).
    static void WarnPicturesGone(QWidget* parent, const QStringList& gone);
    void bbUndoClick();
    void bbRedoClick();
    void mmUndoMapClick();
    // The destination editor's picture undo starts afresh at its next showing.
    void ForgetDestinationPictureUndo();
    void mmUndoCityClick();

    // Map pictures: working copies in the picture folder and blank pictures. Neither ever takes
    // the name of a file that exists: the wanted name when it is free, else the next counter name
    // that is.
    QString MakeWorkingCopy(const QString& source, const QString& wantedName);
    // A new blank picture of the kind under the wanted name or a counter name; empty when none
    // could be written (said so).
    QString MakeBlankPicture(const QString& wantedName, int kind);
    // Creates an empty file under the name a new picture takes and returns its path; the file is
    // the caller's to fill. Empty (with *why) when none could be created.
    QString ClaimPictureName(const QString& wantedName, QString* why);
    // Whether the file lies in the map's picture folder (only such files can be named by the map).
    bool IsInPictureFolder(const QString& path) const;
    bool CreateBlankPicture(const QString& path, int kind);
    void ImportMapPicture(QString fileName, bool makeCopy);
    // Runs the size-correction form on a picture of the wrong size (announcing it first when
    // asked): the corrected picture, or nothing when cancelled or still of the wrong size (said so).
    // path becomes the name the picture was saved under there, if any.
    std::optional<QImage> CorrectPictureSize(QWidget* parent, int kind, QString& path, bool announce);
    // Writes the last corrected picture to a working copy.
    bool SaveCorrectedPicture(const QString& path);
    void mmLoadMapPicClick();
    void mmTreSetClick();
    void mmEditMapPicClick();
    // The last name a picture tool handed back to this window.
    QString ReturnedFileName;

    // The map canvas.
    bool DraggingOnMap = false;
    QString DragStartValue;
    int DragOffsetX = 0, DragOffsetY = 0;
    // What the drag moves, fixed at its press: an island (0 to 2) or a destination row (0 to 61).
    int DragIsland = -1, DragRow = -1;
    bool SwallowNextMouseDown = false;
    void PaintMap(bool highlight = false);
    // Brings PaintBuffer up to date with the last PaintMap.
    void ComposeMap();
    // True when the press began a drag.
    bool imMapMouseDown(const QPoint& pos);
    void imMapMouseMove(const QPoint& pos);
    void imMapMouseUp(const QPoint& pos);
    void imMapDblClick(const QPoint& pos);
    void cbSimaClick();
    void cobSimaChange();
    void cobSimaDropDown();
    void cbCityPosHideClick();
    void cbColorShowClick();
    void bbColor1Click();
    void bbColor2Click();
    void bbColor3Click();
    void UpdateColorSwatch(int n);
    // External tools.
    // True while a picture tool runs.
    bool ToolRunning = false;
    // The description editor's options, kept in the settings file.
    QString NoChangeChars;
    quint8 ConvertFlags = 0, ReplaceFlags = 0, FindFlags = 0;
    // The picture tool's hand-back to this window, into ReturnedFileName, for the whole run.
    SavedPictureNotice::Receiver* PictureNotice =
        ListenForSavedPictures(this, QStringLiteral("TForm1"), &ReturnedFileName);
    // The picture tool's guard: true (after telling the user) while a tool runs.
    bool CheckToolRunning();
    // The first registered tool, absolute; empty when none is registered.
    QString PictureToolPath() const;
    void WarnNoPictureTool(QWidget* parent);
    // Starts the tool on the picture for the waiting form of the kind and waits for it to end.
    // A tool directly in the program folder also gets the waiting form's class name; the form's
    // receiver takes notices of that run's process alone, and only while it runs. The windows
    // stay usable meanwhile; commands that would act on the picture ask CheckToolRunning. A tool
    // that crashed is said so. Afterwards a received name that is no readable picture is dropped
    // (after a warning); *handedBack is the saved picture's name the tool handed back, if any.
    // False when the tool did not run.
    bool RunToolAndWait(const QString& tool, const QString& picture, int kind, QString* handedBack = nullptr);
    // A picture-edit command, the same for the map picture, a destination and a treasure slot.
    struct PictureEdit {
        int kind = 0;
        QWidget* form = nullptr;                          // where the messages go
        QString current;                                  // the picture the target names now; empty for none
        QString name;                                     // the base name of the working copy ("map", "03", "t01")
        std::function<void(const QString& picture)> take; // brings in what the run brought
        std::function<void()> restore;                    // nothing came: shows what the target names
        std::function<bool(const QString& path)> names;   // whether the target names the file now
    };
    // Makes a working copy of the target's picture (a blank one for none), runs the picture tool on
    // it with a record of the run in the picture root, and hands on what the run brought
    // (PictureToolRun::result); a copy that brought nothing, or was never used, goes, unless a
    // running program holds it. The target names its picture until the run is over.
    void EditPictureWithTool(const PictureEdit& edit);
    // The arguments a tool gets for a picture and the waiting form of the kind.
    static QStringList ToolArguments(const QString& tool, const QString& picture, int kind);
    // Hooks the tools menus to their handlers (part of FormCreate).
    void ConnectToolMenus();
    // The click handler of every tool item: starts the tool without arguments, not waiting.
    void RunToolFromMenu(QAction* item);
    // Refills the main menu's tools menu from the pop-up one.
    void CopyToolsMenu();
    void mmToolsClick();
    void tbpToolSetteiClick();
    // (end of external tools)

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void setHints();
    void setHint(QObject* component, const QString& hint);
    void refreshDocumentViews();
    void buildHandlers();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void chooseColour(int n);
    // The glyph of colour button n, without repainting the canvas.
    void drawSwatch(int n);
    // Moves the dragged island or destination to follow the pointer.
    void dragTo(const QPoint& pos);
    // Asks about unsaved changes before the document is replaced; false stops the command.
    bool askSaveBeforeReplacing();
    // Reports a save that failed and why.
    void reportSaveFailure(const QString& why);
    // The question before a save puts this map's pictures into a folder another map file uses;
    // false when the user declined.
    bool confirmTakingFolder(const QString& target, const QString& folder);
    void RecoverInterruptedSave();
    // Moves aside, and names to the user, the pictures that runs which never ended left unsaved: the
    // working copies of dead tool runs and, at start, the unsaved-map folders nobody holds (the one
    // this program takes is chosen then).
    void KeepLeftPictures(bool starting);
    // Makes the folders the program keeps its files in, telling the user once when it cannot.
    void MakeFolders();
    // Whether the settings and histories can be written: their folder is there, or made by now.
    bool SettingsKept();

    QString m_baseline;
    // This program's unsaved-map folder, held for the whole run.
    std::unique_ptr<MapFolders::NewMapFolder> m_newMapFolder;
    // The hold on the open map's picture folder; none for an unsaved map.
    std::unique_ptr<MapFolders::MapLock> m_mapLock;
    std::unique_ptr<MapFolders::MapLock> holdMap(const QString& pictureFolder, const QString& path, bool opening);
    void keepHoldOfOpenMap(std::unique_ptr<MapFolders::MapLock>& lock);
    void reportLeftovers(const QStringList& leftovers);
    QFont m_labelFont;
    bool m_paintHighlight = false;
    bool m_canvasStale = true;
    bool m_closing = false;
    // The settings folder or the picture root could not be made (the user was told at start-up).
    bool m_settingsFolderMissing = false;
    bool m_pictureRootMissing = false;
    // A history that cannot be written is told once a run, not at every New and close.
    bool m_historyFailureTold = false;
    // Hands the other windows' hints to ShowHintInStatusBar; owned by the window, made at the
    // first showing.
    QObject* m_hintRouter = nullptr;
};
