#include "UnitEditText.h"

#include "ColourText.h"
#include "Cp932.h"
#include "FindDialog.h"
#include "HenkanJ.h"
#include "MyFileDialogs.h"
#include "MyRichEdit.h"
#include "PopupKeys.h"
#include "Prompter.h"
#include "TextSearch.h"
#include "UnitHanZenSettei.h"
#include "UnitRefPage.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const char* const TagProperty = "Tag";

// The spin box's own edit is the paste count's text; the box is its up-down.
class PasteRetBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;
    QLineEdit* edit() const { return lineEdit(); }
};

class PageControl : public QTabWidget {
public:
    PageControl(QTabBar* bar, QWidget* parent)
        : QTabWidget(parent)
    {
        setTabBar(bar);
    }
};

} // namespace

// The tab row draws its own labels (modified marks, the drop marker) and reports the mouse to
// the window, which decides about drags.
class TEditTabBar : public QTabBar {
public:
    explicit TEditTabBar(TFormEditText* window)
        : QTabBar(window)
        , m_window(window)
    {
    }

protected:
    QSize tabSizeHint(int index) const override
    {
        const QSize base = QTabBar::tabSizeHint(index);
        const int width = fontMetrics().horizontalAdvance(m_window->TabLabel(index) + u"MM"_s);
        return {std::max(base.width(), width), base.height()};
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        for (int i = 0; i < count(); ++i) {
            const QRect r = tabRect(i);
            p.fillRect(r.adjusted(0, 0, -1, 0), palette().button());
            p.setPen(palette().mid().color());
            p.drawRect(r.adjusted(0, 0, -1, -1));
            m_window->pcEditDrawTab(p, i, r, i == currentIndex());
        }
        const int mark = m_window->DropMarkTab;
        if (m_window->m_dragging && mark >= 1 && mark < count()) {
            const QRect r = tabRect(mark);
            const int x = mark <= m_window->draggedTab() ? r.left() + 1 : r.right() - 1;
            p.fillRect(QRect(x - 1, r.top(), 2, r.height()), Qt::black);
        }
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        const int index = tabAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && index >= 0)
            setCurrentIndex(index);
        m_window->pcEditMouseDown(event->button(), event->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (event->buttons() & Qt::LeftButton)
            m_window->pcEditDragOver(event->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_window->pcEditEndDrag(event->globalPosition().toPoint());
    }

private:
    TFormEditText* m_window;
};

TFormEditText::TFormEditText(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormEditText"_s);
    setWindowTitle(u"「説明文」の編集"_s);
    QFont f(u"ＭＳ ゴシック"_s);
    f.setPixelSize(16);
    setFont(f);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 4);

