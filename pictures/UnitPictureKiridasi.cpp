#include "UnitPictureKiridasi.h"

#include "BmpPicture.h"
#include "JpegPicture.h"
#include "MyFileDialogs.h"
#include "PointerPixel.h"
#include "PopupKeys.h"
#include "ProgramFolder.h"
#include "Prompter.h"
#include "WindowPlacement.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

const QString Caption = u"画像サイズの修正"_s;
const QString PictureFilter = u"BMP ﾌｧｲﾙ (*.bmp)|*.bmp|JPEG ﾌｧｲﾙ (*.jpg)|*.jpg|全種類 (*.bmp, *.jpg)|*.bmp;*.jpg"_s;
constexpr int WheelNotch = 120;
constexpr int FrameLineWidth = 4;
// The form when not maximised, where the screen has room for it.
constexpr QSize DesignedSize(1000, 690);

} // namespace

// The scrolled content: the zoomed picture at its position and the cut frame over it, both drawn
// from the view's state. Only the part on screen (with a margin for scrolling) is ever stretched.
class KiridasiCanvas : public QWidget {
public:
    explicit KiridasiCanvas(TFormPictureKiridasi& form) : m_form(form)
    {
        setFocusPolicy(Qt::NoFocus);
        setAutoFillBackground(false);
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QPainter p(this);
        const QRect exposed = e->rect();
        p.fillRect(exposed, palette().color(QPalette::Window));
        const CutView& view = m_form.m_view;
        const QImage& work = m_form.WorkBitmap;
        const QRect need = exposed & view.displayRect();
        if (!work.isNull() && !need.isEmpty()) {
            // The cache lives in display coordinates, so moving the picture does not re-stretch it.
            const QRect needDisplay = need.translated(-view.picturePos());
            if (m_key != work.cacheKey() || m_display != view.displaySize() || !m_rect.contains(needDisplay)) {
                QRect visible = visibleRegion().boundingRect();
                visible = visible.adjusted(-Margin, -Margin, Margin, Margin).translated(-view.picturePos());
                m_rect = (visible & QRect(QPoint(0, 0), view.displaySize())) | needDisplay;
                m_cache = CutView::stretch(work, view.displaySize(), m_rect);
                m_key = work.cacheKey();
                m_display = view.displaySize();
            }
            const QRect from = needDisplay.translated(-m_rect.topLeft());
            // An adjustment's preview: the stretched pixels on screen through the tables, so a bar
            // step costs what is shown. Taken after the stretch, a shrunk pixel can differ from the
            // adjusted picture's by rounding, or more where it averages clipped ones; OK shows the
            // exact result.
            if (m_form.m_effectPreview)
                p.drawImage(need.topLeft(), TFormPicEffect::Adjust(m_cache.copy(from), *m_form.m_effectPreview));
            else
                p.drawImage(need.topLeft(), m_cache, from);
        }
        const QRect f = view.frameRect();
        const QColor c = m_form.FrameColor;
        const int line = std::min({FrameLineWidth, f.width(), f.height()});
        p.fillRect(QRect(f.left(), f.top(), f.width(), line), c);
        p.fillRect(QRect(f.left(), f.bottom() - line + 1, f.width(), line), c);
        p.fillRect(QRect(f.left(), f.top(), line, f.height()), c);
        p.fillRect(QRect(f.right() - line + 1, f.top(), line, f.height()), c);
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        // Focus leaves the edits, so that the arrow keys reach the form.
        m_form.bbSelect->setFocus();
        if (e->button() == Qt::LeftButton)
            m_form.m_view.beginDrag(PointerPixel::pixelAt(PointerPixel::exactPosition(*e, *this)));
    }

    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (!(e->buttons() & Qt::LeftButton) || !m_form.m_view.dragging())
            return;
        m_form.m_view.dragTo(PointerPixel::pixelAt(PointerPixel::exactPosition(*e, *this)));
        m_form.syncToWidgets();
    }

    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            m_form.m_view.endDrag();
    }

