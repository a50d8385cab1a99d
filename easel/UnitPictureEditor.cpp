#include "UnitPictureEditor.h"

#include "CanvasScrollBox.h"
#include "MyFileDialogs.h"
#include "Palette.h"
#include "PopupKeys.h"
#include "ProgramFolder.h"
#include "Prompter.h"
#include "SavedPictureNotice.h"
#include "SessionEnd.h"
#include "ShapeRender.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

QFont formFont() {
    QFont f;
    f.setFamilies({u"ＭＳ Ｐゴシック"_s, u"MS PGothic"_s, u"IPAPGothic"_s, u"IPAGothic"_s,
                   u"Noto Sans CJK JP"_s, u"Noto Sans JP"_s});
    f.setPixelSize(15);
    return f;
}

QPushButton* toggleButton(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setCheckable(true);
    return b;
}

// A size box that a wheel turn on the way elsewhere leaves alone: it takes the wheel only while it
// has the keyboard.
class SizeBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    void wheelEvent(QWheelEvent* event) override {
        if (hasFocus())
            QSpinBox::wheelEvent(event);
        else
            event->ignore();
    }
};

QSpinBox* sizeBox(int maximum, QWidget* parent) {
    auto* box = new SizeBox(parent);
    // Never focused by the wheel alone, which would let the wheel change it after all.
    box->setFocusPolicy(Qt::StrongFocus);
    box->setRange(CanvasView::CanvasSizeStep, maximum);
    box->setSingleStep(CanvasView::CanvasSizeStep);
    box->setGroupSeparatorShown(false);
    box->setAccelerated(true);
    return box;
}

const QString PictureFilter =
    u"BMP ﾌｧｲﾙ (*.bmp)|*.bmp|JPEG ﾌｧｲﾙ (*.jpg)|*.jpg|全種類 (*.bmp, *.jpg)|*.bmp;*.jpg"_s;

} // namespace

TFormPictureEditor::TFormPictureEditor(const QStringList& arguments, QWidget* parent) : QMainWindow(parent) {
    setObjectName(u"FormPictureEditor"_s);
    setFont(formFont());
    buildLayout();
    buildMenus();
    buildLayerHandles();
    buildHandlers();
    FormCreate(arguments);
}

TFormPictureEditor::~TFormPictureEditor() {
    qApp->removeEventFilter(this);
}

QString TFormPictureEditor::TitleText(int paletteEntryCount, const QString& path) {
    QString title = u"画像エディタ"_s;
    if (paletteEntryCount != 0) title += u" (%1色)"_s.arg(paletteEntryCount);
    if (!path.isEmpty()) title += u" ～ "_s + QFileInfo(path).fileName();
    return title;
}

QString TFormPictureEditor::PictureFolder() {
    return ProgramFolder::path() + u"画像と音声"_s;
}

