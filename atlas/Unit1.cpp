#include "Unit1.h"

#include "AtlasForms.h"
#include "FileOps.h"
#include "MapCanvas.h"
#include "MapFolders.h"
#include "MapGridModel.h"
#include "MapPictures.h"
#include "MyFileDialogs.h"
#include "ProgramFolder.h"
#include "Prompter.h"
#include "SessionEnd.h"
#include "ToolRunner.h"
#include "Unit3.h"
#include "UnitEditText.h"
#include "UnitToolSet.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The canvas font the label sizes are measured in; the first family installed is used.
QFont canvasFont(int pointSize)
{
    QFont f;
    f.setFamilies({u"ＭＳ Ｐゴシック"_s, u"MS PGothic"_s, u"IPAPGothic"_s, u"IPAGothic"_s,
                   u"Noto Sans CJK JP"_s, u"Noto Sans JP"_s});
    if (pointSize > 0)
        f.setPointSize(pointSize);
    else
        f.setPixelSize(13);
    return f;
}

// Qt passes a hint up to the hovered widget's own window and no further; a window without a status
// line of its own (a dialog, a pop-up) hands its hints to the main window's.
class HintRouter : public QObject {
public:
    explicit HintRouter(TForm1* form) : QObject(form), m_form(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::StatusTip || !watched->isWidgetType())
            return false;
        auto* window = static_cast<QWidget*>(watched);
        if (!window->isWindow() || window->findChild<QStatusBar*>())
            return false;
        m_form->ShowHintInStatusBar(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }

private:
    TForm1* m_form;
};

// The island combo tells when its list opens.
class DropDownComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onDropDown;

    void showPopup() override
    {
        if (onDropDown)
            onDropDown();
        QComboBox::showPopup();
    }
};

// Check boxes that look like toggle buttons.
QPushButton* toggleButton(const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setCheckable(true);
    return b;
}

} // namespace

TForm1::TForm1(const QStringList& arguments, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(u"Form1"_s);
    setWindowTitle(u"マップエディタ"_s);
    buildLayout();
    buildMenus();
    buildHandlers();
    FormCreate(arguments);
}

TForm1::~TForm1() = default;

