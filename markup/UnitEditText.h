#pragma once

#include "FileOps.h"
#include "ScratchHistory.h"
#include "TextSearch.h"

#include <QDialog>
#include <QFont>
#include <QHash>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QDateTime;
class QFontDialog;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPainter;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolBar;
class QToolButton;
class TFindDialog;
class TFormRefPage;
class TMyRichEdit;
class TEditTabBar;
class TMyOpenDialog;
class TMySaveDialog;

// The larger editor for one destination's description, with its scratch pages as further tabs
// that can float as windows of their own.
class TFormEditText : public QDialog {
    Q_OBJECT

public:
    explicit TFormEditText(QWidget* parent = nullptr);
    ~TFormEditText() override;

    // What the window takes from the forms above it (the map editor sets these; this library
    // cannot see those forms): the description font, the destination editor's tag hints by
    // button name ("bbR1" ...), and the main window's option bytes and scratch folder.
    struct Host {
        QFont descriptionFont;
        QHash<QString, QString> tagHints;
        quint8* replaceFlags = nullptr;
        quint8* findFlags = nullptr;
        QString scratchFolder;
        quint8* convertFlags = nullptr;
        QString* noChangeChars = nullptr;
        // Changes the description of every destination but the one being edited (handed over with
        // its line breaks as CR LF) as one step of the map's undo.
        std::function<void(const std::function<QString(const QString&)>&)> changeOtherDescriptions;
        // Where the scratch history lies; the history is read when this is first given.
        QString settingsFolder;
        // Called when the options above changed, so that they are kept at once.
        std::function<void()> optionsChanged;
    };
    void SetHost(const Host& host);

    QPushButton *btOK = nullptr, *btCancel = nullptr;
    QTabWidget* pcEdit = nullptr;
    QWidget* TabSheet1 = nullptr;
    TMyRichEdit* MyRichEdit1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton *tbtFind = nullptr, *tbtFindPrev = nullptr, *tbtFindNext = nullptr, *tbtReplace = nullptr;
    QToolButton *sbBG = nullptr, *sbR1 = nullptr, *sbR2 = nullptr, *sbG1 = nullptr, *sbG2 = nullptr, *sbB1 = nullptr,
                *sbB2 = nullptr, *sbW1 = nullptr, *sbW2 = nullptr, *sbU1 = nullptr, *sbU2 = nullptr;
    QToolButton *sbHome = nullptr, *sbEnd = nullptr, *sbEnter = nullptr, *sbBS = nullptr;
    QLabel* lbPasteRet = nullptr;
    QLineEdit* edPasteRet = nullptr;
    QSpinBox* udPasteRet = nullptr;
    QMenu *PopupMenu1 = nullptr, *PopupMenu2 = nullptr, *PopupMenu3 = nullptr, *pmEdit = nullptr, *tbpReRefer = nullptr;
    QAction *pmUndo = nullptr, *pmRedo = nullptr, *pmCut = nullptr, *pmCopy = nullptr, *pmPaste = nullptr,
            *pmDelete = nullptr, *pmSelectAll = nullptr, *Home1 = nullptr, *End1 = nullptr, *Enter1 = nullptr,
            *BS1 = nullptr;
    QAction *Find1 = nullptr, *Prev1 = nullptr, *Next1 = nullptr, *Replace1 = nullptr, *mmRepZenToHan = nullptr,
            *mmRepHanToZen = nullptr, *mmRepHanZenSettei = nullptr;
    QAction *Wrap1 = nullptr, *Font1 = nullptr;
    QAction *miOrikaesi = nullptr, *miFont = nullptr, *miToLeft = nullptr, *miToRight = nullptr, *miClose = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu *mmFile = nullptr, *mmEdit = nullptr, *mmSearch = nullptr, *mmHyouji = nullptr, *mmRefer = nullptr,
          *ReRefer1 = nullptr;
    QAction *Close1 = nullptr, *Q1 = nullptr, *Refer1 = nullptr, *Blank1 = nullptr, *ReferSave1 = nullptr;
    std::unique_ptr<QFontDialog> FontDialog1;
    // The font the dialog returned last (at first the description editor's); new pages take it.
    QFont DialogFont;
    TFindDialog *FindDialog1 = nullptr, *ReplaceDialog1 = nullptr;
    std::unique_ptr<TMyOpenDialog> mod1;
    std::unique_ptr<TMySaveDialog> msd1;