void TFormPictureEditor::buildLayout() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 0);
    outer->setSpacing(4);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(u"表示倍率"_s, central));
    UpDown1 = new QSpinBox(central);
    UpDown1->setObjectName(u"UpDown1"_s);
    UpDown1->setRange(CanvasView::MinZoom, CanvasView::MaxZoom);
    UpDown1->setValue(CanvasView::DefaultZoom);
    UpDown1->setSingleStep(10);
    UpDown1->setSuffix(u"％"_s);
    // The zoom is only stepped, never typed (its edit is read-only, its arrows work).
    Edit1 = UpDown1->findChild<QLineEdit*>();
    Edit1->setReadOnly(true);
    UpDown1->setKeyboardTracking(false);
    UpDown1->setFocusPolicy(Qt::NoFocus);
    top->addWidget(UpDown1);
    cbIncrement = toggleButton(u"±10"_s, central);
    cbIncrement->setObjectName(u"cbIncrement"_s);
    cbIncrement->setChecked(true);
    top->addWidget(cbIncrement);
    bt100 = new QPushButton(u"100％"_s, central);
    bt100->setObjectName(u"bt100"_s);
    top->addWidget(bt100);
    top->addSpacing(16);
    top->addWidget(new QLabel(u"キャンバス　横"_s, central));
    udWidth = sizeBox(CanvasView::MaxCanvasWidth, central);
    udWidth->setObjectName(u"udWidth"_s);
    edWidth = udWidth->findChild<QLineEdit*>();
    top->addWidget(udWidth);
    top->addWidget(new QLabel(u"縦"_s, central));
    udHeight = sizeBox(CanvasView::MaxCanvasHeight, central);
    udHeight->setObjectName(u"udHeight"_s);
    edHeight = udHeight->findChild<QLineEdit*>();
    top->addWidget(udHeight);
    top->addSpacing(16);
    sbShowMasu = toggleButton(u"罫線"_s, central);
    sbShowMasu->setObjectName(u"sbShowMasu"_s);
    top->addWidget(sbShowMasu);
    sbShowMihon = toggleButton(u"見本"_s, central);
    sbShowMihon->setObjectName(u"sbShowMihon"_s);
    top->addWidget(sbShowMihon);
    top->addStretch();
    btClose = new QPushButton(u"終了"_s, central);
    btClose->setObjectName(u"btClose"_s);
    top->addWidget(btClose);
    outer->addLayout(top);

    auto* middle = new QHBoxLayout;
    auto* tools = new QWidget(central);
    tools->setObjectName(u"pnTools"_s);
    tools->setFixedWidth(150);
    auto* toolColumn = new QVBoxLayout(tools);
    toolColumn->setContentsMargins(0, 0, 0, 0);
    sbUndo = new QPushButton(u"元に戻す"_s, tools);
    sbUndo->setObjectName(u"sbUndo"_s);
    sbRedo = new QPushButton(u"先に戻す"_s, tools);
    sbRedo->setObjectName(u"sbRedo"_s);
    sbClearAll = new QPushButton(u"全消去"_s, tools);
    sbClearAll->setObjectName(u"sbClearAll"_s);
    cbChangeWhite = new QCheckBox(u"内側の白を不透明に"_s, tools);
    cbChangeWhite->setObjectName(u"cbChangeWhite"_s);
    btOK = new QPushButton(u"OK"_s, tools);
    btOK->setObjectName(u"btOK"_s);
    btOK->hide();
    btCancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, tools);
    btCancel->setObjectName(u"btCancel"_s);
    btCancel->hide();
    for (QWidget* w :
         std::initializer_list<QWidget*>{sbUndo, sbRedo, sbClearAll, cbChangeWhite, btOK, btCancel}) {
        w->setFocusPolicy(Qt::NoFocus);
        toolColumn->addWidget(w);
    }
    buildToolPanel(tools, toolColumn);
    toolColumn->addStretch();
    // On a screen too short for the column it scrolls, rather than holding the window taller than
    // the screen; it is as wide as before unless its scroll bar shows.
    auto* toolScroll = new QScrollArea(central);
    toolScroll->setFrameShape(QFrame::NoFrame);
    toolScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    toolScroll->setWidgetResizable(true);
    toolScroll->setWidget(tools);
    toolScroll->setFixedWidth(tools->minimumWidth());
    connect(toolScroll->verticalScrollBar(), &QScrollBar::rangeChanged, toolScroll, [toolScroll, tools](int, int most) {
        toolScroll->setFixedWidth(tools->minimumWidth()
                                  + (most > 0 ? toolScroll->verticalScrollBar()->sizeHint().width() : 0));
    });
    middle->addWidget(toolScroll);

    pnImage = new QWidget(central);
    pnImage->setObjectName(u"pnImage"_s);
    auto* imageLayout = new QVBoxLayout(pnImage);
    imageLayout->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = new CanvasScrollBox(pnImage);
    ScrollBox1->setObjectName(u"ScrollBox1"_s);
    imageLayout->addWidget(ScrollBox1);
    Image1 = ScrollBox1->viewport();
    Image1->setObjectName(u"Image1"_s);
    middle->addWidget(pnImage, 1);
    outer->addLayout(middle, 1);
    auto* rangeRows = new QVBoxLayout;
    rangeRows->setSpacing(2);
    buildRangePanel(central, rangeRows);
    outer->addLayout(rangeRows);

    for (QPushButton* b : {cbIncrement, bt100, sbShowMasu, sbShowMihon, btClose})
        b->setFocusPolicy(Qt::NoFocus);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(u"StatusBar1"_s);
    setStatusBar(StatusBar1);
}