void TForm1::buildLayout()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);

    Splitter1 = new QSplitter(Qt::Vertical, central);
    Splitter1->setHandleWidth(12);
    Splitter1->setChildrenCollapsible(false);
    outer->addWidget(Splitter1);

    Panel1 = new QWidget(Splitter1);
    Panel1->setObjectName(u"Panel1"_s);
    Panel1->setMinimumHeight(200);
    imMap = new MapCanvas(&PaintBuffer, Panel1);
    imMap->setObjectName(u"imMap"_s);
    Label1 = new QLabel(Panel1);
    Label1->setObjectName(u"Label1"_s);
    Label1->setFont(canvasFont(0));
    Label1->hide();

    Panel2 = new QWidget(Splitter1);
    Panel2->setObjectName(u"Panel2"_s);
    Panel2->setMinimumHeight(200);
    auto* lower = new QVBoxLayout(Panel2);
    lower->setContentsMargins(4, 0, 4, 0);
    lower->setSpacing(2);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(u"旅行地一覧"_s, Panel2));
    bbCityInfoEdit = new QPushButton(u"00を編集"_s, Panel2);
    bbUp = new QPushButton(u"上移動"_s, Panel2);
    bbDown = new QPushButton(u"下移動"_s, Panel2);
    bbDelete = new QPushButton(u"00を削除"_s, Panel2);
    bbInsert = new QPushButton(u"00に挿入"_s, Panel2);
    cbSima = toggleButton(u"島の名前"_s, Panel2);
    auto* islands = new DropDownComboBox(Panel2);
    islands->onDropDown = [this] { cobSimaDropDown(); };
    cobSima = islands;
    cobSima->addItems({u"１位の島"_s, u"２位の島"_s, u"３位の島"_s});
    edSima = new QLineEdit(Panel2);
    edSima->setReadOnly(true);
    edSima->setMaximumWidth(90);
    lbUndo = new QLabel(u"0"_s, Panel2);
    bbUndo = new QPushButton(u"元に戻す"_s, Panel2);
    bbRedo = new QPushButton(u"先に戻す"_s, Panel2);
    btNormal = new QPushButton(u"↓"_s, Panel2);
    for (QWidget* w : std::initializer_list<QWidget*>{bbCityInfoEdit, bbUp, bbDown, bbDelete, bbInsert, cbSima,
                                                      cobSima, edSima, lbUndo, bbUndo, bbRedo, btNormal})
        row->addWidget(w);
    row->addStretch();
    lower->addLayout(row);

    sg1 = new FixedColumnTableView(Panel2);
    sg1->setObjectName(u"sg1"_s);
    sg1Model = new MapGridModel(&Doc, this);
    sg1->setModel(sg1Model);
    sg1->setSelectionBehavior(QAbstractItemView::SelectRows);
    sg1->setSelectionMode(QAbstractItemView::SingleSelection);
    sg1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sg1->verticalHeader()->hide();
    sg1->verticalHeader()->setDefaultSectionSize(20);
    sg1->setWordWrap(false);
    lower->addWidget(sg1, 1);

    auto* bottom = new QHBoxLayout;
    cbCityPosHide = new QCheckBox(u"点と線を非表示"_s, Panel2);
    bottom->addWidget(cbCityPosHide);
    bottom->addStretch();
    pnColor = new QWidget(Panel2);
    auto* colours = new QHBoxLayout(pnColor);
    colours->setContentsMargins(0, 0, 0, 0);
    colours->addWidget(new QLabel(u"●点と線の色："_s, pnColor));
    bbColor1 = new QPushButton(u"通常の点と線"_s, pnColor);
    bbColor2 = new QPushButton(u"現在地までの点と線"_s, pnColor);
    bbColor3 = new QPushButton(u"現在地の点"_s, pnColor);
    cbColorShow = toggleButton(u"確認"_s, pnColor);
    for (QWidget* w : std::initializer_list<QWidget*>{bbColor1, bbColor2, bbColor3, cbColorShow})
        colours->addWidget(w);
    bottom->addWidget(pnColor);
    lower->addLayout(bottom);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(Panel2);
    Splitter1->setStretchFactor(1, 1);

    stb1 = new QStatusBar(this);
    setStatusBar(stb1);

    btNormalClick();
}

void TForm1::buildMenus()
{
    File1 = menuBar()->addMenu(u"マップファイル(&F)"_s);
    mmNew = File1->addAction(u"新規作成(&N)"_s, this, &TForm1::mmNewClick);
    File1->addSeparator();
    mmOpen = File1->addAction(u"開く(&O)"_s, this, &TForm1::mmOpenClick);
    mmReOpen = File1->addMenu(u"　開き直す(&R)"_s);
    File1->addSeparator();
    mmSave = File1->addAction(u"上書き保存(&S)"_s, this, &TForm1::mmSaveClick);
    mmSaveAs1 = File1->addAction(u"名前を付けて保存(&A)"_s, this, &TForm1::mmSaveAs1Click);
    File1->addSeparator();
    mmMapFile = File1->addAction(u"直接編集(&E)"_s, this, &TForm1::mmMapFileClick);
    mmOpenPicDir = File1->addAction(u"画像フォルダを開く(&P)"_s, this, &TForm1::mmOpenPicDirClick);
    mmDeleteTemp =
        File1->addAction(u"作業用画像ファイルを消去する(&B)"_s, this, &TForm1::mmDeleteTempClick);
    File1->addSeparator();
    mmExit = File1->addAction(u"終了(&X)"_s, this, &TForm1::mmExitClick);
    mmExit->setShortcut(Qt::Key_F4);
    connect(File1, &QMenu::aboutToShow, this, &TForm1::CopyHistoryMenu);

    Edit1 = menuBar()->addMenu(u"編集(&E)"_s);
    mmLoadMapPic = Edit1->addAction(u"地図画像を取り込む(&C)"_s);
    mmEditMapPic = Edit1->addAction(u"地図画像を編集する(&D)"_s);
    mmUndoMap = Edit1->addAction(u"[元に戻す］有効"_s);
    mmUndoMap->setCheckable(true);
    mmUndoMap->setChecked(true);
    Edit1->addSeparator();
    mmCityInfoEdit = Edit1->addAction(u"旅行地 00 を編集する(&R)"_s);
    mmUndoCity = Edit1->addAction(u"［元に戻す］有効"_s);
    mmUndoCity->setCheckable(true);
    mmUndoCity->setChecked(true);
    Edit1->addSeparator();
    mmTreSet = Edit1->addAction(u"宝物画像を取り込む(&T)"_s);

    mmTools = menuBar()->addMenu(u"外部ツール(&T)"_s);

    Help1 = menuBar()->addMenu(u"ヘルプ(&H)"_s);
    mmContents = Help1->addAction(u"目次(&C)"_s);
    Help1->addSeparator();
    mmAbout = Help1->addAction(u"バージョン情報(&V)"_s);

    tbpTools = new QMenu(this);
    tbpToolSettei = tbpTools->addAction(u"外部ツールの設定(&T)"_s);
    tbpReOpen = new QMenu(this);
}