    // Pop-up menus first: the tool bar and the menu bar are bound to their commands.
    const auto item = [this](QMenu* menu, const QString& caption, const QKeySequence& key, auto handler) {
        QAction* a = menu->addAction(caption);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetShortcut); // a shortcut only where a menu-bar copy holds it
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    PopupMenu1 = new QMenu(this);
    pmUndo = item(PopupMenu1, u"元に戻す (&Z)"_s, QKeySequence(u"Ctrl+Z"_s), &TFormEditText::pmUndoClick);
    pmRedo = item(PopupMenu1, u"先に戻す (&Y)"_s, QKeySequence(u"Shift+Ctrl+Z"_s), &TFormEditText::pmRedoClick);
    PopupMenu1->addSeparator();
    pmCut = item(PopupMenu1, u"切り取り (&X)"_s, QKeySequence(u"Ctrl+X"_s), &TFormEditText::pmCutClick);
    pmCopy = item(PopupMenu1, u"コピー (&C)"_s, QKeySequence(u"Ctrl+C"_s), &TFormEditText::pmCopyClick);
    pmPaste = item(PopupMenu1, u"貼り付け (&V)"_s, QKeySequence(u"Ctrl+V"_s), &TFormEditText::pmPasteClick);
    pmDelete = item(PopupMenu1, u"削除(&D)  Delete"_s, {}, &TFormEditText::pmDeleteClick);
    pmSelectAll = item(PopupMenu1, u"すべて選択 (&A)"_s, QKeySequence(u"Ctrl+A"_s), &TFormEditText::pmSelectAllClick);
    PopupMenu1->addSeparator();
    Home1 = item(PopupMenu1, u"行頭 Home"_s, {}, &TFormEditText::Home1Click);
    End1 = item(PopupMenu1, u"行末 End"_s, {}, &TFormEditText::End1Click);
    PopupMenu1->addSeparator();
    Enter1 = item(PopupMenu1, u"改行 Enter"_s, {}, &TFormEditText::Enter1Click);
    BS1 = item(PopupMenu1, u"ﾊﾞｯｸｽﾍﾟｰｽ BS"_s, {}, &TFormEditText::BS1Click);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TFormEditText::PopupMenu1Popup);

    PopupMenu2 = new QMenu(this);
    Find1 = item(PopupMenu2, u"検索(&F)"_s, QKeySequence(u"Ctrl+F"_s), &TFormEditText::Find1Click);
    Prev1 = item(PopupMenu2, u"上へ検索(&U)"_s, QKeySequence(Qt::Key_F5), &TFormEditText::Prev1Click);
    Next1 = item(PopupMenu2, u"下へ検索(&D)"_s, QKeySequence(Qt::Key_F6), &TFormEditText::Next1Click);
    PopupMenu2->addSeparator();
    Replace1 = item(PopupMenu2, u"置換(&R)"_s, QKeySequence(u"Ctrl+R"_s), &TFormEditText::Replace1Click);
    PopupMenu2->addSeparator();
    mmRepZenToHan =
        item(PopupMenu2, u"全角→半角変換 (&H)"_s, QKeySequence(u"Ctrl+H"_s), [this] { mmRepZenToHanClick(0); });
    mmRepZenToHan->setProperty(TagProperty, 0);
    mmRepHanToZen =
        item(PopupMenu2, u"半角→全角変換 (&Z)"_s, QKeySequence(u"Shift+Ctrl+H"_s), [this] { mmRepZenToHanClick(1); });
    mmRepHanToZen->setProperty(TagProperty, 1);
    mmRepHanZenSettei = item(PopupMenu2, u"全角・半角変換の設定 (&T)"_s, {}, &TFormEditText::mmRepHanZenSetteiClick);

    PopupMenu3 = new QMenu(this);
    Wrap1 = item(PopupMenu3, u"右端で折り返す(&W)"_s, {}, &TFormEditText::Wrap1Click);
    Wrap1->setCheckable(true);
    Wrap1->setChecked(true);
    Font1 = item(PopupMenu3, u"フォント(&F)"_s, {}, &TFormEditText::Font1Click);

    pmEdit = new QMenu(this);
    miOrikaesi = item(pmEdit, u"右端で折り返す (&W)"_s, {}, &TFormEditText::Wrap1Click);
    miFont = item(pmEdit, u"フォント (&F)"_s, {}, &TFormEditText::Font1Click);
    pmEdit->addSeparator();
    miToLeft = item(pmEdit, u"ページを左へ移動 (&L)"_s, {}, &TFormEditText::miToLeftClick);
    miToRight = item(pmEdit, u"ページを右へ移動 (&R)"_s, {}, &TFormEditText::miToRightClick);
    pmEdit->addSeparator();
    miClose = item(pmEdit, u"閉じる (&X)"_s, {}, &TFormEditText::miCloseClick);
    tbpReRefer = new QMenu(this);

    MainMenu1 = new QMenuBar(this);
    layout->setMenuBar(MainMenu1);
    mmFile = MainMenu1->addMenu(u"ファイル(&F)"_s);
    Close1 = mmFile->addAction(u"閉じる - OK(&X)"_s);
    Close1->setShortcut(QKeySequence(Qt::Key_F4));
    connect(Close1, &QAction::triggered, this, &TFormEditText::btOKClick);
    Q1 = mmFile->addAction(u"閉じる - ｷｬﾝｾﾙ(&Q)"_s);
    Q1->setShortcut(QKeySequence(Qt::Key_F8));
    Q1->setVisible(false);
    connect(Q1, &QAction::triggered, this, &TFormEditText::btCancelClick);
    // Qt gives a hidden item's shortcut no effect; the window carries it instead.
    connect(new QShortcut(Q1->shortcut(), this), &QShortcut::activated, Q1, &QAction::trigger);
    mmEdit = MainMenu1->addMenu(u"編集(&E)"_s);
    mmSearch = MainMenu1->addMenu(u"検索(&S)"_s);
    mmHyouji = MainMenu1->addMenu(u"表示(&V)"_s);
    for (QMenu* m : {mmEdit, mmSearch, mmHyouji})
        m->addAction(QString());
    connect(mmEdit, &QMenu::aboutToShow, this, [this] {
        PopupMenu1Popup();
        CloneMenuItems(mmEdit, PopupMenu1);
    });
    connect(mmSearch, &QMenu::aboutToShow, this, [this] { CloneMenuItems(mmSearch, PopupMenu2); });
    connect(mmHyouji, &QMenu::aboutToShow, this, [this] { CloneMenuItems(mmHyouji, pmEdit); });
    mmRefer = MainMenu1->addMenu(u"ちょい置き(&M)"_s);
    Refer1 = mmRefer->addAction(u"ちょい置きとして開く(&O)"_s);
    Refer1->setShortcut(QKeySequence(u"Ctrl+O"_s));
    connect(Refer1, &QAction::triggered, this, &TFormEditText::Refer1Click);
    Blank1 = mmRefer->addAction(u"白紙ページ(&W)"_s);
    Blank1->setShortcut(QKeySequence(u"Ctrl+W"_s));
    connect(Blank1, &QAction::triggered, this, &TFormEditText::Blank1Click);
    ReRefer1 = tbpReRefer;
    ReRefer1->setTitle(u"開き直す(&P)"_s);
    QAction* reRefer = mmRefer->addMenu(ReRefer1);
    reRefer->setShortcut(QKeySequence(u"Ctrl+P"_s));
    mmRefer->addSeparator();
    ReferSave1 = mmRefer->addAction(u"ちょい置きを保存する(&S)"_s);
    ReferSave1->setShortcut(QKeySequence(u"Ctrl+S"_s));
    connect(ReferSave1, &QAction::triggered, this, &TFormEditText::ReferSave1Click);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setFont(QApplication::font());
    // Every button and the paste count fit the window's width, as on the system's tool bar.
    ToolBar1->layout()->setSpacing(1);
    layout->addWidget(ToolBar1);
    tbtFind = toolButton(u"検索"_s);
    tbtFindPrev = toolButton(u"↑"_s);
    tbtFindNext = toolButton(u"↓"_s);
    tbtReplace = toolButton(u"置換"_s);
    connect(tbtFind, &QToolButton::clicked, this, &TFormEditText::Find1Click);
    connect(tbtFindPrev, &QToolButton::clicked, this, &TFormEditText::Prev1Click);
    connect(tbtFindNext, &QToolButton::clicked, this, &TFormEditText::Next1Click);
    connect(tbtReplace, &QToolButton::clicked, this, &TFormEditText::Replace1Click);
    ToolBar1->addSeparator();
    sbBG = toolButton(u"<bg>"_s);
    connect(sbBG, &QToolButton::clicked, this, &TFormEditText::bbBGClick);
    QToolButton** tags[] = {&sbR1, &sbR2, &sbG1, &sbG2, &sbB1, &sbB2, &sbW1, &sbW2, &sbU1, &sbU2};
    const char16_t* tagCaptions[] = {u"<r>",  u"</r>", u"<g>",  u"</g>", u"<b>",
                                     u"</b>", u"<w>",  u"</w>", u"<u>",  u"</u>"};
    for (int i = 0; i < 10; ++i) {
        QToolButton* b = *tags[i] = toolButton(QString::fromUtf16(tagCaptions[i]), 11 + i);
        b->setObjectName(u"sb"_s + u"RRGGBBWWUU"_s[i] + QString::number(i % 2 + 1));
        connect(b, &QToolButton::clicked, this, [this, b] { bbR1Click(b); });
    }
    ToolBar1->addSeparator();
    sbHome = toolButton(u"Home"_s);
    sbEnd = toolButton(u"End"_s);
    sbEnter = toolButton(u"Enter"_s);
    sbBS = toolButton(u"BS"_s);
    connect(sbHome, &QToolButton::clicked, this, &TFormEditText::Home1Click);
    connect(sbEnd, &QToolButton::clicked, this, &TFormEditText::End1Click);
    connect(sbEnter, &QToolButton::clicked, this, &TFormEditText::Enter1Click);
    connect(sbBS, &QToolButton::clicked, this, &TFormEditText::BS1Click);
    ToolBar1->addSeparator();
    lbPasteRet = new QLabel(u"貼り付け時に改行"_s, this);
    ToolBar1->addWidget(lbPasteRet);
    auto* box = new PasteRetBox(this);
    box->setRange(0, 99);
    box->setValue(0);
    udPasteRet = box;
    edPasteRet = box->edit();
    ToolBar1->addWidget(udPasteRet);

    m_tabBar = new TEditTabBar(this);
    pcEdit = new PageControl(m_tabBar, this);
    QFont tabFont(u"ＭＳ ゴシック"_s);
    tabFont.setPixelSize(13);
    m_tabBar->setFont(tabFont);
    TabSheet1 = new QWidget;
    auto* sheet = new QVBoxLayout(TabSheet1);
    sheet->setContentsMargins(0, 0, 0, 0);
    MyRichEdit1 = new TMyRichEdit(TabSheet1);
    QFont editFont(u"ＭＳ Ｐゴシック"_s);
    editFont.setPixelSize(16);
    MyRichEdit1->setFont(editFont);
    DialogFont = editFont;
    MyRichEdit1->setIndentLeft(10);
    MyRichEdit1->setIndentTop(0);
    MyRichEdit1->setUndoMax(21);
    MyRichEdit1->setSioriMax(3);
    sheet->addWidget(MyRichEdit1);
    pcEdit->addTab(TabSheet1, u" 編集中の説明文 "_s);
    layout->addWidget(pcEdit, 1);
    connect(pcEdit, &QTabWidget::currentChanged, this, [this] { pcEditChange(); });

    auto* buttons = new QHBoxLayout;
    btOK = new QPushButton(u"OK"_s, this);
    btCancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);
    for (QPushButton* b : {btOK, btCancel}) {
        b->setAutoDefault(false);
        b->setFont(QApplication::font());
    }
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    layout->addLayout(buttons);
    connect(btOK, &QPushButton::clicked, this, &TFormEditText::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TFormEditText::btCancelClick);

    MyRichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(MyRichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->exec(MyRichEdit1->mapToGlobal(p)); });
    connect(MyRichEdit1, &QPlainTextEdit::textChanged, this, &TFormEditText::repaintTabs);

    FindDialog1 = new TFindDialog(false, this);
    ReplaceDialog1 = new TFindDialog(true, this);
    connect(FindDialog1, &TFindDialog::find, this, &TFormEditText::FindDialog1Find);
    connect(ReplaceDialog1, &TFindDialog::find, this, &TFormEditText::ReplaceDialog1Find);
    connect(ReplaceDialog1, &TFindDialog::replace, this, &TFormEditText::ReplaceDialog1Replace);

    resize(878, 581);
    FormCreate();
}