private:
    static constexpr int Margin = 128;
    TFormPictureKiridasi& m_form;
    QImage m_cache;
    QRect m_rect;
    qint64 m_key = 0;
    QSize m_display;
};

TFormPictureKiridasi::TFormPictureKiridasi(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormPictureKiridasi"_s);
    setWindowTitle(Caption);
    buildControls();
    buildMenu();
    connectControls();

    // The form sees keys before its controls.
    for (QWidget* w : findChildren<QWidget*>())
        if (!w->isWindow())
            w->installEventFilter(this);

    FormCreate();
}

TFormPictureKiridasi::~TFormPictureKiridasi() = default;

void TFormPictureKiridasi::buildControls()
{
    const auto button = [this](const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setAutoDefault(false);
        return b;
    };
    const auto spin = [this](int min, int max, int value) {
        auto* s = new QSpinBox(this);
        s->setRange(min, max);
        s->setValue(value);
        // A typed value counts as soon as it is typed, as the edit and up-down pair's does: a menu
        // key that follows without leaving the box acts on it.
        s->setKeyboardTracking(true);
        return s;
    };

    UpDown1 = spin(CutView::MinZoom, CutView::MaxZoom, 100);
    CheckBox1 = button(u"1"_s);
    CheckBox1->setCheckable(true);
    CheckBox1->setFixedWidth(CheckBox1->fontMetrics().horizontalAdvance(u"100"_s) + 16);
    bbYoko = button(u"横"_s);
    bbTate = button(u"縦"_s);
    bbFit = button(u"密着"_s);
    bbWakuLeftTop = button(u"移動"_s);
    UpDown2 = spin(CutView::MinFrameSide, CutView::MaxFrameSide, 400);
    UpDown3 = spin(CutView::MinFrameSide, CutView::MaxFrameSide, 225);
    bbLeftTop = button(u"左上"_s);
    bbSelectColor = button(u"色"_s);
    bbSelect = button(u"切り出す"_s);
    bbUndo = button(u"戻す"_s);
    bbReStart = button(u"最初から"_s);
    btOK = button(u"OK"_s);
    btCancel = button(u"ｷｬﾝｾﾙ"_s);

    auto* picture = new QGroupBox(u"画像"_s, this);
    auto* pictureRow = new QHBoxLayout(picture);
    pictureRow->addWidget(new QLabel(u"倍率"_s, picture));
    pictureRow->addWidget(UpDown1);
    pictureRow->addWidget(new QLabel(u"％  増分"_s, picture));
    pictureRow->addWidget(CheckBox1);
    pictureRow->addSpacing(12);
    pictureRow->addWidget(new QLabel(u"枠に収納"_s, picture));
    for (QWidget* w : {bbYoko, bbTate, bbFit})
        pictureRow->addWidget(w);
    pictureRow->addSpacing(12);
    pictureRow->addWidget(new QLabel(u"枠に"_s, picture));
    pictureRow->addWidget(bbWakuLeftTop);

    auto* frame = new QGroupBox(u"切り出し枠"_s, this);
    auto* frameRow = new QHBoxLayout(frame);
    frameRow->addWidget(new QLabel(u"横"_s, frame));
    frameRow->addWidget(UpDown2);
    frameRow->addWidget(new QLabel(u"縦"_s, frame));
    frameRow->addWidget(UpDown3);
    frameRow->addWidget(bbLeftTop);
    frameRow->addWidget(bbSelectColor);

    auto* tools = new QHBoxLayout;
    tools->addWidget(picture);
    tools->addWidget(frame);
    tools->addStretch();

    auto* actions = new QHBoxLayout;
    for (QWidget* w : {bbSelect, bbUndo, bbReStart})
        actions->addWidget(w);
    actions->addStretch();
    actions->addWidget(btOK);
    actions->addWidget(btCancel);

    Image1 = new KiridasiCanvas(*this);
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setWidget(Image1);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->horizontalScrollBar()->setSingleStep(CutView::ScrollStep);
    ScrollBox1->verticalScrollBar()->setSingleStep(CutView::ScrollStep);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 0);
    root->addLayout(tools);
    root->addLayout(actions);
    root->addWidget(ScrollBox1, 1);
    root->addWidget(StatusBar1);
}