void TForm1::setHint(QObject* component, const QString& hint)
{
    if (auto* a = qobject_cast<QAction*>(component))
        a->setStatusTip(hint);
    else if (auto* m = qobject_cast<QMenu*>(component))
        m->menuAction()->setStatusTip(hint);
    else if (auto* w = qobject_cast<QWidget*>(component))
        w->setStatusTip(hint);
}

QString TForm1::hintOf(const QObject* component) const
{
    if (auto* a = qobject_cast<const QAction*>(component))
        return a->statusTip();
    if (auto* m = qobject_cast<const QMenu*>(component))
        return m->menuAction()->statusTip();
    if (auto* w = qobject_cast<const QWidget*>(component))
        return w->statusTip();
    return {};
}

void TForm1::ShowHintInStatusBar(const QString& hint) { stb1->showMessage(hint); }

void TForm1::setHints()
{
    setHint(mmOpen, u"開く … 保存しているマップファイルを開きます。"_s);
    setHint(mmReOpen, u"開き直す … 最近開いたマップファイルを開きます。"_s);
    setHint(mmSave, u"上書き保存 … 現在編集しているマップファイルを，上書き保存します。"_s);
    setHint(mmSaveAs1,
            u"名前を付けて保存 … 現在編集しているマップファイルを，別の新しいマップファイルとして保存します。"_s);
    setHint(mmExit, u"終了 … マップエディタを終了します。 【ｷｰﾎﾞｰﾄﾞ】<Enter>"_s);
    setHint(mmTools, u"外部ツール … 外部ツール（マップエディタではないアプリケーション）を起動します。"_s);
    setHint(mmContents, u"目次 … ヘルプファイルを表示します。"_s);
    setHint(mmAbout, u"バージョン情報 … このマップエディタについての情報を表示します。"_s);
    setHint(tbpToolSettei,
            u"外部ツールの設定 … 外部ツールを登録します。 ※初期値では，ぽてりん自家製ツールが登録されていますので，使い慣れている画像ソフトに登録し直して下さい。"_s);
    setHint(mmLoadMapPic,
            u"地図画像の取り込み … 地図となる画像を取り込みます。　※地図画像の大きさは，横%1, 縦%2 でなければなりません。"_s
                .arg(960)
                .arg(435));
    setHint(mmEditMapPic,
            u"地図画像の編集 … 地図となる画像を編集します。　※画像の編集は，「外部ツール」の一番上に指定されているツールで行われます。"_s);
    const QString cityEdit =
        u"旅行地の編集 … ［旅行地一覧］で選択されている旅行地の内容を編集します。 【ｷｰﾎﾞｰﾄﾞ】<Enter>"_s;
    setHint(mmCityInfoEdit, cityEdit);
    setHint(bbCityInfoEdit, cityEdit);
    setHint(mmTreSet, u"宝物画像を取り込む … 宝物の画像を取り込みます。　※この画面の［元に戻す］はできません。"_s);
    setHint(mmOpenPicDir, u"画像フォルダを開く … 現在開いているマップファイルの画像フォルダを開きます。新しいマップファイルのときは，「"_s
                              + MapFolders::newMapName() + u"」フォルダになります。"_s);
    setHint(mmDeleteTemp,
            u"バックアップ画像ファイルを消去する … 画像フォルダにある，バックアップされた画像ファイル（画像名の後に，”_01”のような数字がついた画像ファイル）をすべて消去します。"_s);
    setHint(mmUndoMap, u"地図画像の［元に戻す］有効 … 地図画像の変更を，この画面の［元に戻す］の対象とします。"_s);
    setHint(mmUndoCity,
            u"旅行地画像の［元に戻す］有効 … 旅行地画像の変更を，この画面の［元に戻す］の対象とします。ある旅行地を集中して編集しているときは，有効がいいかもしれません。"_s);
    setHint(sg1,
            u"旅行地一覧 … マップファイルの内容を表示します。また，地図上に旅行地の点を追加したり編集するときは，この一覧で「番号」を選択します。 【ｷｰﾎﾞｰﾄﾞ】旅行地編集<Enter>，移動<↑><↓>，マーク解除<Esc>"_s);
    setHint(bbDelete, u"削除 … ［旅行地一覧］で選択されている番号の旅行地の内容を削除します。"_s);
    setHint(bbInsert, u"挿入 … ［旅行地一覧］で選択されている番号の旅行地の位置に，空行を挿入します。"_s);
    setHint(bbUp, u"上へ移動 … ［旅行地一覧］で選択されている旅行地の番号を１つ上にします。"_s);
    setHint(bbDown, u"下へ移動 … ［旅行地一覧］で選択されている旅行地の番号を１つ下にします。"_s);
    setHint(cbSima,
            u"島の名前 … ここを押下すると，旅行地ではなく，島の名前を表示する場所を追加したり，位置を変更できます。"_s);
    setHint(cobSima, u"ここで，追加・位置変更する島を選択します。"_s);
    setHint(edSima, u"選択した島の位置を表す座標 (x,y) です。"_s);
    setHint(bbUndo, u"元に戻す … 内容の変更を取り消します。戻せる回数は最大 "_s + u"20"_s + u" 回です。"_s);
    setHint(bbRedo, u"先に戻す … 「元に戻す」を取り消します。"_s);
    setHint(imMap,
            u"地図画像 … ここに，地図となる画像が表示されます。　［旅行地一覧］で「番号」を選択して地図をクリックすると，旅行地点を追加できます。旅行地点をマウスドラッグすると，位置を変更できます。"_s);
    setHint(btNormal, u"一覧表の表示サイズを元に戻します。"_s);
    setHint(bbColor1, u"通常の点と線の色を設定します。 ※［確認］ボタンとは関係ありません。"_s);
    setHint(bbColor2,
            u"現在地までの点と線の色を設定します（選択した旅行地を現在地とします）。［確認］ボタンで確認できます。 ※［確認］ボタンを押下していないときは，選択した旅行地の点の色になります。"_s);
    setHint(bbColor3, u"現在地の点の色を設定します（選択した旅行地を現在地とします）。［確認］ボタンで確認できます。"_s);
    setHint(cbColorShow,
            u"このボタンを押下しておくと，現在地についての点と線の色が，地図に表示されます（選択した旅行地を現在地とします）。"_s);
}