void TFormPictureEditor::buildRangePanel(QWidget* parent, QVBoxLayout* rows)
{
    auto button = [&](const QString& caption, const char* name, bool checkable = false) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setCheckable(checkable);
        b->setFocusPolicy(Qt::NoFocus);
        // As narrow as the caption allows, so that both rows fit the window's width.
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(caption) + 16);
        return b;
    };
    auto radio = [&](const QString& caption, const char* name) {
        auto* b = new QRadioButton(caption, parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    auto* first = new QHBoxLayout;
    lbByouga = new QLabel(u"■描画モード"_s, parent);
    lbByouga->setObjectName(u"lbByouga"_s);
    lbRange = new QLabel(u"■範囲選択モード"_s, parent);
    lbRange->setObjectName(u"lbRange"_s);
    for (QLabel* l : {lbByouga, lbRange}) {
        // Lit or not, a label keeps its width, so the buttons beside it never move.
        l->setFixedWidth(l->fontMetrics().horizontalAdvance(l->text()) + 8);
        l->setAlignment(Qt::AlignCenter);
        first->addWidget(l);
    }
    sbRange = button(u"範囲"_s, "sbRange", true);
    ToolGroup->addButton(sbRange);
    rbRectRange = radio(u"四角"_s, "rbRectRange");
    rbRectRange->setChecked(true);
    rbFreeRange = radio(u"自由"_s, "rbFreeRange");
    auto* kinds = new QButtonGroup(this);
    kinds->addButton(rbRectRange);
    kinds->addButton(rbFreeRange);
    sbCopy = button(u"コピー"_s, "sbCopy");
    sbCut = button(u"切り取り"_s, "sbCut");
    sbDelete = button(u"消去"_s, "sbDelete");
    sbTrimming = button(u"トリミング"_s, "sbTrimming");
    for (QWidget* w : std::initializer_list<QWidget*>{sbRange, rbRectRange, rbFreeRange, sbCopy, sbCut, sbDelete,
                                                      sbTrimming})
        first->addWidget(w);
    first->addStretch();
    rows->addLayout(first);

    auto* second = new QHBoxLayout;
    second->addWidget(new QLabel(u"範囲選択"_s, parent));
    sbPasteShow = button(u"表示"_s, "sbPasteShow", true);
    sbPasteByouga = button(u"描画"_s, "sbPasteByouga");
    sbMoji = button(u"文字"_s, "sbMoji");
    sbGenten = button(u"原点移動"_s, "sbGenten");
    cbHalfTone = new QCheckBox(u"ハーフトーン描画"_s, parent);
    cbHalfTone->setObjectName(u"cbHalfTone"_s);
    cbHalfTone->setFocusPolicy(Qt::NoFocus);
    for (QWidget* w : std::initializer_list<QWidget*>{sbPasteShow, sbPasteByouga, sbMoji, sbGenten, cbHalfTone})
        second->addWidget(w);
    second->addSpacing(12);
    second->addWidget(new QLabel(u"画像取り込み"_s, parent));
    sbFaceSelect = button(u"画像"_s, "sbFaceSelect");
    sbFaceShow = button(u"表示"_s, "sbFaceShow", true);
    sbFaceByouga = button(u"描画"_s, "sbFaceByouga");
    rbBairituHendou = radio(u"連動"_s, "rbBairituHendou");
    rbBairituHendou->setChecked(true);
    rbBairituKotei = radio(u"独立"_s, "rbBairituKotei");
    auto* link = new QButtonGroup(this);
    link->addButton(rbBairituHendou);
    link->addButton(rbBairituKotei);
    for (QWidget* w :
         std::initializer_list<QWidget*>{sbFaceSelect, sbFaceShow, sbFaceByouga, rbBairituHendou, rbBairituKotei})
        second->addWidget(w);
    second->addStretch();
    rows->addLayout(second);

    imPaste.Tag = 1;
    imFace.Tag = 2;
    connect(sbRange, &QPushButton::clicked, this, &TFormPictureEditor::sbRangeClick);
    connect(rbRectRange, &QRadioButton::clicked, this, &TFormPictureEditor::rbRectRangeClick);
    connect(rbFreeRange, &QRadioButton::clicked, this, &TFormPictureEditor::rbRectRangeClick);
    connect(sbCopy, &QPushButton::clicked, this, &TFormPictureEditor::sbCopyClick);
    connect(sbCut, &QPushButton::clicked, this, [this] { sbCutClick(true); });
    connect(sbDelete, &QPushButton::clicked, this, [this] { sbCutClick(false); });
    connect(sbTrimming, &QPushButton::clicked, this, &TFormPictureEditor::sbTrimmingClick);
    connect(sbPasteShow, &QPushButton::clicked, this, &TFormPictureEditor::sbPasteShowClick);
    connect(sbPasteByouga, &QPushButton::clicked, this, &TFormPictureEditor::sbPasteByougaClick);
    connect(sbMoji, &QPushButton::clicked, this, &TFormPictureEditor::sbMojiClick);
    connect(sbGenten, &QPushButton::clicked, this, &TFormPictureEditor::sbGentenClick);
    connect(sbFaceSelect, &QPushButton::clicked, this, &TFormPictureEditor::sbFaceSelectClick);
    connect(sbFaceShow, &QPushButton::clicked, this, &TFormPictureEditor::sbFaceShowClick);
    connect(sbFaceByouga, &QPushButton::clicked, this, &TFormPictureEditor::sbFaceByougaClick);
    connect(rbBairituHendou, &QRadioButton::clicked, this, &TFormPictureEditor::rbBairituHendouClick);
    connect(rbBairituKotei, &QRadioButton::clicked, this, &TFormPictureEditor::rbBairituHendouClick);
}

void TFormPictureEditor::setRangeHints()
{
    auto hint = [](QObject* o, const QString& text) {
        if (auto* a = qobject_cast<QAction*>(o))
            a->setStatusTip(text);
        else if (auto* w = qobject_cast<QWidget*>(o))
            w->setStatusTip(text);
    };
    hint(
        sbRange,
        u"範囲 … 範囲選択モードにします。範囲選択中は，ドラッグで移動，ボタンや右クリックメニューで切り取り，コピー，消去などを行うことができます。"_s);
    hint(sbTrimming, u"トリミング … 選択した範囲をトリミングします。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<T>"_s);
    hint(
        rbRectRange,
        u"四角 … 四角形の範囲を選択します。範囲を決めるときは，マウスをドラッグして下さい。選択した範囲は，そのままドラッグして移動することもできます。"_s);
    hint(
        rbFreeRange,
        u"自由 … 自由な形の範囲を選択します。範囲を決めるときは，マウスをドラッグして下さい。選択した範囲は，そのままドラッグして移動することもできます。"_s);
    hint(sbCopy, u"コピー … 選択した範囲をコピーします。"_s);
    hint(sbCut, u"切り取り … 選択した範囲をコピーして，その部分を消去します。"_s);
    hint(sbDelete, u"消去 … 選択した範囲を消去します。"_s);
    hint(sbFaceSelect, u"画像 … 画像を取り込みます。"_s);
    hint(
        sbFaceShow,
        u"表示/非表示 … 取り込んだ画像をキャンバスに表示/非表示します。 表示した画像は，ドラッグで移動，右クリックメニューで描画，伸縮，回転，反転ができます。"_s);
    hint(
        sbFaceByouga,
        u"描画 … 表示した画像をキャンバスに描画します。【画像取り込みの手順】（［画像］で画像を取り込む → ［表示］） → 枠をドラッグして移動 → ［描画］ → ［隠す］"_s);
    hint(
        sbPasteShow,
        u"表示/非表示 … コピーまたは切り取りした画像をキャンバスに表示/非表示します。 表示した画像は，ドラッグで移動，右クリックメニューで描画，伸縮，回転，反転ができます。"_s);
    hint(
        sbPasteByouga,
        u"描画 … 表示した画像をキャンバスに描画します。【選択範囲モードの流れ】（［範囲］で選択した範囲をコピー） → ［表示］ → 枠をドラッグして移動 → ［描画］ → ［隠す］"_s);
    hint(rbBairituHendou,
         u"連動 … 表示倍率を変えると，取り込んだ画像の大きさも，表示倍率に連動して変わります。"_s);
    hint(
        rbBairituKotei,
        u"独立 … 表示倍率を変えても，取り込んだ画像の大きさは，表示倍率とは無関係に，同じ大きさのまま変わりません。"_s);
    hint(
        cbHalfTone,
        u"ハーフトーン描画 … 画像取り込みや範囲選択モードで［描画］するとき，ハーフトーンで描画します。 ※画像を拡大縮小したとき，ギザギザが少しなめらかに見えます。"_s);
    hint(
        sbGenten,
        u"原点移動 … 範囲選択のコピー・切り取りや画像取り込みで表示されている画像を，左上の隅に移動します。"_s);
    const QString moji =
        u"文字 … 文字を描画するための文字入力フォームを表示します。文字入力フォームを［OK］した後は，範囲選択モードのボタンで操作して下さい。"_s;
    hint(sbMoji, moji);
    hint(pmMojiByouga, moji);
}

void TFormPictureEditor::buildMenus() {
    mmFile = menuBar()->addMenu(u"ファイル(&F)"_s);
    mmFileNew = mmFile->addAction(u"新規作成(&N)"_s, this, &TFormPictureEditor::mmFileNewClick);
    mmPicOpen = mmFile->addAction(u"開く(&O)"_s, this, &TFormPictureEditor::mmPicOpenClick);
    mmFile->addSeparator();
    mmPicSave = mmFile->addAction(u"上書き保存(&S)"_s, this, &TFormPictureEditor::mmPicSaveClick);
    mmPicSaveAs = mmFile->addAction(u"名前を付けて保存(&A)"_s, this, &TFormPictureEditor::mmPicSaveAsClick);
    mmFile->addSeparator();
    mmOK = mmFile->addAction(u"終了 - [OK] (&X)"_s, this, &TFormPictureEditor::btOKClick);
    mmOK->setVisible(false);
    mmCancel = mmFile->addAction(u"終了 - [ｷｬﾝｾﾙ] (&Q)"_s, this, &TFormPictureEditor::btCancelClick);
    mmCancel->setVisible(false);
    Exit3 = mmFile->addAction(u"終了(&X)"_s, this, &TFormPictureEditor::Exit3Click);
    mmEdit = menuBar()->addMenu(u"編集(&E)"_s);
    mmEdit->setObjectName(u"mmEdit"_s);
    buildPopupMenu();
    connect(mmEdit, &QMenu::aboutToShow, this, &TFormPictureEditor::mmEditClick);
}

void TFormPictureEditor::buildHandlers() {
    connect(UpDown1, &QSpinBox::valueChanged, this, [this] { UpDown1Click(); });
    connect(cbIncrement, &QPushButton::clicked, this, &TFormPictureEditor::cbIncrementClick);
    connect(bt100, &QPushButton::clicked, this, &TFormPictureEditor::bt100Click);
    connect(udWidth, &QSpinBox::valueChanged, this, [this] { edWidthChange(Qt::Horizontal); });
    connect(udHeight, &QSpinBox::valueChanged, this, [this] { edWidthChange(Qt::Vertical); });
    connect(sbShowMasu, &QPushButton::clicked, this, &TFormPictureEditor::sbShowMasuClick);
    connect(sbShowMihon, &QPushButton::clicked, this, &TFormPictureEditor::sbShowMihonClick);
    connect(sbClearAll, &QPushButton::clicked, this, &TFormPictureEditor::sbClearAllClick);
    connect(sbUndo, &QPushButton::clicked, this, &TFormPictureEditor::sbUndoClick);
    connect(sbRedo, &QPushButton::clicked, this, &TFormPictureEditor::sbRedoClick);
    connect(btClose, &QPushButton::clicked, this, &TFormPictureEditor::btCloseClick);
    connect(btOK, &QPushButton::clicked, this, &TFormPictureEditor::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TFormPictureEditor::btCancelClick);
    ScrollBox1->onPaint = [this](QPainter& p, const QRect& exposed) { PaintCanvasView(p, exposed); };
    ScrollBox1->onMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, QPointF p) {
        Image1MouseDown(b, m, ToolPoint(p));
    };
    ScrollBox1->onMouseMove = [this](Qt::KeyboardModifiers m, QPointF p) { Image1MouseMove(m, ToolPoint(p)); };
    ScrollBox1->onMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, QPointF p) {
        Image1MouseUp(b, m, ToolPoint(p));
    };
    // A Shift released while another program had the keyboard must not stay held here.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            ShiftHeld = false;
    });
    m_autoScroll = new QTimer(this);
    // Short passes, one pixel each, for as long as the drag stays outside the view.
    m_autoScroll->setInterval(10);
    connect(m_autoScroll, &QTimer::timeout, this, &TFormPictureEditor::IdleAutoScroll);
}

