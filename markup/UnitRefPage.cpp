#include "UnitRefPage.h"

#include "MyRichEdit.h"
#include "UnitEditText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QVBoxLayout>

#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// "yyMMdd-HHmmss", maybe with "_2", "_3" ...
bool isBlankPageName(const char* name)
{
    for (int i = 0; i < 13; ++i)
        if (i == 6 ? name[i] != '-' : (name[i] < '0' || name[i] > '9'))
            return false;
    if (name[13] == '\0')
        return true;
    if (name[13] != '_' || name[14] == '\0')
        return false;
    for (const char* c = name + 14; *c; ++c)
        if (*c < '0' || *c > '9')
            return false;
    return true;
}

} // namespace

void RemoveAbandonedClaims(const QString& folder)
{
    FileOps::removeAbandonedClaims(folder, isBlankPageName);
}

TFormRefPage::TFormRefPage(TFormEditText* owner)
    : QWidget(nullptr)
    , m_owner(owner)
{
    setObjectName(u"FormRefPage"_s);
    setWindowTitle(u"テストの参照"_s);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    MyRichEdit1 = new TMyRichEdit(this);
    MyRichEdit1->setIndentLeft(12);
    MyRichEdit1->setIndentTop(0);
    MyRichEdit1->ShowStrColor = true;
    MyRichEdit1->setNumbering(true);
    MyRichEdit1->TestVersion = 0;
    MyRichEdit1->setUndoMax(20);
    MyRichEdit1->MaxLength = 999999999;
    MyRichEdit1->setAdmission(TMyRichEdit::TextFileAdmission());
    MyRichEdit1->setFrameShape(QFrame::NoFrame);
    layout->addWidget(MyRichEdit1);

    MainMenu1 = new QMenuBar(this);
    layout->setMenuBar(MainMenu1);
    mmFile = MainMenu1->addMenu(u"ファイル(&F)"_s);
    mmSaveAs = mmFile->addAction(u"ちょい置きを保存する"_s);
    mmFile->addSeparator();
    mmClose = mmFile->addAction(u"閉じる"_s);
    mmEdit = MainMenu1->addMenu(u"編集(&E)"_s);
    mmSearch = MainMenu1->addMenu(u"検索(&S)"_s);
    mmHyouji = MainMenu1->addMenu(u"表示(&V)"_s);
    mmEdit->addAction(QString());
    MainMenu1->setVisible(false);
    for (QMenu* menu : {mmFile, mmEdit, mmSearch, mmHyouji})
        menu->installEventFilter(this);
    if (owner) {
        connect(mmSaveAs, &QAction::triggered, this, [this] { m_owner->SaveScratchPage(this); });
        connect(mmClose, &QAction::triggered, this, &QWidget::close);
        connect(mmEdit, &QMenu::aboutToShow, this, [this] { m_owner->CloneMenuItems(mmEdit, m_owner->PopupMenu1); });
        connect(mmSearch, &QMenu::aboutToShow, this,
                [this] { m_owner->CloneMenuItems(mmSearch, m_owner->PopupMenu2); });
        connect(mmHyouji, &QMenu::aboutToShow, this, [this] { m_owner->CloneMenuItems(mmHyouji, m_owner->pmEdit); });
    }
    resize(761, 533);
}

void TFormRefPage::FormShow()
{
    if (!FirstShow)
        return;
    FirstShow = false;
    MyRichEdit1->setSelStart(0);
    MyRichEdit1->ResetBookmarks();
    MyRichEdit1->ResetTextUndo();
    MyRichEdit1->RecordTextUndoStep(TMyRichEdit::MousePress);
}

bool TFormRefPage::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange)
        MainMenu1->setVisible(isWindow());
    return QWidget::event(event);
}

void TFormRefPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TFormRefPage::closeEvent(QCloseEvent* event)
{
    // A floating page's close box closes it as the close command would, question included.
    if (isFloating() && Tag >= 0 && m_owner) {
        m_owner->CloseScratchPage(this);
        if (!m_owner->SaveProceeds) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

bool TFormRefPage::eventFilter(QObject* watched, QEvent* event)
{
    auto* menu = qobject_cast<QMenu*>(watched);
    if (!menu || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.isEmpty() || !text.front().isPrint() || text.front().isSpace()
        || (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))
        return false;
    const QKeySequence pressed(Qt::ALT | QKeySequence(text.toUpper())[0].key());
    for (const QAction* action : menu->actions())
        if (action->isVisible() && !action->isSeparator() && QKeySequence::mnemonic(action->text()) == pressed)
            return false;
    menu->close();
    MainMenu1->setActiveAction(nullptr);
    return true;
}

namespace {
// The windows a floating page's minimising took down with it, to come back with it.
std::vector<QPointer<QWidget>>& minimisedWithPage()
{
    static std::vector<QPointer<QWidget>> windows;
    return windows;
}
} // namespace

void TFormRefPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Minimising a floating page minimises the whole application, and bringing it back brings the
    // rest back.
    if (event->type() == QEvent::WindowStateChange && isWindow()) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        const bool was = change->oldState() & Qt::WindowMinimized, now = windowState() & Qt::WindowMinimized;
        if (now && !was) {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w != this && w->isVisible() && !w->isMinimized() && !qobject_cast<QMenu*>(w)
                    && (w->windowType() == Qt::Window || w->windowType() == Qt::Dialog)) {
                    minimisedWithPage().emplace_back(w);
                    w->showMinimized();
                }
        } else if (was && !now) {
            for (const QPointer<QWidget>& w : std::exchange(minimisedWithPage(), {}))
                if (w && w->isMinimized())
                    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
        }
    }
    if (event->type() == QEvent::ActivationChange && isWindow() && isActiveWindow() && m_owner)
        m_owner->RefPageActivated(this);
}

void TFormRefPage::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (isWindow() && isVisible() && m_owner)
        m_owner->RefPageMoved(this);
}