void TForm1::FormCreate(const QStringList& arguments)
{
    // 1. Floating scratch pages follow the application in and out of focus.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            ApplicationActivated();
        else
            ApplicationDeactivated();
    });

    // 2.
    FitWindowToScreen();

    // 3., 4. The dialogs.
    mod1 = std::make_unique<TMyOpenDialog>();
    mod1->Title = u"マップファイルを開く"_s;
    mod1->InitialDir = MapFolders::mapFileFolder();
    mod1->Filter = u"マップファイル (*.map)|*.map"_s;
    mod1->DefaultExt = u"map"_s;
    msd1 = std::make_unique<TMySaveDialog>();
    msd1->Title = u"マップファイルに名前を付けて保存"_s;
    msd1->InitialDir = mod1->InitialDir;
    msd1->Filter = mod1->Filter;
    msd1->DefaultExt = mod1->DefaultExt;
    msd1->OnCanClose = [this](const QString& name) { return msd1CanClose(name); };
    mopd1 = std::make_unique<TMyOpenPictureDialog>();
    mopd1->InitialDir = MapFolders::mapPictureRoot();
    mopd1->Filter = u"BMP ﾌｧｲﾙ (*.bmp)|*.bmp|JPEG ﾌｧｲﾙ (*.jpg)|*.jpg|全種類 (*.bmp, *.jpg)|*.bmp;*.jpg"_s;
    mopd1->DefaultExt = u"bmp"_s;
    mopd1->FilterIndex = 3;

    // 5., 6. Paths and folders.
    SettingsFolder = MapFolders::settingsFolder();
    SettingsFilePath = SettingsFolder + u"/設定ファイル.ini"_s;
    HistoryFilePath = SettingsFolder + u"/ファイル履歴.txt"_s;
    ScratchFolder = MapFolders::scratchFolder();
    ToolPaths.clear();
    MakeFolders();
    History.onRefused = [this](const QString& mapPath, const QString& fault) {
        Prompter::inform(this, u"マップファイルをファイル履歴に入れられません。\r\n"_s
                                   + QDir::toNativeSeparators(mapPath)
                                   + u"\r\n\r\nパスに，ファイル履歴（Shift-JIS）に正しく保存できない文字（"_s + fault
                                   + u"）があるためです。"_s);
    };

    // 7. The grid.
    const int widths[] = {38, 90, 180, 180, 120, 124, 124, 630};
    for (int c = 0; c < 8; ++c)
        sg1->setColumnWidth(c, widths[c]);

    // 8. is the toggle look of cbSima and cbColorShow, given when they were made.

    // 9. The canvas.
    imMap->setGeometry(28, 10, 960, 435);

    // 10. The buffer, and the size of the island label in its font.
    PaintBuffer = QImage(960, 435, QImage::Format_RGB32);
    PaintBuffer.fill(Qt::white);
    m_labelFont = canvasFont(9);
    const QFontMetrics fm(m_labelFont);
    const QRect label = fm.boundingRect(u"■"_s + u"１"_s + u"位のプレイヤーの島■"_s);
    LabelHalfWidth = fm.horizontalAdvance(u"■"_s + u"１"_s + u"位のプレイヤーの島■"_s) / 2;
    LabelHalfHeight = label.height() / 2;

    // 12.
    setHints();
    ConnectToolMenus();

    // 13.
    WorkingCopyCounter = 0;
    FirstShow = true;

    // The history is read before a map named on the command line joins it; reading it only at the
    // first showing would drop that map from the list.
    LoadHistoryMenu();

    // 14., 15. A save cut short last time is finished or undone before any map folder is used.
    RecoverInterruptedSave();
    MapFolders::removeAbandonedLocks(MapFolders::mapPictureRoot());
    ResetToNewMap();
    if (!arguments.isEmpty() && QFileInfo(arguments.first()).isFile())
        LoadMapFile(QFileInfo(arguments.first()).absoluteFilePath());
}