    // The page the editing commands act on: nullptr stands for the description tab.
    TFormRefPage* CurrentPage = nullptr;
    std::vector<std::unique_ptr<TFormRefPage>> ScratchPages;
    int PageCounter = 0;
    bool FloatingPageCurrent = false;
    bool SuppressKeyPress = false;
    bool FirstShow = true;
    int DropMarkTab = -1;
    bool SaveProceeds = true;
    quint8 SkipSelection = 0;

    int ShowModal();
    TMyRichEdit* CurrentEditor() const;

    // Floating pages hide while the application is inactive and come back at their bounds.
    void HideFloatingPages();
    void ShowFloatingPages();
    void UpdateEditorCaption(const QString& path);
    // Retitles (no class name) or relabels (a class name) the find or replace dialog that is open.
    void SetDialogText(const QString& className, const QString& oldText, const QString& newText);

    // Scratch pages that are shown and modified, for the question at closing.
    int ModifiedScratchPageCount() const;
    // Writes every modified scratch page to its own file inside the scratch folder and puts it
    // on top of the scratch history; false (the user told) when one could not be written.
    bool SaveAllScratchPages();
    void LoadScratchHistory();
    bool AddScratchHistory(const QString& path);
    void SaveScratchHistory();
    // A page made for a file, its text loaded; nullptr when the file cannot be read. A file that is
    // open as a page already is not opened again: that page is shown and returned.
    TFormRefPage* CreateScratchPage(const QString& fileName);
    // A blank page named for that moment ("yyMMdd-HHmmss", then "_2", "_3" ...) with a name no
    // page of any program has: its file is claimed at once. nullptr (the user told) when the
    // scratch folder cannot be made or written.
    TFormRefPage* CreateBlankPage(const QDateTime& now);
    // The open page, other than `except`, whose file is the one at the path.
    TFormRefPage* ScratchPageOfFile(const QString& path, const TFormRefPage* except = nullptr) const;
    // Makes the page current and brings it before the user, docked or floating.
    void ShowScratchPage(TFormRefPage* page);
    // Why a text cannot be saved: each character code page 932 cannot hold, once, with where it
    // first stands as a page shows it (line and column from 1; a character of two UTF-16 halves
    // counts once).
    static QString UnencodablePlaces(const QString& text);

    // Takes a new page in as a tab just after the active one and makes it current.
    TFormRefPage* AddScratchPage(std::unique_ptr<TFormRefPage> page);
    // The operations behind the mouse gestures: a page leaves the tab row as its own window at
    // the bounds given, and a floating page goes back to the tab row (at the end, or before tab
    // `index`, never before tab 0).
    void floatPage(TFormRefPage* page, const QRect& bounds);
    void dockPage(TFormRefPage* page, int index = -1);
    // A floating page became active, or was moved over the tab row.
    void RefPageActivated(TFormRefPage* page);
    void RefPageMoved(TFormRefPage* page);
    // The user works in this editor (a key typed or a click in it): its page becomes current.
    void EditorTakesCommands(TMyRichEdit* editor);
    // Where a page dragged out of the tab row floats: its rectangle carried along by the drag, so
    // that the point grabbed stays under the cursor, then moved, and shrunk if need be, until it
    // and a frame of the given margins lie wholly on the screen.
    static QRect DraggedOutBounds(const QRect& pageAtPress, const QPoint& press, const QPoint& release,
                                  const QRect& screen, const QMargins& frame);
    // The label a tab shows: its caption, with "*" when its editor is modified.
    QString TabLabel(int index) const;
    TMyRichEdit* TabEditor(int index) const;
    TFormRefPage* TabPage(int index) const;

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormActivate();
    // False keeps the window open.
    bool FormClose(int modalResult);
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The command of the menus the menu bars copy from the pop-up menus whose key was pressed, in
    // the window and in a floating page alike; nullptr for none.
    QAction* CommandOfKey(QKeyCombination pressed) const;
    // Whether the widget a key came to takes it for its own editing, as a line box takes Ctrl+V.
    static bool TakesKeyItself(QWidget* widget, const QKeyEvent& key);
    void btOKClick();
    void btCancelClick();
    void PopupMenu1Popup();
    void pmUndoClick();
    void pmRedoClick();
    void pmCutClick();
    void pmCopyClick();
    void pmPasteClick();
    void pmDeleteClick();
    void pmSelectAllClick();
    void Home1Click();
    void End1Click();
    void Enter1Click();
    void BS1Click();
    void bbR1Click(QToolButton* sender);
    void bbBGClick();
    void Wrap1Click();
    void Font1Click();
    void pcEditChange();
    void pcEditDrawTab(QPainter& painter, int index, const QRect& rect, bool active) const;
    void pcEditMouseDown(Qt::MouseButton button, const QPoint& pos);
    // The drag of a page in the tab row: the marker follows, a drop in the row moves the page,
    // a drop outside it lets the page float there.
    void pcEditDragOver(const QPoint& pos);
    void pcEditDragDrop(const QPoint& pos);
    void pcEditEndDrag(const QPoint& globalPos);
    void miToLeftClick();
    void miToRightClick();