void TFormPictureEditor::setHints() {
    auto hint = [](QObject* o, const QString& text) {
        if (auto* a = qobject_cast<QAction*>(o))
            a->setStatusTip(text);
        else if (auto* w = qobject_cast<QWidget*>(o))
            w->setStatusTip(text);
    };
    hint(
        btOK,
        u"画像確定 … 範囲を選択しているときはその範囲が，範囲を選択していないときはキャンバス全体が［OK］確定画像になります。"_s);
    hint(
        Image1,
        u"キャンバス … ここに図形を描画します。マウスのドラッグ中は，<Shift>ｷｰで水平・垂直固定，<矢印>ｷｰで微移動できます。　※表示倍率=100でないときは，描画中の画像と，キャンバスに実際に描き込まれる画像が異なります。"_s);
    hint(
        UpDown1,
        u"表示倍率 … キャンバスを拡大・縮小して表示します。キャンバス自体のサイズが変わるわけではありません。"_s);
    hint(cbIncrement, u"倍率増分 … 表示倍率の変化を 1 または 10 ずつにします。"_s);
    hint(
        bt100,
        u"100％ … 表示倍率を100％にします。 ※画像取り込みのとき，表示倍率を100％にして描画すると，描画した画像が取り込んだ画像とまったく同じになります。"_s);
    hint(sbShowMasu, u"罫線 … 罫線を表示/非表示します。"_s);
    hint(
        sbShowMihon,
        u"見本 … 見本画像（なぞりながら描画するための薄い下絵）を表示/非表示します。 ※表示するときは，現れた画像をドラッグして位置を決めて下さい。ボタンを放すと表示位置が確定します。"_s);
    hint(sbUndo, u"元に戻す … 最後に実行した操作を取り消します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<Z>"_s);
    hint(sbRedo, u"先に戻す … ［元に戻す］を取り消します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<Ctrl>+<Z>"_s);
    hint(sbClearAll, u"全消去 … 編集中の画像をすべて消去します。"_s);
    hint(
        sbSpoit,
        u"スポイト … クリックした場所の色をパレットに取り込みます。　※取り込んだ色は，パレット最上段「ｽﾎﾟ」に反映されます。"_s);
    hint(sbPallet, u"パレット色の変更 … 現在選択しているパレットの色を変更します。"_s);
    // The panels are the palette's face, so each carries its hint.
    const QString palette =
        u"パレット … 描画するときの色を選択します。描画したい色をクリックして下さい。 ※最上段は左から，黒色，白色（不透明），スポイトで取り込んだ色，消しゴム，です。"_s;
    hint(pnPallet, palette);
    for (QLabel* panel : pnC)
        hint(panel, palette);
    hint(pnPenStyle, u"線種 … 描画するときの線の種類を選択します。"_s);
    for (QLabel* panel : pnP)
        hint(panel, u"線種 … 描画するときの線の種類を選択します。"_s);
    hint(
        sbPen,
        u"ペン … フリーハンドで線を描画します。 ※最後に描画した図形を変形するかしないかを，［変形］のクリックで切り替えられます。"_s);
    hint(
        sbCircle,
        u"面 … 四角やだ円を描画します。<Shift>同時押しで正方形や円になります。 ※最後に描画した図形を変形するかしないかを，［変形］のクリックで切り替えられます。"_s);
    hint(rbRect, u"四角 … ［面］実行時に，四角を描画します。<Shift>同時押しで正方形になります。"_s);
    hint(rbEllip, u"だ円 … ［面］実行時に，だ円を描画します。<Shift>同時押しで円になります。"_s);
    hint(
        sbLine,
        u"線 … 直線や曲線を描画します。［曲率］=0のとき直線になります。<Shift>同時押しで水平や垂直になります。 ※最後に描画した図形を変形するかしないかを，［変形］のクリックで切り替えられます。"_s);
    hint(sbFloodFill, u"塗り … クリックした位置から境界線までをパレットで選択している色で塗りつぶします。"_s);
    hint(
        udPen,
        u"変形（線幅） … ［ペン］・［線］・［面］での線の太さを指定します。 ※最後に描画した図形を変形するかしないかを，［変形］のクリックで切り替えられます。"_s);
    hint(
        udLine,
        u"変形（曲率） … ［線］での曲がり具合を指定します。0のときは直線になります。 ※最後に描画した図形を変形するかしないかを，［変形］のクリックで切り替えられます。"_s);
    hint(
        pnLastReform,
        u"変形 … ここが緑色のときは，最後に描画した図形を変形（線幅，曲率）できます。赤色のときはできません。ここをクリックして緑/赤を切り替えることもできます。"_s);
    // The up-down and its edit are one control here, so each box carries the edit's hint.
    hint(udWidth,
         u"キャンバスの横幅 … キャンバスの横の長さを入力します。右の増減ボタンで指定することもできます。"_s);
    hint(udHeight,
         u"キャンバスの縦幅 … キャンバスの縦の長さを入力します。右の増減ボタンで指定することもできます。"_s);
    hint(
        cbChangeWhite,
        u"［ファイルを開く］，［画像取り込み］で，画像内側の透明白色を不透明白色にする … 画像を読み込むとき，画像の内側にある透明白色（完全白色）を不透明白色（完全白色に近い白色）にします。"_s);
}