void TFormPictureKiridasi::buildMenu()
{
    MainMenu1 = new QMenuBar(this);
    layout()->setMenuBar(MainMenu1);
    using Handler = void (TFormPictureKiridasi::*)();
    const auto item = [this](QMenu* menu, const QString& caption, const QString& keys, Handler slot) {
        QAction* a = menu->addAction(caption);
        if (!keys.isEmpty())
            a->setShortcut(QKeySequence(keys));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };

    QMenu* file = MainMenu1->addMenu(u"ファイル(&F)"_s);
    mmOpen = item(file, u"開く(&O)"_s, u"Ctrl+O"_s, &TFormPictureKiridasi::sbOpenClick);
    Save1 = item(file, u"保存(&S)"_s, u"Ctrl+S"_s, &TFormPictureKiridasi::Save1Click);
    file->addSeparator();
    Exit1 = item(file, u"終了 - ［OK］(&X)"_s, u"F4"_s, &TFormPictureKiridasi::btOKClick);
    Exit2 = item(file, u"終了 - ［ｷｬﾝｾﾙ］(&Q)"_s, u"Esc"_s, &TFormPictureKiridasi::btCancelClick);

    QMenu* edit = MainMenu1->addMenu(u"編集(&E)"_s);
    mmSelect = item(edit, u"切り出す(&V)"_s, u"Ctrl+V"_s, &TFormPictureKiridasi::bbSelectClick);
    Undo1 = item(edit, u"戻す(&Z)"_s, u"Ctrl+Z"_s, &TFormPictureKiridasi::bbUndoClick);
    X1 = item(edit, u"最初から(&X)"_s, u"Ctrl+X"_s, &TFormPictureKiridasi::bbReStartClick);

    QMenu* picture = MainMenu1->addMenu(u"画像(&G)"_s);
    N4 = item(picture, u"枠に収納 - 横(&Y)"_s, u"Ctrl+Y"_s, &TFormPictureKiridasi::bbYokoClick);
    N5 = item(picture, u"枠に収納 - 縦(&T)"_s, u"Ctrl+T"_s, &TFormPictureKiridasi::bbTateClick);
    M2 = item(picture, u"枠に収納 - 密着(&M)"_s, u"Ctrl+M"_s, &TFormPictureKiridasi::bbFitClick);
    picture->addSeparator();
    M1 = item(picture, u"枠に移動(&W)"_s, u"Ctrl+W"_s, &TFormPictureKiridasi::bbWakuLeftTopClick);

    QMenu* frame = MainMenu1->addMenu(u"枠(&K)"_s);
    N9 = item(frame, u"左上に移動(&H)"_s, u"Ctrl+H"_s, &TFormPictureKiridasi::bbLeftTopClick);
    N6 = item(frame, u"枠 - 色(&I)"_s, u"Ctrl+I"_s, &TFormPictureKiridasi::bbSelectColorClick);

    Effect = MainMenu1->addAction(u"色・明るさ調整(&M)"_s);
    connect(Effect, &QAction::triggered, this, &TFormPictureKiridasi::EffectClick);
}