TFormEditText::~TFormEditText()
{
    // Pages go from the last to the first; a docked page is a child of the tab row and must
    // leave it before it is freed here.
    while (!ScratchPages.empty()) {
        ScratchPages.back()->setParent(nullptr);
        ScratchPages.pop_back();
    }
}

QToolButton* TFormEditText::toolButton(const QString& caption, int tag)
{
    auto* b = new QToolButton(this);
    b->setText(caption);
    b->setProperty(TagProperty, tag);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedWidth(QFontMetrics(ToolBar1->font()).horizontalAdvance(caption) + 8);
    ToolBar1->addWidget(b);
    return b;
}

void TFormEditText::FormCreate()
{
    const QString find = u"指定した文字列を検索します。"_s;
    const QString prev =
        u"【範囲選択あり】範囲選択している文字列を前方に検索します。【範囲選択なし】前回検索した文字列を検索します。"_s;
    const QString next =
        u"【範囲選択あり】範囲選択している文字列を後方に検索します。【範囲選択なし】前回検索した文字列を検索します。"_s;
    const QString replace = u"【範囲選択あり】範囲選択されている文字列を検索して，別の文字列に置換します。"_s
                            u"【範囲選択なし】検索する文字列を指定して，別の文字列に置換します。"_s;
    Find1->setStatusTip(find);
    tbtFind->setStatusTip(find);
    Prev1->setStatusTip(prev);
    tbtFindPrev->setStatusTip(prev);
    Next1->setStatusTip(next);
    tbtFindNext->setStatusTip(next);
    Replace1->setStatusTip(replace);
    tbtReplace->setStatusTip(replace);
    const std::pair<QAction*, QToolButton*> keys[] = {{Home1, sbHome}, {End1, sbEnd}, {Enter1, sbEnter}, {BS1, sbBS}};
    const char16_t* keyNames[] = {u"<Home>", u"<End>", u"<Enter>", u"<Back Space>"};
    for (int i = 0; i < 4; ++i) {
        const QString hint = QString::fromUtf16(keyNames[i]) + u"キーを入力します。"_s;
        keys[i].first->setStatusTip(hint);
        keys[i].second->setStatusTip(hint);
    }
    edPasteRet->setStatusTip(u"［貼り付け］実行時に改行を付けたします。"_s);
    udPasteRet->setStatusTip(edPasteRet->statusTip());
    SetUpScratchDialogs();
    PageCounter = 0;
    FloatingPageCurrent = false;
    CurrentPage = nullptr;
    ReferSave1->setEnabled(false);
    FirstShow = true;
    FindDialog1->setDown(true);
    FindDialog1->setMatchCase(true);
    ReplaceDialog1->setMatchCase(true);
}

void TFormEditText::SetHost(const Host& host)
{
    const bool newHistory = host.settingsFolder != m_host.settingsFolder;
    const bool newScratchFolder = host.scratchFolder != m_host.scratchFolder;
    m_host = host;
    if (newHistory)
        LoadScratchHistory();
    // Blank pages of a killed program left their empty files.
    if (newScratchFolder && !host.scratchFolder.isEmpty())
        RemoveAbandonedClaims(host.scratchFolder);
    for (QToolButton* b : {sbBG, sbR1, sbR2, sbG1, sbG2, sbB1, sbB2, sbW1, sbW2, sbU1, sbU2}) {
        const QString name = b == sbBG ? u"bbBG"_s : u"bb"_s + b->objectName().mid(2);
        b->setStatusTip(host.tagHints.value(name));
    }
    if (host.replaceFlags) {
        ReplaceDialog1->setMatchCase(*host.replaceFlags & 1);
        ReplaceDialog1->setWholeWord(*host.replaceFlags & 2);
    }
    if (host.findFlags)
        FindDialog1->setMatchCase(*host.findFlags & 1);
}

int TFormEditText::ShowModal()
{
    FormShow();
    return Prompter::backend().execModal(*this);
}

TMyRichEdit* TFormEditText::CurrentEditor() const
{
    return CurrentPage ? CurrentPage->MyRichEdit1 : MyRichEdit1;
}

void TFormEditText::FormShow()
{
    if (FirstShow) {
        FirstShow = false;
        if (m_host.descriptionFont != QFont())
            DialogFont = m_host.descriptionFont;
        MyRichEdit1->setFont(DialogFont);
        if (QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    if (pcEdit->currentWidget() == TabSheet1)
        MyRichEdit1->setFocus();
    else
        CurrentEditor()->setFocus();
}

void TFormEditText::FormActivate()
{
    ShowFloatingPages();
}

void TFormEditText::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The window sees keys before its controls, its floating pages' keys included.
    qApp->installEventFilter(this);
}

void TFormEditText::hideEvent(QHideEvent* event)
{
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
}

void TFormEditText::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void TFormEditText::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    MyRichEdit1->viewport()->update();
    repaintTabs();
}

bool TFormEditText::ownsWindow(const QWidget* widget) const
{
    if (!widget)
        return false;
    const QWidget* w = widget->window();
    if (w == this)
        return true;
    for (const auto& page : ScratchPages)
        if (w == page.get())
            return true;
    return false;
}