QString TFormPictureEditor::hintOf(const QObject* component) const {
    if (auto* a = qobject_cast<const QAction*>(component)) return a->statusTip();
    if (auto* w = qobject_cast<const QWidget*>(component)) return w->statusTip();
    return {};
}

void TFormPictureEditor::FormCreate(const QStringList& arguments) {
    // 1. The near-whites.
    ResultPicture = QImage(1, 1, QImage::Format_RGB32);
    Palette::FindOpaqueWhites(OpaqueWhite, SecondWhite);
    Doc.Style.secondWhite = SecondWhite;

    // 2. A 24-bit canvas carries no palette.
    Doc.SetCanvasSize({600, 400});
    PaletteEntryCount = 0;

    // 3. The size boxes show the canvas without resizing it again.
    showCanvasSizeInBoxes();

    // 4. The grid.
    GridCellWidth = GridCellHeight = 20;
    GridColor = 0xC0C0C0;
    GridShown = false;

    // 8. The palette and the line kinds.
    {
        using Palette::rgb;
        const ColourText::TColor colours[PaletteSize] = {
            0x000000, OpaqueWhite, 0xFFFFFF, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00,
            0x000080, 0x008000,    0x800000, 0x808080, 0xE0FFE0, 0xBFDFFF, 0xB4D2F1, 0x5C8AB9, 0xBFBFFF};
        for (int i = 0; i < PaletteSize; ++i)
            SetPaletteColor(i, Palette::DeviceColorOf(colours[i]));
        pnC[2]->setText(u"ｽﾎﾟ"_s);
        pnC[3]->setText(u"消"_s);
        PaletteIndex = 0;
        SelectPaletteEntry(0);
        SelectLineKind(0);
    }

    // 7.
    MouseDragging = false;
    ClearSelection();

    // 10. The undo ring and the baseline.
    ResetUndo();
    IsChangedSinceSave(0);

    // 12. The pen is the starting tool.
    sbPen->setChecked(true);
    sbPenClick();

    // 13. The dialogs.
    MyOpenPictureDialog2 = std::make_unique<TMyOpenPictureDialog>();
    MySavePictureDialog2 = std::make_unique<TMySavePictureDialog>();
    MyOpenPictureDialog3 = std::make_unique<TMyOpenPictureDialog>();
    for (TMyFileDialog* d : std::initializer_list<TMyFileDialog*>{
             MyOpenPictureDialog2.get(), MySavePictureDialog2.get(), MyOpenPictureDialog3.get()}) {
        d->InitialDir = PictureFolder();
        d->Filter = PictureFilter;
        d->DefaultExt = u"bmp"_s;
        d->FilterIndex = 3;
    }
    MyOpenPictureDialog2->Title = u"開く"_s;
    MySavePictureDialog2->Title = u"名前を付けて保存"_s;
    MyOpenPictureDialog3->Title = u"見本画像を開く"_s;
    MySavePictureDialog2->OnCanClose = [this](const QString& name) {
        return MySavePictureDialog2CanClose(name);
    };
    MySavePictureDialog2->OnTypeChange = &TFormPictureEditor::MySavePictureDialog2TypeChange;
    // This program's dialogs only remove the separators from a typed name and fold "..".
    setFileNameCleanUp(CleanUpVariant::Easel);

    // 14.
    UpdateTitle();
    UpDown1Click();

    // 15.
    setHints();
    setRangeHints();
    UpdateModeIndicator();

    // The window: a client area of 869 x 631 below the menu bar, centred on the primary screen; on
    // a smaller screen the canvas area gives way, so that the whole window is on it.
    WindowPlacement::centre(*this, nullptr, QSize(869, 631 + menuBar()->sizeHint().height()),
                            WindowPlacement::Shrink::ToArea);
    qApp->installEventFilter(this);

    // 17. The command line. That picture is never reported to the caller.
    CallerReceiver = SavedPictureNotice::receiverFromEnvironment();
    if (!arguments.isEmpty()) {
        CallerClassName = arguments.size() > 1 ? arguments.at(1) : QString();
        OpenPictureFile(arguments.at(0));
    }
}