void TFormPictureKiridasi::connectControls()
{
    connect(bbYoko, &QPushButton::clicked, this, &TFormPictureKiridasi::bbYokoClick);
    connect(bbTate, &QPushButton::clicked, this, &TFormPictureKiridasi::bbTateClick);
    connect(bbFit, &QPushButton::clicked, this, &TFormPictureKiridasi::bbFitClick);
    connect(bbWakuLeftTop, &QPushButton::clicked, this, &TFormPictureKiridasi::bbWakuLeftTopClick);
    connect(bbLeftTop, &QPushButton::clicked, this, &TFormPictureKiridasi::bbLeftTopClick);
    connect(bbSelectColor, &QPushButton::clicked, this, &TFormPictureKiridasi::bbSelectColorClick);
    connect(bbSelect, &QPushButton::clicked, this, &TFormPictureKiridasi::bbSelectClick);
    connect(bbUndo, &QPushButton::clicked, this, &TFormPictureKiridasi::bbUndoClick);
    connect(bbReStart, &QPushButton::clicked, this, &TFormPictureKiridasi::bbReStartClick);
    connect(btOK, &QPushButton::clicked, this, &TFormPictureKiridasi::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TFormPictureKiridasi::btCancelClick);

    connect(CheckBox1, &QPushButton::toggled, this, [this](bool checked) {
        CheckBox1->setText(checked ? u"10"_s : u"1"_s);
        m_view.setZoomIncrement(checked ? 10 : 1);
        UpDown1->setSingleStep(m_view.zoomIncrement());
    });
    connect(UpDown1, &QSpinBox::valueChanged, this, [this](int value) {
        m_view.setZoomPosition(value);
        UpDown1Click();
    });
    const auto frameSize = [this] {
        m_view.setFrameSize({UpDown2->value(), UpDown3->value()});
        syncToWidgets();
    };
    connect(UpDown2, &QSpinBox::valueChanged, this, frameSize);
    connect(UpDown3, &QSpinBox::valueChanged, this, frameSize);

    // The user's own scrolling; the form's are made while m_syncing is set.
    const auto scrolled = [this] {
        if (!m_syncing)
            m_view.setScroll({ScrollBox1->horizontalScrollBar()->value(), ScrollBox1->verticalScrollBar()->value()});
    };
    connect(ScrollBox1->horizontalScrollBar(), &QScrollBar::valueChanged, this, scrolled);
    connect(ScrollBox1->verticalScrollBar(), &QScrollBar::valueChanged, this, scrolled);
}

QString TFormPictureKiridasi::FormHint()
{
    return u"操作 【1】画像ファイルを開く。 【2】［倍率］で開いた画像の大きさを調節。 【3】切り出し枠をマウスドラッグまたは矢印キーで，取り込む範囲を決める。 【4】［切り出す］ﾎﾞﾀﾝで切り出す。 【5】［OK］ﾎﾞﾀﾝで確定。"_s;
}

void TFormPictureKiridasi::setHints()
{
    setStatusTip(FormHint());
    CheckBox1->setStatusTip(u"画像 - 倍率増分 … 倍率の変化を 1 または 10 ずつにします。"_s);
    UpDown1->setStatusTip(u"画像 - 倍率 … 画像を拡大・縮小します。　【ｷｰﾎﾞｰﾄﾞ】<PageUp>, <PageDown>"_s);
    bbYoko->setStatusTip(
        u"画像 - 枠に収納 - 横 … 画像の横の長さが，切り出し枠の横の長さと同じになるように，画像を拡大・縮小します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<Y>"_s);
    bbTate->setStatusTip(
        u"画像 - 枠に収納 - 縦 … 画像の縦の長さが，切り出し枠の縦の長さと同じになるように，画像を拡大・縮小します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<T>"_s);
    bbFit->setStatusTip(
        u"画像 - 枠に収納 - 密着 … 画像が切り出し枠と同じ大きさになるように拡大・縮小します。倍率は，長い辺に合わせて変更されます。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<M>"_s);
    bbWakuLeftTop->setStatusTip(u"画像 - 枠に移動 … 画像を切り出し枠の位置に移動します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<W>"_s);
    bbLeftTop->setStatusTip(
        u"枠 - 左上に移動 … 切り出し枠（切り出す範囲を囲む枠）を画面の左上に移動します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<H> ※枠は<矢印>ｷｰでも移動できます。"_s);
    UpDown2->setStatusTip(
        u"枠 - 横 … 切り出し枠（切り出す範囲を囲む枠）の横の長さを指定します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<矢印>ｷｰ"_s);
    UpDown3->setStatusTip(
        u"枠 - 縦 … 切り出し枠（切り出す範囲を囲む枠）の縦の長さを指定します。　【ｷｰﾎﾞｰﾄﾞ】<Shift>+<矢印>ｷｰ"_s);
    bbSelectColor->setStatusTip(
        u"枠 - 色 … 切り出し枠（切り出す範囲を囲む枠）の色を指定します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<I>"_s);
    bbSelect->setStatusTip(
        u"切り出す … 現在の画像から，切り出し枠で囲まれた範囲だけを切り出します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<V>"_s);
    bbUndo->setStatusTip(u"戻す … 直前に行った切り出しを取り消します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<Z>"_s);
    bbReStart->setStatusTip(u"最初から … 最初の状態に戻します。　【ｷｰﾎﾞｰﾄﾞ】<Ctrl>+<X>"_s);
    btOK->setStatusTip(u"OK … 操作を確定します。　【ｷｰﾎﾞｰﾄﾞ】<F4>"_s);
    btCancel->setStatusTip(u"ｷｬﾝｾﾙ … 操作を破棄して，このフォームを閉じます。　【ｷｰﾎﾞｰﾄﾞ】<Esc>"_s);
}