void TForm1::MakeFolders()
{
    // The map-file folder too, so that the map dialogs open where maps belong.
    const QString program = QDir::cleanPath(ProgramFolder::path());
    QStringList failures;
    bool programFolderIsTheCause = true;
    for (const QString& folder :
         {SettingsFolder, ScratchFolder, MapFolders::mapFileFolder(), MapFolders::mapPictureRoot()}) {
        QString why;
        if (QFileInfo(folder).isDir() || FileOps::makeFolder(folder, &why))
            continue;
        failures << QDir::toNativeSeparators(folder) + u"\r\n"_s + why;
        QFileInfo above(folder);
        while (!above.exists() && above.absolutePath() != above.absoluteFilePath())
            above.setFile(above.absolutePath());
        programFolderIsTheCause = programFolderIsTheCause && QDir::cleanPath(above.absoluteFilePath()) == program;
        if (folder == SettingsFolder)
            m_settingsFolderMissing = true;
        if (folder == MapFolders::mapPictureRoot())
            m_pictureRootMissing = true;
    }
    History.setKept(!m_settingsFolderMissing);
    if (failures.isEmpty())
        return;
    // One cause, one message: every folder lies in the program folder.
    const QString lost = m_settingsFolderMissing ? u"\r\n\r\n設定とファイル履歴は保存されません。"_s : QString();
    if (programFolderIsTheCause)
        Prompter::error(this, u"プログラムのフォルダに書き込めないため，フォルダを作成できません。\r\n"_s
                                  + QDir::toNativeSeparators(program) + lost);
    else
        Prompter::error(this, u"フォルダを作成できません。\r\n"_s + failures.join(u"\r\n"_s) + lost);
}