void TFormPictureEditor::FormShow() {
    // The arrow keys scroll the view unless a size box is being typed into.
    ScrollBox1->setFocus();
    Image1->update();
}

void TFormPictureEditor::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormShow();
}

void TFormPictureEditor::UpdateTitle(const QString& path) {
    setWindowTitle(TitleText(PaletteEntryCount, path));
}

void TFormPictureEditor::Exit3Click() {
    close();
}

void TFormPictureEditor::btCloseClick() {
    close();
}

bool TFormPictureEditor::FormClose() {
    // Told to end by the session manager: its request to keep the work asked already.
    return SessionEnd::closing() || ConfirmSaveChanges(true);
}

void TFormPictureEditor::closeEvent(QCloseEvent* event) {
    if (FormClose()) {
        PictureHold.release();
        event->accept();
    } else
        event->ignore();
}

bool TFormPictureEditor::ownsWidget(QObject* object) const {
    auto* w = qobject_cast<QWidget*>(object);
    return w && w->window() == this;
}

namespace {

// The keys a drag goes on through: the modifiers it reads (Shift locks an axis, Ctrl copies, Alt
// alone takes nothing yet) and the arrows that nudge the pointer.
bool keyOfTheGesture(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

// A window that takes the mouse or the keyboard from this one: a menu or a dialog (not a hint).
bool takesInput(const QObject* watched)
{
    const auto* w = qobject_cast<const QWidget*>(watched);
    if (!w || !w->isWindow())
        return false;
    const Qt::WindowType type = w->windowType();
    return type == Qt::Popup || type == Qt::Dialog || type == Qt::Window || type == Qt::Sheet || w->isModal();
}

} // namespace

bool TFormPictureEditor::eventFilter(QObject* watched, QEvent* event) {
    // A gesture ends when anything else takes the mouse or the keyboard.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (!ownsWidget(watched))
            break;
        // Another button: the press ends the gesture and does nothing more.
        if (EndMouseGesture()) {
            m_pressEndedGesture = true;
            return true;
        }
        m_pressEndedGesture = false;
        break;
    case QEvent::ContextMenu:
        if (m_pressEndedGesture && ownsWidget(watched)
            && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse) {
            m_pressEndedGesture = false;
            return true;
        }
        break;
    case QEvent::MouseMove:
        // The left button's release went elsewhere (a menu took it): the gesture is over.
        if (ownsWidget(watched) && !(static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton))
            EndMouseGesture();
        break;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
        if (ownsWidget(watched) && !keyOfTheGesture(static_cast<QKeyEvent*>(event)->key()))
            EndMouseGesture();
        break;
    case QEvent::Show:
        if (watched != this && takesInput(watched))
            EndMouseGesture();
        break;
    case QEvent::WindowDeactivate:
        if (watched == this)
            EndMouseGesture();
        break;
    default:
        break;
    }
    // The form sees keys before the focused control, and the wheel anywhere over the view.
    if (event->type() == QEvent::KeyPress && ownsWidget(watched) && !PopupKeys::forPopup(watched)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (FormKeyDown(key->key(), key->modifiers())) return true;
    } else if (event->type() == QEvent::KeyRelease && ownsWidget(watched)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat())
            FormKeyUp(key->key());
    } else if (event->type() == QEvent::WindowDeactivate && watched == this) {
        ShiftHeld = false;
    } else if (event->type() == QEvent::Wheel && ownsWidget(watched)) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->angleDelta().y() != 0 &&
            CMMouseWheel(wheel->globalPosition().toPoint(), wheel->angleDelta().y()))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormPictureEditor::sbClearAllClick() {
    if (Doc.isEmpty()) return;
    if (Prompter::ask(this, u"すべて消去します。いいですか。"_s, Prompter::Buttons::YesCancel) ==
        Prompter::Answer::Cancel)
        return;
    ClearSelection();
    PlaceLayerHandles();
    Doc.FreeShapeList();
    CurrentShape = nullptr;
    ClearShapeClipboard();
    // The background stays in the document, left out of the canvas until the canvas changes size;
    // being part of each undo step, the clear is undone and redone, and counts as a change to save.
    Doc.BackgroundCleared = Doc.hasBackground();
    Doc.RerenderCanvas();
    Image1->update();
    PushUndoSnapshot();
}