void TFormPictureKiridasi::FormCreate()
{
    resize(DesignedSize);

    MyOpenPictureDialog1 = std::make_unique<TMyOpenPictureDialog>();
    MyOpenPictureDialog1->Title = u"画像を開く"_s;
    MyOpenPictureDialog1->Filter = PictureFilter;
    MyOpenPictureDialog1->DefaultExt = u"bmp"_s;
    MyOpenPictureDialog1->FilterIndex = 3;
    MySavePictureDialog1 = std::make_unique<TMySavePictureDialog>();
    MySavePictureDialog1->Title = u"画像を保存する"_s;
    MySavePictureDialog1->InitialDir = MyOpenPictureDialog1->InitialDir;
    MySavePictureDialog1->Filter = MyOpenPictureDialog1->Filter;
    MySavePictureDialog1->DefaultExt = MyOpenPictureDialog1->DefaultExt;
    MySavePictureDialog1->FilterIndex = MyOpenPictureDialog1->FilterIndex;
    MySavePictureDialog1->OnCanClose = [this](const QString& name) { return MySavePictureDialog1CanClose(name); };
    MySavePictureDialog1->OnTypeChange = [](int index, const QString& name) { return TypeChangeName(index, name); };

    setHints();
    FrameColor = Qt::black;
    PictureFileName.clear();
    LastRequiredWidth = 0;
    CutSaved = true;
    RequiredWidth = 400;
    RequiredHeight = 225;
    m_view.setFrameSize({RequiredWidth, RequiredHeight});
    ResetView();
    StatusBar1->showMessage(FormHint());
}

int TFormPictureKiridasi::ShowModal()
{
    // Maximised at the first showing rather than at creation: a hidden window that is already
    // maximised moved the main window shown next to it off its place (seen offscreen). Each showing
    // it opens on its opener's screen, where the window manager maximises it; its size when not
    // maximised lies wholly on that screen too.
    const bool maximised = m_firstShow || isMaximized();
    m_firstShow = false;
    setWindowState(windowState() & ~Qt::WindowMaximized);
    WindowPlacement::centre(*this, WindowPlacement::openerOf(*this, parentWidget()), DesignedSize,
                            WindowPlacement::Shrink::ToArea);
    if (maximised)
        setWindowState(windowState() | Qt::WindowMaximized);
    FormShow();
    return Prompter::backend().execModal(*this);
}

void TFormPictureKiridasi::FormShow()
{
    if (RequiredWidth != LastRequiredWidth) {
        WorkBitmap = QImage();
        ResetView();
        LastRequiredWidth = RequiredWidth;
    }
    if (!QFileInfo(PictureFileName).isFile() || !LoadPicture(PictureFileName)) {
        WorkBitmap = QImage();
        LoadedBitmap = QImage();
        CutSaved = true;
        ResetView();
    }
    UpdateCaption();
    m_view.setFrameSize({RequiredWidth, RequiredHeight});
    m_view.endDrag();
    m_wheelRest = 0;
    syncToWidgets();
    StatusBar1->showMessage(FormHint());
    bbSelect->setFocus();
}