bool TFormEditText::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress) {
        // A click into a page's text, its gutter included, makes that page the one the commands
        // act on.
        for (auto* w = qobject_cast<QWidget*>(watched); w && !w->isWindow(); w = w->parentWidget())
            if (auto* editor = qobject_cast<TMyRichEdit*>(w)) {
                EditorTakesCommands(editor);
                break;
            }
        return QDialog::eventFilter(watched, event);
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QDialog::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    // Each key arrives once for every widget it passes; only its first stop is the form's.
    QWidget* focus = QApplication::focusWidget();
    if (!widget || !ownsWindow(widget) || (widget != focus && !widget->isWindow()))
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::KeyRelease) {
        SuppressKeyPress = false;
        return false;
    }
    if (PopupKeys::forPopup(widget))
        return false;
    // Escape while a tab is held ends the drag, and only the drag.
    if (key->key() == Qt::Key_Escape && m_dragStart.x() > -100000) {
        m_dragging = false;
        m_dragStart = QPoint(-1000000, -1000000);
        m_dragPage = nullptr;
        DropMarkTab = -1;
        m_tabBar->update();
        return true;
    }
    // A key acts on the page it is typed in, whichever page the tab row or the last activation
    // made current.
    if (auto* editor = qobject_cast<TMyRichEdit*>(widget))
        EditorTakesCommands(editor);
    // One table decides the command keys from the first press, whatever menu was opened: the
    // menu-bar copies only show the keys. A key of a menu-bar item goes to that item first, so
    // Ctrl+R replaces and Ctrl+F finds; a box that takes the key for its own editing (the paste
    // count's Ctrl+V) keeps it, as Qt lets it keep a shortcut.
    if (QAction* command = CommandOfKey(key->keyCombination()); command && !TakesKeyItself(widget, *key)) {
        // The handler decides from the editor as it is now; a pop-up's enabled states are only
        // what it showed last.
        emit command->triggered(command->isChecked());
        return true;
    }
    // The window's own keys (tags, Esc, F4) are the window's: a floating page is a window of its
    // own, with its own menus.
    if (widget->window() == this && FormKeyDown(key->key(), key->modifiers()))
        return true;
    if (SuppressKeyPress && !key->text().isEmpty())
        return true;
    return false;
}

QAction* TFormEditText::CommandOfKey(QKeyCombination pressed) const
{
    const QKeySequence sequence(pressed);
    for (const QMenu* menu : {PopupMenu1, PopupMenu2, pmEdit})
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && !a->shortcut().isEmpty() && a->shortcut() == sequence)
                return a;
    return nullptr;
}

bool TFormEditText::TakesKeyItself(QWidget* widget, const QKeyEvent& key)
{
    // Asked as Qt asks before any shortcut runs.
    QKeyEvent probe(QEvent::ShortcutOverride, key.key(), key.modifiers(), key.text(), key.isAutoRepeat(), key.count());
    probe.ignore();
    QCoreApplication::sendEvent(widget, &probe);
    return probe.isAccepted();
}

bool TFormEditText::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier) {
        const bool shift = modifiers & Qt::ShiftModifier;
        QToolButton* button = nullptr;
        switch (key) {
        case Qt::Key_R:
            button = shift ? sbR2 : sbR1;
            break;
        case Qt::Key_G:
            button = shift ? sbG2 : sbG1;
            break;
        case Qt::Key_B:
            button = shift ? sbB2 : sbB1;
            break;
        case Qt::Key_W:
            button = shift ? sbW2 : sbW1;
            break;
        case Qt::Key_U:
            button = shift ? sbU2 : sbU1;
            break;
        case Qt::Key_F:
            button = sbBG;
            break;
        default:
            return false;
        }
        button->click();
        SuppressKeyPress = true;
        return true;
    }
    if (key == Qt::Key_Escape) {
        btCancelClick();
        return true;
    }
    if (key == Qt::Key_F4) {
        btOKClick();
        return true;
    }
    return false;
}

void TFormEditText::btOKClick()
{
    done(Accepted);
}

void TFormEditText::btCancelClick()
{
    done(Rejected);
}

void TFormEditText::done(int result)
{
    if (!FormClose(result))
        return;
    QDialog::done(result);
}