void TFormPictureEditor::btOKClick() {
    CopySelectionToBitmap(ResultPicture, Doc.CanvasBitmap, Shapes::TransparentWhite, true);
    ClearSelection();
    PickShapesAt({0, 0});
    RestoreRememberedTool();
    ModalResult = 1;
}

void TFormPictureEditor::btCancelClick() {
    ModalResult = 2;
}

void TFormPictureEditor::CopySelectionToBitmap(QImage& dest, const QImage& source,
                                               ColourText::TColor fillColor, bool useSelection) {
    const QRect range = useSelection ? RangeInPicture() : QRect();
    const QRect r = range.isEmpty() ? source.rect() : range;
    dest = QImage(r.size(), QImage::Format_RGB32);
    dest.fill(ColourText::toQRgb(fillColor));
    QPainter p(&dest);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (!range.isEmpty() && FreeFormSelection && !SelectionPoints.empty()) {
        QPolygon polygon;
        for (const QPoint& pt : SelectionPoints)
            polygon << ScreenToImagePoint(pt) - r.topLeft();
        QPainterPath path;
        path.addPolygon(polygon);
        path.setFillRule(Qt::OddEvenFill);
        p.setClipPath(path);
    }
    p.drawImage(QPoint(0, 0), source, r);
}

void TFormPictureEditor::ResetUndo() {
    Undo.Reset(Doc.Snapshot());
    if (pnLastReform)
        SetDeformState(false, false);
    updateUndoButtons();
}