bool TFormPictureKiridasi::LoadPicture(const QString& path)
{
    if (!PictureFile::isSupportedName(path)) {
        Prompter::warn(this, PictureFile::refusedNameMessage(path, PictureFile::NameUse::Open));
        return false;
    }
    QString why;
    const QImage picture = PictureFile::load(path, &why);
    if (picture.isNull()) {
        Prompter::warn(this, why);
        return false;
    }
    LoadedBitmap = JpegPicture::opaqueRgb32(picture);
    WorkBitmap = LoadedBitmap;
    ResetView();
    UpDown1Click();
    CutSaved = true;
    return true;
}

void TFormPictureKiridasi::UpdateCaption()
{
    QString caption = Caption;
    if (!PictureFileName.isEmpty() && QFileInfo(PictureFileName).isFile())
        caption += u" ～ "_s + ProgramFolder::resolveExeRelativePath(PictureFileName, true);
    setWindowTitle(caption);
}

void TFormPictureKiridasi::ResetView()
{
    m_view.resetView();
    syncToWidgets();
}

void TFormPictureKiridasi::UpDown1Click(CutView::Fit fit)
{
    m_view.redisplay(WorkBitmap.size(), fit);
    syncToWidgets();
}

void TFormPictureKiridasi::ZoomStep(int direction)
{
    m_view.stepZoom(direction, WorkBitmap.size());
    syncToWidgets();
}

void TFormPictureKiridasi::bbWakuLeftTopClick()
{
    m_view.pictureToFrame();
    syncToWidgets();
}

void TFormPictureKiridasi::bbLeftTopClick()
{
    m_view.frameToTopLeft();
    syncToWidgets();
}

void TFormPictureKiridasi::bbSelectColorClick()
{
    if (const auto colour = Prompter::backend().colourDialog(this, FrameColor)) {
        FrameColor = *colour;
        Image1->update();
    }
}

void TFormPictureKiridasi::bbSelectClick()
{
    if (WorkBitmap.isNull())
        return;
    WorkBitmap = m_view.cut(WorkBitmap);
    CutSaved = false;
    syncToWidgets();
}

void TFormPictureKiridasi::bbUndoClick()
{
    // Also reached by Ctrl+Z, which must do nothing while the button is off.
    if (!m_view.cutInEffect())
        return;
    WorkBitmap = LoadedBitmap;
    m_view.undo(LoadedBitmap.size());
    syncToWidgets();
}

void TFormPictureKiridasi::bbReStartClick() { FormShow(); }

void TFormPictureKiridasi::btOKClick() { done(QDialog::Accepted); }

void TFormPictureKiridasi::btCancelClick() { done(QDialog::Rejected); }

void TFormPictureKiridasi::done(int result)
{
    if (result == QDialog::Accepted && !m_view.cutInEffect()) {
        Prompter::backend().sound(Prompter::Sound::Asterisk);
        Prompter::backend().message(this, u"［切り出す］を実行して下さい。"_s, Prompter::Buttons::Ok,
                                    Prompter::Kind::Question);
        return;
    }
    m_view.endDrag();
    QDialog::done(result);
}

void TFormPictureKiridasi::sbOpenClick()
{
    if (!CutSaved) {
        switch (Prompter::ask(this, u"［切り出す］を実行した画像が保存さていません。保存しますか。"_s,
                              Prompter::Buttons::YesNoCancel)) {
        case Prompter::Answer::Yes:
            Save1Click();
            break;
        case Prompter::Answer::No:
            break;
        default:
            return;
        }
    }
    MyOpenPictureDialog1->FileName = PictureFileName;
    if (MyOpenPictureDialog1->InitialDir.isEmpty() && !PictureFileName.isEmpty())
        MyOpenPictureDialog1->InitialDir = QFileInfo(PictureFileName).absolutePath();
    if (!MyOpenPictureDialog1->Execute(this))
        return;
    // A refused picture leaves both the picture and its name as they were.
    if (!LoadPicture(MyOpenPictureDialog1->FileName))
        return;
    PictureFileName = MyOpenPictureDialog1->FileName;
    UpdateCaption();
}