bool TFormEditText::FormClose(int modalResult)
{
    // The question comes first, so that No leaves the dialogs and the floating pages as they are.
    if (modalResult != Accepted && MyRichEdit1->IsTextModified()) {
        const QString question =
            pcEdit->tabText(0) + u" は変更されています。\r\n\r\n"_s + u"変更した内容を破棄してもいいですか。"_s;
        if (Prompter::ask(this, question, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
            return false;
    }
    FindDialog1->close();
    ReplaceDialog1->close();
    HideFloatingPages();
    if (m_host.replaceFlags)
        *m_host.replaceFlags = quint8((ReplaceDialog1->MatchCase() ? 1 : 0) + (ReplaceDialog1->WholeWord() ? 2 : 0));
    if (m_host.findFlags)
        *m_host.findFlags = FindDialog1->MatchCase() ? 1 : 0;
    if (m_host.optionsChanged)
        m_host.optionsChanged();
    return true;
}

// Menus

void TFormEditText::CloneMenuItems(QMenu* target, QMenu* source)
{
    const QList<QAction*> old = target->actions();
    const std::function<void(QMenu*, QMenu*)> copy = [&](QMenu* to, QMenu* from) {
        for (QAction* a : from->actions()) {
            if (a->isSeparator()) {
                to->addSeparator();
                continue;
            }
            QAction* c = nullptr;
            if (QMenu* sub = a->menu()) {
                QMenu* subCopy = to->addMenu(a->text());
                copy(subCopy, sub);
                c = subCopy->menuAction();
            } else {
                c = to->addAction(a->icon(), a->text());
                // The copy runs the original's handler; a check the handler toggles stays on the original.
                connect(c, &QAction::triggered, a, [a] { a->trigger(); });
            }
            c->setCheckable(a->isCheckable());
            c->setChecked(a->isChecked());
            c->setEnabled(a->isEnabled());
            c->setStatusTip(a->statusTip());
            c->setShortcut(a->shortcut());
            // Only shown: the window's key table runs the command, opened menu or not.
            c->setShortcutContext(Qt::WidgetShortcut);
            c->setVisible(a->isVisible());
            c->setProperty(TagProperty, a->property(TagProperty));
        }
    };
    copy(target, source);
    if (source->actions().isEmpty())
        return;
    for (QAction* a : old) {
        target->removeAction(a);
        if (QMenu* sub = a->menu())
            sub->deleteLater();
        if (a->parent() == target)
            a->deleteLater();
    }
}

void TFormEditText::PopupMenu1Popup()
{
    const TMyRichEdit* editor = CurrentEditor();
    const bool selection = editor->SelLength() > 0;
    pmCut->setEnabled(selection);
    pmCopy->setEnabled(selection);
    pmDelete->setEnabled(selection);
    pmPaste->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    pmSelectAll->setEnabled(editor->TextLength() > 0);
}

// Editing commands, on the current page's editor

void TFormEditText::pmUndoClick()
{
    CurrentEditor()->UndoText();
    repaintTabs();
}

void TFormEditText::pmRedoClick()
{
    CurrentEditor()->RedoText();
    repaintTabs();
}

void TFormEditText::pmCutClick()
{
    if (CurrentEditor()->SelLength() > 0)
        CurrentEditor()->cut();
}

void TFormEditText::pmCopyClick()
{
    if (CurrentEditor()->SelLength() > 0)
        CurrentEditor()->copy();
}

void TFormEditText::pmPasteClick()
{
    QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    bool ok = false;
    const int breaks = std::max(0, edPasteRet->text().toInt(&ok));
    // The page's own rule decides a TAB: a blank in a description, kept in a text file.
    text += u"\r\n"_s.repeated(ok ? breaks : 0);
    CurrentEditor()->setSelText(text);
}

void TFormEditText::sendKey(TMyRichEdit* editor, int key, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(editor, &press);
    QCoreApplication::sendEvent(editor, &release);
}

void TFormEditText::pmDeleteClick()
{
    sendKey(CurrentEditor(), Qt::Key_Delete, Qt::NoModifier);
}

void TFormEditText::pmSelectAllClick()
{
    CurrentEditor()->SelectAll();
}

void TFormEditText::Home1Click()
{
    CurrentEditor()->setFocus();
    sendKey(CurrentEditor(), Qt::Key_Home, Qt::ShiftModifier);
}

void TFormEditText::End1Click()
{
    CurrentEditor()->setFocus();
    sendKey(CurrentEditor(), Qt::Key_End, Qt::ShiftModifier);
}

void TFormEditText::Enter1Click()
{
    CurrentEditor()->setFocus();
    sendKey(CurrentEditor(), Qt::Key_Return, Qt::NoModifier);
}

void TFormEditText::BS1Click()
{
    CurrentEditor()->setFocus();
    sendKey(CurrentEditor(), Qt::Key_Backspace, Qt::NoModifier);
}

void TFormEditText::bbR1Click(QToolButton* sender)
{
    TMyRichEdit* editor = CurrentEditor();
    const int tag = sender->property(TagProperty).toInt();
    if (editor->SelLength() == 0 || tag < 1) {
        editor->setSelText(sender->text());
    } else {
        const int partnerTag = tag % 2 ? tag + 1 : tag - 1;
        QString partner;
        for (QObject* child : ToolBar1->children())
            if (auto* b = qobject_cast<QToolButton*>(child); b && b->property(TagProperty).toInt() == partnerTag) {
                partner = b->text();
                break;
            }
        const QString opening = tag % 2 ? sender->text() : partner;
        const QString closing = tag % 2 ? partner : sender->text();
        editor->setSelText(opening + editor->SelText() + closing);
    }
    editor->setFocus();
}

void TFormEditText::bbBGClick()
{
    const auto colour = Prompter::backend().colourDialog(this, Qt::white);
    if (!colour)
        return;
    // Six digits of the toolkit value: blue, green, red.
    const ColourText::TColor value = ColourText::fromQColor(*colour);
    CurrentEditor()->setSelText(u"<bg="_s + u"%1"_s.arg(quint32(value) & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper()
                                + u'>');
    CurrentEditor()->setFocus();
}

void TFormEditText::Wrap1Click()
{
    // The pop-up item toggles its own check; the tab-row item asks for the same toggle.
    if (sender() != Wrap1)
        Wrap1->setChecked(!Wrap1->isChecked());
    TMyRichEdit* editor = CurrentEditor();
    editor->setUpdatesEnabled(false);
    const int start = editor->SelStart(), length = editor->SelLength();
    editor->setSelStart(start);
    editor->setLineWrapMode(Wrap1->isChecked() ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    editor->setSelStart(start);
    editor->setSelLength(length);
    editor->setUpdatesEnabled(true);
}

QString TFormEditText::pageName() const
{
    return CurrentPage ? CurrentPage->windowTitle() : pcEdit->tabText(0);
}

void TFormEditText::Font1Click()
{
    // Made at its first use: building Qt's font dialog reads every font of the system.
    if (!FontDialog1)
        FontDialog1 = std::make_unique<QFontDialog>(DialogFont);
    FontDialog1->setWindowTitle(pageName() + u"のフォント"_s);
    FontDialog1->setCurrentFont(CurrentEditor()->font());
    if (Prompter::backend().execModal(*FontDialog1) == Accepted) {
        DialogFont = FontDialog1->selectedFont();
        CurrentEditor()->setFont(DialogFont);
    }
}

// Pages and tabs

TFormRefPage* TFormEditText::TabPage(int index) const
{
    return index > 0 ? qobject_cast<TFormRefPage*>(pcEdit->widget(index)) : nullptr;
}

TMyRichEdit* TFormEditText::TabEditor(int index) const
{
    if (index == 0)
        return MyRichEdit1;
    TFormRefPage* page = TabPage(index);
    return page ? page->MyRichEdit1 : nullptr;
}

QString TFormEditText::TabLabel(int index) const
{
    QString label = pcEdit->tabText(index);
    if (const TMyRichEdit* editor = TabEditor(index); editor && editor->IsTextModified()) {
        while (label.endsWith(u' '))
            label.chop(1);
        label += u'*';
    }
    return label;
}

void TFormEditText::pcEditDrawTab(QPainter& painter, int index, const QRect& rect, bool active) const
{
    const QString label = TabLabel(index);
    QFont f = m_tabBar->font();
    const bool highlight = active && !FloatingPageCurrent;
    f.setBold(highlight);
    painter.setFont(f);
    const QFontMetrics fm(f);
    const int width = fm.horizontalAdvance(label + u'M'), height = fm.height();
    const int x = (rect.left() + rect.right() - width) / 2;
    const int y = (rect.top() + rect.bottom() - height) / 2 + (active ? 0 : 2);
    painter.save();
    painter.setClipRect(rect);
    if (highlight) {
        painter.fillRect(rect.adjusted(1, 1, -1, -1), palette().highlight());
        painter.setPen(palette().highlightedText().color());
    } else {
        painter.setPen(palette().windowText().color());
    }
    painter.drawText(QPoint(x, y + fm.ascent()), label);
    painter.restore();
}

void TFormEditText::repaintTabs()
{
    m_tabBar->updateGeometry();
    m_tabBar->update();
}

void TFormEditText::pcEditChange()
{
    const int index = pcEdit->currentIndex();
    TFormRefPage* page = TabPage(index);
    CurrentPage = page;
    CurrentEditor()->setFocus();
    FloatingPageCurrent = false;
    currentPageShown();
}

void TFormEditText::currentPageShown()
{
    repaintTabs();
    if (CurrentPage)
        UpdateEditorCaption(CurrentPage->FileName);
    else
        setWindowTitle(u"マップエディタ"_s);
    ReferSave1->setEnabled(CurrentPage && CurrentPage->Tag != 0);
}

void TFormEditText::pcEditMouseDown(Qt::MouseButton button, const QPoint& pos)
{
    if (button == Qt::LeftButton) {
        m_dragging = false;
        m_dragPage = TabPage(pcEdit->currentIndex());
        if (m_dragPage) {
            m_dragStart = pos;
            DropMarkTab = -1;
            m_dragPageBounds = QRect(m_dragPage->mapToGlobal(QPoint(0, 0)), m_dragPage->size());
        } else {
            m_dragStart = QPoint(-1000000, -1000000);
        }
        pcEditChange();
    } else if (button == Qt::RightButton && pcEdit->currentIndex() > 0) {
        pmEdit->popup(m_tabBar->mapToGlobal(pos + QPoint(0, 12)));
    }
}

int TFormEditText::draggedTab() const
{
    const int index = m_dragPage ? pcEdit->indexOf(m_dragPage) : -1;
    return index > 0 ? index : -1;
}

void TFormEditText::pcEditDragOver(const QPoint& pos)
{
    if (m_dragStart.x() < -100000 || draggedTab() < 1)
        return;
    if (!m_dragging && (pos - m_dragStart).manhattanLength() < 20)
        return;
    m_dragging = true;
    for (int i = 1; i < pcEdit->count(); ++i)
        if (m_tabBar->tabRect(i).contains(pos)) {
            if (i != DropMarkTab)
                DropMarkTab = i;
            m_tabBar->update();
            return;
        }
}

void TFormEditText::pcEditDragDrop(const QPoint& pos)
{
    const int dragged = draggedTab();
    for (int i = 1; i < pcEdit->count(); ++i)
        if (m_tabBar->tabRect(i).contains(pos)) {
            if (i != dragged && dragged > 0)
                m_tabBar->moveTab(dragged, i);
            break;
        }
    m_dragging = false;
    m_dragPage = nullptr;
    DropMarkTab = -1;
    pcEditChange();
}

void TFormEditText::pcEditEndDrag(const QPoint& globalPos)
{
    const bool dragging = m_dragging && draggedTab() > 0;
    const QPoint start = m_dragStart;
    m_dragging = false;
    m_dragStart = QPoint(-1000000, -1000000);
    if (!dragging) {
        m_dragPage = nullptr;
        DropMarkTab = -1;
        m_tabBar->update();
        return;
    }
    const QPoint pos = m_tabBar->mapFromGlobal(globalPos);
    // A drop outside the window lets the page float there; inside the tab row it moves the tab.
    if (!rect().contains(mapFromGlobal(globalPos))) {
        TFormRefPage* page = std::exchange(m_dragPage, nullptr);
        DropMarkTab = -1;
        const QScreen* at = QGuiApplication::screenAt(globalPos);
        if (!at)
            at = screen();
        // The window's own frame stands for the one the page will get.
        const QRect frame = frameGeometry(), client = geometry();
        const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                               frame.bottom() - client.bottom());
        floatPage(page, DraggedOutBounds(m_dragPageBounds, m_tabBar->mapToGlobal(start), globalPos,
                                         at ? at->availableGeometry() : QRect(globalPos, page->size()), margins));
        return;
    }
    pcEditDragDrop(pos);
}

QRect TFormEditText::DraggedOutBounds(const QRect& pageAtPress, const QPoint& press, const QPoint& release,
                                      const QRect& screen, const QMargins& frame)
{
    QRect r = pageAtPress.translated(release - press);
    const QRect room = screen.marginsRemoved(frame);
    r.setSize(r.size().boundedTo(room.size()).expandedTo(QSize(1, 1)));
    r.moveLeft(std::max(room.left(), std::min(r.left(), room.right() + 1 - r.width())));
    r.moveTop(std::max(room.top(), std::min(r.top(), room.bottom() + 1 - r.height())));
    return r;
}

void TFormEditText::miToLeftClick()
{
    const int i = pcEdit->currentIndex();
    if (i >= 2)
        m_tabBar->moveTab(i, i - 1);
    pcEditChange();
}

void TFormEditText::miToRightClick()
{
    const int i = pcEdit->currentIndex();
    if (i >= 1 && i < pcEdit->count() - 1)
        m_tabBar->moveTab(i, i + 1);
    pcEditChange();
}

TFormRefPage* TFormEditText::AddScratchPage(std::unique_ptr<TFormRefPage> page)
{
    TFormRefPage* p = page.get();
    ScratchPages.push_back(std::move(page));
    p->MyRichEdit1->setLineWrapMode(Wrap1->isChecked() ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    p->MyRichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(p->MyRichEdit1, &QWidget::customContextMenuRequested, this,
            [this, p](const QPoint& at) { PopupMenu1->exec(p->MyRichEdit1->mapToGlobal(at)); });
    connect(p->MyRichEdit1, &QPlainTextEdit::textChanged, this, &TFormEditText::repaintTabs);
    const int at = pcEdit->currentIndex() + 1;
    pcEdit->insertTab(at, p, p->windowTitle());
    pcEdit->setCurrentIndex(at);
    pcEditChange();
    return p;
}

void TFormEditText::floatPage(TFormRefPage* page, const QRect& bounds)
{
    // Taking the tab away makes another tab current; the page the user carried out stays current.
    const bool current = CurrentPage == page;
    const int index = pcEdit->indexOf(page);
    if (index > 0)
        pcEdit->removeTab(index);
    // A window of its own, above the modal window and reachable while it is open.
    page->setParent(this, Qt::Window);
    page->setGeometry(bounds);
    page->FloatBounds = bounds;
    page->show();
    repaintTabs();
    if (current) {
        page->activateWindow();
        page->MyRichEdit1->setFocus();
        EditorTakesCommands(page->MyRichEdit1);
    } else if (index > 0) {
        pcEditChange();
    }
}

void TFormEditText::dockPage(TFormRefPage* page, int index)
{
    if (!page->isFloating())
        return;
    page->hide();
    page->setParent(nullptr);
    const int at = index < 1 || index > pcEdit->count() ? pcEdit->count() : index;
    pcEdit->insertTab(at, page, page->windowTitle());
    page->show();
    pcEdit->setCurrentIndex(at);
    pcEditChange();
}

void TFormEditText::RefPageActivated(TFormRefPage* page)
{
    if (!FloatingPageCurrent || page->isFloating()) {
        CurrentPage = page;
        FloatingPageCurrent = page->isFloating();
    }
    repaintTabs();
    UpdateEditorCaption(page->FileName);
}

void TFormEditText::EditorTakesCommands(TMyRichEdit* editor)
{
    TFormRefPage* page = nullptr;
    if (editor != MyRichEdit1) {
        const auto it = std::find_if(ScratchPages.begin(), ScratchPages.end(),
                                     [editor](const auto& p) { return p->MyRichEdit1 == editor; });
        if (it == ScratchPages.end())
            return;
        page = it->get();
    }
    const bool floating = page && page->isFloating();
    if (CurrentPage == page && FloatingPageCurrent == floating)
        return;
    CurrentPage = page;
    FloatingPageCurrent = floating;
    currentPageShown();
}

void TFormEditText::RefPageMoved(TFormRefPage* page)
{
    // Only a page carried by its title bar docks: the cursor is above its client area and over
    // the tab row (not below tab 0's bottom).
    const QPoint cursor = QCursor::pos();
    if (!isVisible() || page->Tag < 0 || cursor.y() >= page->geometry().top()
        || !page->frameGeometry().contains(cursor))
        return;
    const QRect row(m_tabBar->mapToGlobal(QPoint(0, 0)), QSize(pcEdit->width(), m_tabBar->tabRect(0).bottom() + 1));
    if (row.contains(cursor))
        QMetaObject::invokeMethod(
            this, [this, page] { dockPage(page); }, Qt::QueuedConnection);
}

void TFormEditText::HideFloatingPages()
{
    if (!isVisible())
        return;
    for (const auto& page : ScratchPages)
        if (page->isVisible() && page->isFloating()) {
            page->FloatBounds = page->geometry();
            page->hide();
        }
}

void TFormEditText::ShowFloatingPages()
{
    if (!isVisible())
        return;
    for (auto it = ScratchPages.rbegin(); it != ScratchPages.rend(); ++it) {
        TFormRefPage* page = it->get();
        if (!page->isVisible() && page->isFloating() && page->Tag >= 0) {
            page->setGeometry(page->FloatBounds);
            page->show();
        }
    }
}

void TFormEditText::UpdateEditorCaption(const QString& path)
{
    // A blank page's claimed file is nothing the user saved yet.
    const TFormRefPage* page = ScratchPageOfFile(path);
    if (!path.isEmpty() && QFileInfo::exists(path) && !(page && page->FileHold.isClaim())) {
        const QString root = QFileInfo(m_host.scratchFolder).absolutePath();
        setWindowTitle(u"マップエディタ ～ "_s + QDir::toNativeSeparators(QDir(root).relativeFilePath(path)));
    } else {
        setWindowTitle(u"マップエディタ"_s);
    }
}

void TFormEditText::SetDialogText(const QString& className, const QString& oldText, const QString& newText)
{
    const TFindDialog* open[] = {ReplaceDialog1, FindDialog1};
    if (!className.isEmpty()) {
        for (const TFindDialog* d : open) {
            if (!d->isVisible())
                continue;
            for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
                if (b->text() == oldText) {
                    b->setText(newText);
                    b->setMinimumWidth(b->sizeHint().width() + 20);
                    return;
                }
            return;
        }
        return;
    }
    for (TFindDialog* d : {ReplaceDialog1, FindDialog1})
        if (d->isVisible() && (oldText.isEmpty() || d->windowTitle() == oldText)) {
            d->setWindowTitle(newText);
            return;
        }
}

int TFormEditText::ModifiedScratchPageCount() const
{
    int count = 0;
    for (const auto& page : ScratchPages)
        if (page->Tag > 0 && page->MyRichEdit1->IsTextModified())
            ++count;
    return count;
}

// Search, replace and width conversion. The dialogs open here, titled after the page; the search
// itself belongs to the search work.

void TFormEditText::Find1Click()
{
    TMyRichEdit* editor = CurrentEditor();
    SkipSelection = editor->SelLength() > 0 ? 1 : 0;
    if (SkipSelection)
        FindDialog1->setFindText(editor->SelText());
    FindDialog1->show();
    SetDialogText(QString(), QString(), pageName() + u"の検索"_s);
    FindDialog1->raise();
}

void TFormEditText::Replace1Click()
{
    TMyRichEdit* editor = CurrentEditor();
    if (editor->SelLength() > 0) {
        FindDialog1->setFindText(editor->SelText());
        ReplaceDialog1->setFindText(editor->SelText());
    }
    ReplaceDialog1->show();
    SetDialogText(QString(), QString(), pageName() + u"の置換"_s);
    SetDialogText(u"Button"_s, u"単語単位で探す(&W)"_s, u"すべての旅行地で同じ置換を行う(&W)"_s);
    ReplaceDialog1->raise();
}

void TFormEditText::Prev1Click()
{
    FindFromSelection(false);
}

void TFormEditText::Next1Click()
{
    FindFromSelection(true);
}

// A selection becomes the find text and is stepped over.
void TFormEditText::FindFromSelection(bool down)
{
    TMyRichEdit* editor = CurrentEditor();
    if (editor->document()->isEmpty())
        return;
    SkipSelection = 0;
    if (editor->SelLength() > 0) {
        FindDialog1->setFindText(editor->SelText());
        SkipSelection = 1;
    }
    if (!FindDialog1->FindText().isEmpty())
        SearchText(FindDialog1, down);
}

void TFormEditText::FindDialog1Find()
{
    SearchText(FindDialog1, FindDialog1->Down());
}

void TFormEditText::ReplaceDialog1Find()
{
    if (CurrentEditor()->SelLength() > 0)
        SkipSelection = 1;
    // What the replace dialog found is what F5 and F6 search again without a selection.
    FindDialog1->setFindText(ReplaceDialog1->FindText());
    SearchText(ReplaceDialog1, true);
}

static QString notFound(const QString& find)
{
    return u"\""_s + find + u"\" は見つかりませんでした。"_s;
}

std::optional<TextSearch::Terms> TFormEditText::AdmitSearchTexts(TFindDialog* dialog, bool replacing)
{
    const QString file = CurrentPage ? u"ちょい置きページのファイル"_s : u"マップファイル"_s;
    const TextSearch::Terms terms =
        TextSearch::admitTerms(dialog->FindText(), replacing ? dialog->ReplaceText() : QString(), file);
    if (!terms.refusal.isEmpty()) {
        Prompter::warn(this, terms.refusal);
        return std::nullopt;
    }
    if (terms.find != dialog->FindText())
        dialog->setFindText(terms.find);
    if (replacing && terms.replacement != dialog->ReplaceText())
        dialog->setReplaceText(terms.replacement);
    return terms;
}

// Positions here are indices into Text() (line breaks as CR LF), which are the control's
// character positions; the control itself counts bytes.
void TFormEditText::SearchText(TFindDialog* dialog, bool down)
{
    TMyRichEdit* editor = CurrentEditor();
    if (dialog->FindText().isEmpty())
        return;
    const std::optional<TextSearch::Terms> terms = AdmitSearchTexts(dialog, false);
    if (!terms)
        return;
    const QString& find = terms->find;
    const bool matchCase = dialog->MatchCase();
    const QString text = editor->Text();
    const PositionMap& at = editor->positions();
    TextSearch::Match m;
    if (down) {
        // Past the selected match as it stands, which may be wider or narrower than the find text.
        const int start = editor->SelStart() + (SkipSelection ? editor->SelLength() : 0);
        m = TextSearch::FindForward(text, find, at.charFromByte(start), int(text.size()), matchCase);
    } else {
        m = TextSearch::FindLastBefore(text, find, 0, at.charFromByte(editor->SelStart()), matchCase);
    }
    if (!m.found()) {
        Prompter::inform(this, notFound(find));
        return;
    }
    const int from = at.byteFromChar(m.position);
    editor->setSelStart(from);
    editor->setSelLength(at.byteFromChar(m.position + m.length) - from);
    SkipSelection = down ? 1 : 2;
    editor->ScrollCaret();
    if (down)
        editor->setFocus();
}

// The other destinations are changed whichever page is current; the host leaves the row being
// edited to the editor.
void TFormEditText::ChangeOtherDescriptions(const std::function<QString(const QString&)>& change)
{
    if (!m_host.changeOtherDescriptions)
        return;
    m_host.changeOtherDescriptions(change);
}

void TFormEditText::ReplaceDialog1Replace(bool all)
{
    TMyRichEdit* editor = CurrentEditor();
    if (ReplaceDialog1->FindText().isEmpty()) {
        Prompter::warn(this, u"検索する文字列を入力して下さい。"_s);
        return;
    }
    // Here and in every other destination alike, a replacement is what the file holds.
    const std::optional<TextSearch::Terms> terms = AdmitSearchTexts(ReplaceDialog1, true);
    if (!terms)
        return;
    const QString& find = terms->find;
    const QString& replacement = terms->replacement;
    const bool matchCase = ReplaceDialog1->MatchCase();
    const QString text = editor->Text();
    const PositionMap& at = editor->positions();
    if (!all) {
        // Only a selection that is itself a match is replaced, so the button never overwrites
        // whatever the caret happens to hold.
        const int selFrom = at.charFromByte(editor->SelStart());
        const int selTo = at.charFromByte(editor->SelStart() + editor->SelLength());
        int caret = selFrom;
        if (selTo > selFrom && TextSearch::MatchLength(text, find, selFrom, selTo, matchCase) == selTo - selFrom) {
            editor->RecordTextUndoStep(TMyRichEdit::ReplaceAll);
            editor->setSelText(replacement);
            caret = selFrom + int(replacement.size());
        }
        const QString now = editor->Text();
        const PositionMap& after = editor->positions();
        const TextSearch::Match m = TextSearch::FindForward(now, find, caret, int(now.size()), matchCase);
        if (!m.found()) {
            Prompter::inform(this, notFound(find));
            return;
        }
        const int from = after.byteFromChar(m.position);
        editor->setSelStart(from);
        editor->setSelLength(after.byteFromChar(m.position + m.length) - from);
        editor->ScrollCaret();
        return;
    }

    const TextSearch::Replaced r = TextSearch::ReplaceAll(text, find, replacement, 0, int(text.size()), matchCase);
    const int n = int(r.matches.size());
    if (n > 0) {
        const int s0 = at.charFromByte(editor->SelStart());
        const int firstLine = editor->FirstVisibleLine();
        int shift = 0;
        for (const TextSearch::Match& m : r.matches)
            if (m.position + m.length <= s0)
                shift += int(Cp932::byteLength(replacement))
                         - (at.byteFromChar(m.position + m.length) - at.byteFromChar(m.position));
        const int newStart = editor->SelStart() + shift;
        // One edit from the first match to the end of the last, one undo step.
        const int first = r.matches.front().position;
        const int last = r.matches.back().position + r.matches.back().length;
        const int tail = int(text.size()) - last;
        editor->RecordTextUndoStep(TMyRichEdit::ReplaceAll);
        editor->setUpdatesEnabled(false);
        editor->setSelStart(at.byteFromChar(first));
        editor->setSelLength(at.byteFromChar(last) - at.byteFromChar(first));
        editor->setSelText(r.text.mid(first, r.text.size() - first - tail));
        if (editor->ShowStrColor)
            editor->RecolourAll();
        editor->ScrollToLine(firstLine);
        editor->setSelStart(newStart);
        editor->setSelLength(int(Cp932::byteLength(replacement)));
        editor->setUpdatesEnabled(true);
        editor->DrawNumbering();
    }
    SkipSelection = n > 0 ? 1 : 0;
    Prompter::inform(this, n > 0 ? QString::number(n) + u" 個置換しました。"_s : notFound(find));
    // The same matches as on the page, widths folded alike.
    if (ReplaceDialog1->WholeWord())
        ChangeOtherDescriptions([&](const QString& description) {
            return TextSearch::ReplaceAll(description, find, replacement, 0, int(description.size()), matchCase).text;
        });
}

void TFormEditText::mmRepZenToHanClick(int tag)
{
    TMyRichEdit* editor = CurrentEditor();
    const quint8 flags = m_host.convertFlags ? *m_host.convertFlags : 0;
    const QString noChange = m_host.noChangeChars ? *m_host.noChangeChars : QString();
    const int firstLine = editor->FirstVisibleLine();
    const QString text = editor->Text();
    const PositionMap& at = editor->positions();
    const bool selection = editor->SelLength() > 0;
    QString s, converted;
    if (!selection) {
        const QString question =
            tag == HenkanJ::ToFullWidth
                ? u"範囲選択されていないので，本文中のすべての半角文字を変換します。\r\nいいですか。"_s
                : u"範囲選択されていないので，本文中のすべての全角文字を変換します。\r\nいいですか。"_s;
        if (Prompter::ask(this, question, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
            return;
        const int caret = at.charFromByte(editor->SelStart());
        const QString after = HenkanJ::ConvertText(text, tag, flags, noChange);
        if (after != text) {
            const int newCaret = int(Cp932::byteLength(HenkanJ::ConvertText(text.left(caret), tag, flags, noChange)));
            editor->RecordTextUndoStep(TMyRichEdit::ReplaceAll);
            editor->setUpdatesEnabled(false);
            editor->SelectAll();
            editor->setSelText(after);
            if (editor->ShowStrColor)
                editor->RecolourAll();
            editor->ScrollToLine(firstLine);
            editor->setSelStart(newCaret);
            editor->setUpdatesEnabled(true);
            editor->DrawNumbering();
        }
    } else {
        s = editor->SelText();
        converted = HenkanJ::ConvertText(s, tag, flags, noChange);
        const int selFrom = at.charFromByte(editor->SelStart());
        const int selTo = at.charFromByte(editor->SelStart() + editor->SelLength());
        QString after = text.left(selFrom) + converted + text.mid(selTo);
        int newStart = editor->SelStart();
        if (flags & HenkanJ::ConvertAllOccurrences) {
            newStart =
                int(Cp932::byteLength(HenkanJ::ReplaceOccurrences(text.left(selFrom), s, converted, flags, noChange)));
            after = HenkanJ::ReplaceOccurrences(after, s, converted, flags, noChange);
        }
        if (after != text) {
            editor->RecordTextUndoStep(TMyRichEdit::ReplaceAll);
            editor->setUpdatesEnabled(false);
            if (flags & HenkanJ::ConvertAllOccurrences) {
                editor->SelectAll();
                editor->setSelText(after);
            } else {
                editor->setSelText(converted);
            }
            if (editor->ShowStrColor)
                editor->RecolourAll();
            editor->ScrollToLine(firstLine);
            editor->setSelStart(newStart);
            editor->setSelLength(int(Cp932::byteLength(converted)));
            editor->setUpdatesEnabled(true);
            editor->DrawNumbering();
        }
    }
    if (flags & HenkanJ::ConvertAllDestinations)
        ChangeOtherDescriptions([&](const QString& description) {
            return selection ? HenkanJ::ReplaceOccurrences(description, s, converted, flags, noChange)
                             : HenkanJ::ConvertText(description, tag, flags, noChange);
        });
}

void TFormEditText::mmRepHanZenSetteiClick()
{
    quint8 scratchFlags = 0;
    QString scratchChars;
    quint8& flags = m_host.convertFlags ? *m_host.convertFlags : scratchFlags;
    QString& chars = m_host.noChangeChars ? *m_host.noChangeChars : scratchChars;
    const auto dialog = std::make_unique<TFormHanZenSettei>(flags, chars, this);
    const int result = Prompter::backend().execModal(*dialog);
    if (m_host.optionsChanged)
        m_host.optionsChanged();
    if (result == TFormHanZenSettei::ResultZenToHan)
        mmRepZenToHanClick(HenkanJ::ToHalfWidth);
    else if (result == TFormHanZenSettei::ResultHanToZen)
        mmRepZenToHanClick(HenkanJ::ToFullWidth);
}