void TForm1::FormShow()
{
    if (FirstShow) {
        if (auto* forms = AtlasForms::current(); forms && forms->formToolSet)
            forms->formToolSet->BuildToolsMenu(tbpTools);
        CopyHistoryMenu();
        m_hintRouter = new HintRouter(this);
        qApp->installEventFilter(m_hintRouter);
        FirstShow = false;
        // The list takes the keyboard first: its keys (Enter, the arrows, Esc) are the window's.
        sg1->setFocus();
    }
    raise();
    activateWindow();
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormShow();
}

void TForm1::FitWindowToScreen()
{
    // The frame, title bar included, fills the available area of the primary screen, and the window
    // keeps that size. A screen smaller than the designed 1024 x 734 wins over it: the grid gives
    // way, and the status line stays on the screen.
    WindowPlacement::fill(*this);
    imMap->setFont(Label1->font());
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (isVisible() && sg1)
        sg1->horizontalScrollBar()->setValue(0);
}

QString TForm1::ResolveExeRelativePath(const QString& path, bool toRelative) const
{
    return ProgramFolder::resolveExeRelativePath(path, toRelative);
}

void TForm1::ApplicationActivated()
{
    if (auto* forms = AtlasForms::current(); forms && forms->formEditText)
        forms->formEditText->ShowFloatingPages();
}

void TForm1::ApplicationDeactivated()
{
    if (auto* forms = AtlasForms::current(); forms && forms->formEditText)
        forms->formEditText->HideFloatingPages();
}

void TForm1::mmExitClick() { close(); }

bool TForm1::SettingsKept()
{
    // Without their folder (said at start-up) settings are not written, unless it can be made by now.
    if (m_settingsFolderMissing && FileOps::makeFolder(SettingsFolder)) {
        m_settingsFolderMissing = false;
        History.setKept(true);
    }
    return !m_settingsFolderMissing;
}

void TForm1::SaveSettings()
{
    if (auto* forms = AtlasForms::current(); forms && forms->formToolSet && SettingsKept())
        forms->formToolSet->SaveToolSettings();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

bool TForm1::FormClose()
{
    // Told to end by the session manager: its request to keep the work asked every question already.
    if (SessionEnd::closing() && !ToolRunning && !ToolRunner::isRunning()) {
        SaveHistory();
        SaveSettings();
        return true;
    }
    if (CheckToolRunning())
        return false;

    bool keepOpen = false;
    auto* forms = AtlasForms::current();
    // A treasure change alone also counts: its names are not all the map file compares.
    if (IsModified(1) || (forms && forms->form3 && forms->form3->TreasureUndoState(1))) {
        const QString question =
            MapFilePath.isEmpty()
                ? u"現在の内容をマップファイルとして保存しますか。"_s
                : u"マップファイル \""_s + QFileInfo(MapFilePath).fileName() + u"\" が\r\n"_s
                      + u"変更されています。保存しますか。"_s;
        switch (Prompter::ask(this, question, Prompter::Buttons::YesNoCancel)) {
        case Prompter::Answer::Yes:
            mmSaveAs1Click();
            keepOpen = !SaveSucceeded;
            break;
        case Prompter::Answer::No:
            break;
        default:
            keepOpen = true;
            break;
        }
    }

    // The history and the settings are written as they change, and again on every close attempt
    // that gets this far.
    SaveHistory();
    SaveSettings();

    if (forms && forms->formEditText) {
        TFormEditText* editor = forms->formEditText.get();
        const int modified = editor->ModifiedScratchPageCount();
        if (modified > 0) {
            switch (Prompter::ask(this,
                                  u"「ちょい置き」が変更されています。保存しておきますか。（"_s
                                      + QString::number(modified) + u"つ）"_s,
                                  Prompter::Buttons::YesNoCancel)) {
            case Prompter::Answer::Yes: {
                // A page that could not be written keeps the program open, so it is not lost.
                const bool saved = editor->SaveAllScratchPages();
                editor->SaveScratchHistory();
                if (!saved)
                    return false;
                break;
            }
            case Prompter::Answer::No:
                editor->SaveScratchHistory();
                break;
            default:
                return false;
            }
        } else {
            editor->SaveScratchHistory();
        }
    }
    return !keepOpen;
}