void TFormPictureKiridasi::Save1Click()
{
    if (PictureFileName.isEmpty())
        return;
    MySavePictureDialog1->FileName = PictureFileName;
    const int filterIndex = MySavePictureDialog1->FilterIndex;
    if (!MySavePictureDialog1->Execute(this)) {
        MySavePictureDialog1->FilterIndex = filterIndex;
        return;
    }
    if (SavePictureAs(MySavePictureDialog1->FileName)) {
        PictureFileName = MySavePictureDialog1->FileName;
        UpdateCaption();
        CutSaved = true;
    }
}

void TFormPictureKiridasi::EffectClick()
{
    TFormPicEffect* form = TFormPicEffect::current();
    if (!form || WorkBitmap.isNull())
        return;
    form->ShowModal(*this);
}

void TFormPictureKiridasi::EffectRedisplay()
{
    Image1->update();
}

bool TFormPictureKiridasi::EffectPreview(const PicEffectTables* tables)
{
    m_effectPreview = tables ? std::optional(*tables) : std::nullopt;
    Image1->update();
    return true;
}

bool TFormPictureKiridasi::MySavePictureDialog1CanClose(const QString& fileName)
{
    return ConfirmOverwrite(this, fileName, fileName);
}

QString TFormPictureKiridasi::TypeChangeName(int filterIndex, const QString& currentName)
{
    const QString extension = filterIndex == 1 ? u".bmp"_s : filterIndex == 2 ? u".jpg"_s : QString();
    // The box may hold a typed path with either separator; only its last part is the name.
    QString name = currentName.mid(std::max(currentName.lastIndexOf(u'/'), currentName.lastIndexOf(u'\\')) + 1);
    if (extension.isEmpty() || name.isEmpty())
        return currentName;
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    return name + extension;
}

bool TFormPictureKiridasi::SavePictureAs(const QString& path)
{
    if (!PictureFile::isSupportedName(path)) {
        Prompter::warn(this, PictureFile::refusedNameMessage(path, PictureFile::NameUse::Save));
        return false;
    }
    QString why;
    if (!PictureFile::save(path, WorkBitmap, JpegPicture::DefaultQuality, &why)) {
        Prompter::warn(this, u"画像ファイルを保存できません。\r\n"_s + why);
        return false;
    }
    return true;
}

void TFormPictureKiridasi::moveFrameByArrow(CutView::Arrow key, bool shift)
{
    m_view.arrow(key, shift);
    syncToWidgets();
}

bool TFormPictureKiridasi::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool plain = !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    // Arrow keys belong to an edit or up-down that has the focus.
    QWidget* focus = focusWidget();
    const bool editing = qobject_cast<QAbstractSpinBox*>(focus) || qobject_cast<QLineEdit*>(focus);
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (editing)
            return false;
        const CutView::Arrow arrow = key == Qt::Key_Left    ? CutView::Arrow::Left
                                     : key == Qt::Key_Right ? CutView::Arrow::Right
                                     : key == Qt::Key_Up    ? CutView::Arrow::Up
                                                            : CutView::Arrow::Down;
        moveFrameByArrow(arrow, shift);
        return true;
    }
    case Qt::Key_Alt:
        bbSelect->setFocus();
        return true;
    case Qt::Key_Escape:
        btCancelClick();
        return true;
    case Qt::Key_F4:
        btOKClick();
        return true;
    case Qt::Key_PageUp:
        ZoomStep(1);
        return true;
    case Qt::Key_PageDown:
        ZoomStep(-1);
        return true;
    case Qt::Key_A:
    case Qt::Key_D:
    case Qt::Key_W:
    case Qt::Key_X:
    case Qt::Key_Z: {
        if (!plain)
            return false;
        const int dx = key == Qt::Key_A ? -CutView::ScrollStep : key == Qt::Key_D ? CutView::ScrollStep : 0;
        const int dy = key == Qt::Key_W                          ? -CutView::ScrollStep
                       : (key == Qt::Key_X || key == Qt::Key_Z) ? CutView::ScrollStep
                                                                : 0;
        m_view.scrollBy(dx, dy);
        syncToWidgets();
        return true;
    }
    default:
        return false;
    }
}