    // Commands the search, conversion and scratch-page work fills.
    void Find1Click();
    void Prev1Click();
    void Next1Click();
    void Replace1Click();
    void FindDialog1Find();
    void ReplaceDialog1Find();
    void ReplaceDialog1Replace(bool all);
    void mmRepZenToHanClick(int tag);
    void mmRepHanZenSetteiClick();
    void Refer1Click();
    void Blank1Click();
    void ReferSave1Click();
    void miCloseClick();
    void ReopenScratchPage(QAction* item);
    bool msd1CanClose(const QString& path);
    void tbpReReferDeleteClick();
    // The save and close commands for a given page (the page's own menu and close box).
    void SaveScratchPage(TFormRefPage* page);
    void CloseScratchPage(TFormRefPage* page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TEditTabBar;
    friend class TFormRefPage;
    QToolButton* toolButton(const QString& caption, int tag = 0);
    // Rebuilds a menu-bar menu from a pop-up menu (its items copied, the old ones dropped).
    void CloneMenuItems(QMenu* target, QMenu* source);
    void sendKey(TMyRichEdit* editor, int key, Qt::KeyboardModifiers modifiers);
    void repaintTabs();
    // The tabs, the caption and the save item after CurrentPage changed.
    void currentPageShown();
    bool ownsWindow(const QWidget* widget) const;
    QString pageName() const;
    // Searches for the dialog's find text with its match-case option.
    void SearchText(TFindDialog* dialog, bool down);
    // The dialog's find text, and when `replacing` its replacement, as the page holds characters;
    // nothing (the user told) when the rule refused one. The dialog then shows what is searched
    // for and put in.
    std::optional<TextSearch::Terms> AdmitSearchTexts(TFindDialog* dialog, bool replacing);
    void FindFromSelection(bool down);
    // The same change in the other destinations' descriptions, only from the description page.
    void ChangeOtherDescriptions(const std::function<QString(const QString&)>& change);
    QString scratchHistoryPath() const;
    bool readScratchHistory(QStringList& entries, QString* why = nullptr) const;
    QAction* scratchHistoryEntry(const QString& stored); // a menu entry, owned by tbpReRefer
    void SetUpScratchDialogs();
    bool writeScratchPage(TFormRefPage* page, const QString& path, QString* error);
    // Takes in a page for the file, with its text (none: a blank page) and its hold on the file.
    TFormRefPage* AddNewScratchPage(const QString& fileName, const QString* text, FileOps::FileHold&& hold);
    // The page's file after it was written there: its name and the hold on it.
    void pageWritten(TFormRefPage* page, const QString& path);
    // Makes the scratch folder again if it went while the program runs; false (the user told)
    // when it cannot be made.
    bool MakeScratchFolder();
    // Whether the file at the path, the page's own, holds other content than the page last read
    // or wrote there.
    bool PageFileChanged(const TFormRefPage* page, const QString& path) const;
    // Whether the page may write the file: asked, No by default, when PageFileChanged.
    bool MayReplacePageFile(TFormRefPage* page, const QString& path);
    // Puts the page's file on top of the history, or tells once why its name cannot go there.
    void RememberScratchPage(TFormRefPage* page);

    TEditTabBar* m_tabBar = nullptr;
    // The page the save dialog is naming a file for, so that its own file is no other page's.
    TFormRefPage* m_savingPage = nullptr;
    Host m_host;
    bool m_scratchHistoryFailureTold = false;
    ScratchHistoryChanges m_scratchHistoryChanges;
    bool m_dragging = false;
    // Where a scratch page's tab was pressed; far off while no tab is held.
    QPoint m_dragStart{-1000000, -1000000};
    // The dragged page's rectangle on the screen when its tab was pressed.
    QRect m_dragPageBounds;
    // The page whose tab was pressed: the one a drag carries, whichever page becomes current
    // meanwhile (a key may make another). Gone, or no longer a tab, the drag ends with nothing.
    QPointer<TFormRefPage> m_dragPage;
    int draggedTab() const;
};
