#pragma once

#include "DocumentFile.h"
#include "FileOps.h"

#include <QRect>
#include <QWidget>

class QAction;
class QMenu;
class QMenuBar;
class TMyRichEdit;
class TFormEditText;

// Deletes the claims killed programs left: empty files named as blank pages are, held by no page.
// Names are read as bytes, so one that is no UTF-8 is passed over, never misread.
void RemoveAbandonedClaims(const QString& folder);

// A scratch page: a page of plain text beside the description, docked as a tab of the
// description editor window or floating as a window of its own. The window owns it.
class TFormRefPage : public QWidget {
    Q_OBJECT

public:
    explicit TFormRefPage(TFormEditText* owner);

    TMyRichEdit* MyRichEdit1 = nullptr;
    // The menu bar shows only while the page floats; docked, the window's own menus serve.
    QMenuBar* MainMenu1 = nullptr;
    QMenu *mmFile = nullptr, *mmEdit = nullptr, *mmSearch = nullptr, *mmHyouji = nullptr;
    QAction *mmSaveAs = nullptr, *mmClose = nullptr;
    // The page number, 1 or more; -1 once the page is being closed.
    int Tag = 0;
    QString FileName;
    // The file as the page last read, made or wrote it: a save over a file changed since asks.
    DocumentFile FileContent{FileOps::ReadLimit::Text};
    FileOps::FileHold FileHold;
    // The name the user was told the history cannot hold, so that each save does not say it again.
    QString HistoryRefusalTold;
    // Where a floating page goes back to after the application was inactive.
    QRect FloatBounds;
    bool FirstShow = true;

    bool isFloating() const { return isWindow(); }

    // The first showing: caret at the start, no bookmarks, the text as the undo base.
    void FormShow();

protected:
    bool event(QEvent* event) override;
    // A menu key that matches no item closes the page's menu.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TFormEditText* m_owner;
};