void TFormPictureEditor::PushUndoSnapshot() {
    if (!Undo.Push(Doc.Snapshot())) return;
    if (Undo.BakeUnreachable(Doc) > 0) {
        // A baked record has left the list.
        const auto held = std::find_if(Doc.ShapeList.begin(), Doc.ShapeList.end(),
                                       [this](const auto& r) { return r.get() == CurrentShape; });
        if (held == Doc.ShapeList.end())
            CurrentShape = Doc.ShapeList.empty() ? nullptr : Doc.ShapeList.back().get();
    }
    if (FreeFormSelection) SelectionPoints.clear();
    SetDeformState(false, false);
    updateUndoButtons();
}

bool TFormPictureEditor::IsChangedSinceSave(int mode) {
    if (mode == 0) {
        Undo.StoreBaseline(Doc.Snapshot());
        return false;
    }
    return mode == 1 && Undo.IsChanged(Doc.Snapshot());
}

bool TFormPictureEditor::RestoreUndoSnapshot()
{
    const QPoint scroll = ScrollBox1->scrollPosition();
    // A snapshot that cannot be read whole leaves the document as it was.
    if (!Doc.RestoreSnapshot(Undo.Current())) {
        Prompter::error(this, u"内部データエラー"_s);
        return false;
    }
    CurrentShape = Doc.ShapeList.empty() ? nullptr : Doc.ShapeList.back().get();
    showCanvasSizeInBoxes();
    canvasSizeChanged(scroll);
    DrawMode = ToolMode;
    Image1->update();
    SetDeformState(false, false);
    ClearSelection();
    PickShapesAt({0, 0});
    return true;
}

void TFormPictureEditor::sbUndoClick() {
    // A drag under way is a change of its own, undone next.
    EndMouseGesture();
    CommitPendingDeform(true);
    // The ring stays at the step the document shows.
    if (Undo.Undo() && !RestoreUndoSnapshot())
        Undo.Redo();
    updateUndoButtons();
    PopupJustClosed = false;
}

void TFormPictureEditor::sbRedoClick() {
    EndMouseGesture();
    if (Undo.Redo() && !RestoreUndoSnapshot())
        Undo.Undo();
    updateUndoButtons();
    PopupJustClosed = false;
}

void TFormPictureEditor::updateUndoButtons() {
    if (sbUndo) sbUndo->setEnabled(CanUndo());
    if (sbRedo) sbRedo->setEnabled(CanRedo());
}