bool TFormPictureKiridasi::MouseWheel(QPoint boxPos, int delta)
{
    // Fine-grained wheels send parts of a notch; the zones act once per whole notch.
    m_wheelRest += delta;
    while (std::abs(m_wheelRest) >= WheelNotch) {
        const int sign = m_wheelRest > 0 ? 1 : -1;
        m_view.wheel(boxPos, ScrollBox1->size(), sign, WorkBitmap.size());
        m_wheelRest -= sign * WheelNotch;
    }
    syncToWidgets();
    return true;
}

void TFormPictureKiridasi::syncToWidgets()
{
    m_syncing = true;
    {
        const QSignalBlocker b1(UpDown1), b2(UpDown2), b3(UpDown3);
        UpDown1->setSingleStep(m_view.zoomIncrement());
        UpDown1->setValue(m_view.zoomPosition());
        UpDown2->setValue(m_view.frameRect().width());
        UpDown3->setValue(m_view.frameRect().height());
    }
    bbUndo->setEnabled(m_view.cutInEffect());
    Image1->resize(m_view.contentSize());
    m_view.setScroll(m_view.scroll());
    ScrollBox1->horizontalScrollBar()->setValue(m_view.scroll().x());
    ScrollBox1->verticalScrollBar()->setValue(m_view.scroll().y());
    Image1->update();
    m_syncing = false;
}

bool TFormPictureKiridasi::event(QEvent* e)
{
    if (e->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        StatusBar1->showMessage(tip.isEmpty() ? FormHint() : tip);
        return true;
    }
    return QDialog::event(e);
}

bool TFormPictureKiridasi::eventFilter(QObject* watched, QEvent* e)
{
    QWidget* viewport = ScrollBox1 ? ScrollBox1->viewport() : nullptr;
    switch (e->type()) {
    case QEvent::Resize:
        if (watched == viewport)
            m_view.setViewport(viewport->size());
        break;
    case QEvent::MouseButtonPress:
        if (watched == viewport || watched == ScrollBox1)
            bbSelect->setFocus();
        break;
    case QEvent::Wheel:
        if (watched == viewport || watched == Image1) {
            const auto* wheel = static_cast<QWheelEvent*>(e);
            return MouseWheel(ScrollBox1->mapFromGlobal(wheel->globalPosition().toPoint()), wheel->angleDelta().y());
        }
        break;
    case QEvent::ShortcutOverride: {
        // The menu's shortcuts win over an edit's own (Ctrl+V, Ctrl+Z, Ctrl+X ...), as the form
        // handles them first.
        const auto* key = static_cast<QKeyEvent*>(e);
        const QKeySequence pressed(QKeyCombination(key->modifiers(), Qt::Key(key->key())));
        for (const QAction* a : {mmOpen, Save1, Exit1, Exit2, mmSelect, Undo1, X1, N4, N5, M2, M1, N9, N6})
            if (a->shortcut() == pressed)
                return true;
        break;
    }
    case QEvent::KeyPress: {
        // The menu bar keeps its own arrow keys while the user walks its menus.
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this && !qobject_cast<QMenuBar*>(w) && !PopupKeys::forPopup(w)) {
            const auto* key = static_cast<QKeyEvent*>(e);
            if (FormKeyDown(key->key(), key->modifiers()))
                return true;
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, e);
}

void TFormPictureKiridasi::keyPressEvent(QKeyEvent* e)
{
    if (FormKeyDown(e->key(), e->modifiers())) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}
