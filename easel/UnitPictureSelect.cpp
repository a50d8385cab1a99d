#include "UnitPictureSelect.h"

#include "BmpPicture.h"
#include "EaselForms.h"
#include "JpegPicture.h"
#include "MyFileDialogs.h"
#include "Palette.h"
#include "PictureDocument.h"
#include "PointerPixel.h"
#include "PopupKeys.h"
#include "ProgramFolder.h"
#include "Prompter.h"
#include "UnitPictureEditor.h"
#include "UnitSelectWidth.h"
#include "WindowPlacement.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCursor>
#include <QFileInfo>
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
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cstdlib>

using namespace Qt::StringLiterals;
using PictureCut::LineShape;

namespace {

const QString Caption = u"画像の取り込み"_s;
constexpr int ScrollStep = 50;
constexpr int WheelNotch = 120;
constexpr int RingSize = 31;
// The form where the screen has room for it.
constexpr QSize DesignedSize(900, 640);

// a / b rounded to the nearest integer, halves to the even neighbour (b > 0).
qint64 divideRoundEven(qint64 a, qint64 b)
{
    qint64 q = a / b, r = a % b;
    if (r < 0) {
        r += b;
        --q;
    }
    if (2 * r > b || (2 * r == b && (q & 1)))
        ++q;
    return q;
}

qint64 divideCeil(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return a % b > 0 ? q + 1 : q;
}

// Which source column or row each displayed one shows, nearest neighbour from the pixel centre.
std::vector<int> sourceIndex(int from, int count, int shown, int source)
{
    std::vector<int> index(size_t(std::max(0, count)));
    for (int i = 0; i < count; ++i)
        index[size_t(i)] =
            int(std::min<qint64>(source - 1, ((from + i) * qint64(2) + 1) * source / (qint64(2) * shown)));
    return index;
}

} // namespace

// The picture at the form's zoom over the background colour, with the cut-out line and the
// pointer dot drawn over it from the form's state.
class SelectCanvas : public QWidget {
public:
    explicit SelectCanvas(TFormPictureSelect& form)
        : QWidget(nullptr)
        , m_form(form)
    {
        setMouseTracking(true);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QPainter p(this);
        const QImage& work = m_form.WorkPicture;
        const QRect exposed = e->rect() & rect();
        if (work.isNull() || exposed.isEmpty())
            p.fillRect(e->rect(), m_form.BackColor);
        else
            p.drawImage(exposed.topLeft(), shownPart(work, exposed));
        QPen pen(m_form.SelectColor, m_form.LineWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        if (!m_form.CutLine.isEmpty()) {
            QVector<QPoint> shown;
            for (const QPoint& q : m_form.CutLine)
                shown.append({m_form.ToDisplay(q.x()), m_form.ToDisplay(q.y())});
            p.setPen(pen);
            PictureCut::DrawOutline(p, m_form.CutLineShape, shown);
        }
        if (m_form.DotShown && !m_form.Drawing) {
            pen.setCapStyle(Qt::RoundCap);
            p.setPen(pen);
            p.drawPoint(QPoint(m_form.ToDisplay(m_form.DotPos.x()), m_form.ToDisplay(m_form.DotPos.y())));
        }
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        m_form.Image1MouseDown(PointerPixel::exactPosition(*e, *this), e->button());
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        m_form.Image1MouseMove(PointerPixel::exactPosition(*e, *this), e->modifiers() & Qt::ShiftModifier,
                               e->buttons() & Qt::LeftButton);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            m_form.Image1MouseUp(PointerPixel::exactPosition(*e, *this));
    }
    void leaveEvent(QEvent*) override { m_form.FormMouseMove(); }

private:
    // Only the exposed part of the stretched picture is made, so a repaint costs what is on screen
    // whatever the picture's size: pure white shows the background colour, the select-all flash
    // shows the picture through the line colour, and an adjustment's preview goes through its
    // tables before either.
    QImage shownPart(const QImage& work, const QRect& part) const
    {
        const QImage source = work.format() == QImage::Format_RGB32 || work.format() == QImage::Format_ARGB32
                                  ? work
                                  : work.convertToFormat(QImage::Format_RGB32);
        const std::vector<int> columns = sourceIndex(part.left(), part.width(), width(), source.width());
        const std::vector<int> rows = sourceIndex(part.top(), part.height(), height(), source.height());
        const PicEffectTables* tables = m_form.m_effectPreview ? &*m_form.m_effectPreview : nullptr;
        const bool flash = m_form.m_flash.isActive();
        const QRgb back = m_form.BackColor.rgb() | 0xFF000000u, line = m_form.SelectColor.rgb() | 0xFF000000u;
        QImage out(part.size(), QImage::Format_RGB32);
        for (int y = 0; y < part.height(); ++y) {
            const auto* src = reinterpret_cast<const QRgb*>(source.constScanLine(rows[size_t(y)]));
            auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < part.width(); ++x) {
                QRgb c = src[columns[size_t(x)]] | 0xFF000000u;
                if (tables)
                    c = tables->apply(c);
                dst[x] = flash ? c & line : c == 0xFFFFFFFFu ? back : c;
            }
        }
        return out;
    }

    TFormPictureSelect& m_form;
};

TFormPictureSelect::TFormPictureSelect(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(u"FormPictureSelect"_s);
    setWindowTitle(Caption);
    buildControls();
    buildMenu();
    for (QWidget* w : findChildren<QWidget*>())
        if (!w->isWindow())
            w->installEventFilter(this);
    FormCreate();
}

TFormPictureSelect::~TFormPictureSelect() = default;

void TFormPictureSelect::buildControls()
{
    const auto button = [this](const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setAutoDefault(false);
        return b;
    };
    UpDown1 = new QSpinBox(this);
    UpDown1->setRange(10, 800);
    UpDown1->setSingleStep(10);
    UpDown1->setValue(100);
    UpDown1->setKeyboardTracking(false);
    if (auto* edit = UpDown1->findChild<QLineEdit*>())
        edit->setReadOnly(true);
    cbIncrement = button(u"±10"_s);
    cbIncrement->setCheckable(true);
    cbIncrement->setChecked(true);
    bt100 = button(u"100％"_s);
    sbBackColor = button(u"背景色"_s);
    sbSelectColor = button(u"色"_s);
    sbSelectWidth = button(QString());
    sbSelectWidth->setIconSize(QSize(24, 16));
    sbSelect1 = button(u"□"_s);
    sbSelect2 = button(u"○"_s);
    sbSelect3 = button(u"自由"_s);
    auto* shapes = new QButtonGroup(this);
    for (QPushButton* b : {sbSelect1, sbSelect2, sbSelect3}) {
        b->setCheckable(true);
        shapes->addButton(b);
    }
    sbSelect1->setChecked(true);
    sbSelect = button(u" 切 り 出 し"_s);
    sbUndo = button(u"元に戻す"_s);
    sbRedo = button(u"先に戻す"_s);
    sbOpen = button(u"ﾌｧｲﾙを開く"_s);
    sbReOpen = button(u"元画像に戻す"_s);
    sbSelectAll = button(u"すべて選択"_s);
    sbEraseR = button(u"消去"_s);
    sbEraseL = button(u"線消去"_s);
    for (QPushButton* b : {sbOpen, sbReOpen, sbSelectAll, sbEraseR, sbEraseL})
        b->hide();
    CheckBox1 = new QCheckBox(u"取り込み結果を，表示されている大きさと同じにする"_s, this);
    cbChangeWhite = new QCheckBox(u"［ファイルを開く］とき，画像内側の透明白色を不透明白色にする"_s, this);
    CheckBox1->setChecked(true);
    cbChangeWhite->setChecked(true);
    btOK = button(u"OK"_s);
    btCancel = button(u"ｷｬﾝｾﾙ"_s);

    auto* tools = new QHBoxLayout;
    tools->addWidget(new QLabel(u"表示倍率"_s, this));
    tools->addWidget(UpDown1);
    tools->addWidget(cbIncrement);
    tools->addWidget(bt100);
    tools->addSpacing(12);
    tools->addWidget(sbBackColor);
    tools->addSpacing(12);
    tools->addWidget(new QLabel(u"切り出し線：色"_s, this));
    tools->addWidget(sbSelectColor);
    tools->addWidget(new QLabel(u"幅"_s, this));
    tools->addWidget(sbSelectWidth);
    for (QPushButton* b : {sbSelect1, sbSelect2, sbSelect3})
        tools->addWidget(b);
    tools->addStretch();
    auto* actions = new QHBoxLayout;
    for (QPushButton* b : {sbSelect, sbUndo, sbRedo, sbOpen, sbReOpen, sbSelectAll, sbEraseR, sbEraseL})
        actions->addWidget(b);
    actions->addStretch();
    auto* checks = new QVBoxLayout;
    checks->addWidget(CheckBox1);
    checks->addWidget(cbChangeWhite);
    actions->addLayout(checks);
    actions->addWidget(btOK);
    actions->addWidget(btCancel);

    pnImage = new QWidget(this);
    pnImage->setFocusPolicy(Qt::StrongFocus);
    Image1 = new SelectCanvas(*this);
    ScrollBox1 = new QScrollArea(pnImage);
    ScrollBox1->setWidget(Image1);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->setFocusPolicy(Qt::NoFocus);
    ScrollBox1->horizontalScrollBar()->setSingleStep(ScrollStep);
    ScrollBox1->verticalScrollBar()->setSingleStep(ScrollStep);
    auto* panel = new QVBoxLayout(pnImage);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->addWidget(ScrollBox1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 0);
    root->addLayout(tools);
    root->addLayout(actions);
    root->addWidget(pnImage, 1);
    root->addWidget(StatusBar1);

    connect(UpDown1, &QSpinBox::valueChanged, this, &TFormPictureSelect::UpDown1Click);
    connect(cbIncrement, &QPushButton::clicked, this, &TFormPictureSelect::cbIncrementClick);
    connect(bt100, &QPushButton::clicked, this, &TFormPictureSelect::bt100Click);
    connect(sbBackColor, &QPushButton::clicked, this, &TFormPictureSelect::sbBackColorClick);
    connect(sbSelectColor, &QPushButton::clicked, this, &TFormPictureSelect::sbSelectColorClick);
    connect(sbSelectWidth, &QPushButton::clicked, this, &TFormPictureSelect::sbSelectWidthClick);
    connect(sbSelect, &QPushButton::clicked, this, &TFormPictureSelect::sbSelectClick);
    connect(sbUndo, &QPushButton::clicked, this, &TFormPictureSelect::sbUndoClick);
    connect(sbRedo, &QPushButton::clicked, this, &TFormPictureSelect::sbRedoClick);
    connect(sbOpen, &QPushButton::clicked, this, &TFormPictureSelect::sbOpenClick);
    connect(sbReOpen, &QPushButton::clicked, this, &TFormPictureSelect::sbReOpenClick);
    connect(sbSelectAll, &QPushButton::clicked, this, &TFormPictureSelect::sbSelectAllClick);
    connect(sbEraseR, &QPushButton::clicked, this, &TFormPictureSelect::sbEraseRClick);
    connect(sbEraseL, &QPushButton::clicked, this, &TFormPictureSelect::sbEraseLClick);
    connect(btOK, &QPushButton::clicked, this, &TFormPictureSelect::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TFormPictureSelect::btCancelClick);

    m_autoScroll.setInterval(10);
    connect(&m_autoScroll, &QTimer::timeout, this, &TFormPictureSelect::AutoScroll);
    m_flash.setSingleShot(true);
    m_flash.setInterval(300);
    connect(&m_flash, &QTimer::timeout, Image1, qOverload<>(&QWidget::update));
}

void TFormPictureSelect::buildMenu()
{
    MainMenu1 = new QMenuBar(this);
    layout()->setMenuBar(MainMenu1);
    using Handler = void (TFormPictureSelect::*)();
    const auto item = [this](QMenu* menu, const QString& caption, const QString& keys, Handler slot) {
        QAction* a = menu ? menu->addAction(caption) : new QAction(caption, this);
        if (!keys.isEmpty())
            a->setShortcut(QKeySequence(keys));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* file = MainMenu1->addMenu(u"ファイル(&F)"_s);
    mmOpen = item(file, u"開く(&O)"_s, QString(), &TFormPictureSelect::sbOpenClick);
    mmReOpen = item(file, u"元画像に戻す(&R)"_s, QString(), &TFormPictureSelect::sbReOpenClick);
    file->addSeparator();
    Exit1 = item(file, u"終了 - [OK] (&X)"_s, QString(), &TFormPictureSelect::btOKClick);
    Exit2 = item(file, u"終了 - [ｷｬﾝｾﾙ] (&Q)"_s, QString(), &TFormPictureSelect::btCancelClick);
    QMenu* edit = MainMenu1->addMenu(u"編集(&E)"_s);
    Undo1 = item(edit, u"元に戻す(&U)"_s, u"Ctrl+Z"_s, &TFormPictureSelect::sbUndoClick);
    Repeat1 = item(edit, u"先に戻す(&R)"_s, u"Shift+Ctrl+Z"_s, &TFormPictureSelect::sbRedoClick);
    edit->addSeparator();
    mmSelect = item(edit, u"切り出し(&K)"_s, u"Ctrl+K"_s, &TFormPictureSelect::sbSelectClick);
    mmEraseR = item(edit, u"範囲消去(&H)"_s, u"Ctrl+H"_s, &TFormPictureSelect::sbEraseRClick);
    mmEraseL = item(edit, u"線消去(&L)"_s, u"Ctrl+L"_s, &TFormPictureSelect::sbEraseLClick);
    // Kept out of the menu but on the form, so that its shortcut still works.
    SelectAll1 = item(nullptr, u"すべて選択(&A)"_s, u"Ctrl+A"_s, &TFormPictureSelect::sbSelectAllClick);
    addAction(SelectAll1);
    Effect1 = MainMenu1->addAction(u"色・明るさ調整(&M)"_s);
    connect(Effect1, &QAction::triggered, this, &TFormPictureSelect::Effect1Click);
}

QString TFormPictureSelect::FormHint()
{
    return u"基本操作 … 【1】画像ファイルを開く。 【2】マウスをドラッグして，画像中の取り込む部分を線（切り出し線）で囲む。 【3】［切り出し］ボタンをクリック。 【4】［OK］ボタンで，切り出した画像を取り込む。"_s;
}

void TFormPictureSelect::setHints()
{
    ScrollBox1->setStatusTip(FormHint());
    Image1->setStatusTip(FormHint());
    UpDown1->setStatusTip(
        u"表示倍率 … 画像を拡大・縮小して表示します。画像そのものの大きさが変わるわけではありません。"_s);
    cbIncrement->setStatusTip(u"倍率増分 … 倍率の変化を 1 または 10 ずつにできます。"_s);
    bt100->setStatusTip(
        u"100％ … 表示倍率を100％にします。 ※画像取り込みのとき，このフォームを表示倍率100％で終了-［OK］して，本体の表示倍率も100％で描画すると，描画した画像が取り込んだ画像とまったく同じになります。"_s);
    sbBackColor->setStatusTip(u"背景の色 … 画像の透明になる部分の色を指定します。"_s);
    sbSelectColor->setStatusTip(
        u"切り出し線の色 … 画像を切り出す枠の線の色を指定します。 ※背景の色との重なりで，必ずしも指定した色になるとは限りません。"_s);
    sbSelectWidth->setStatusTip(u"切り出し線の太さ … 画像を切り出す枠の線の太さを指定します。"_s);
    sbSelect1->setStatusTip(
        u"切り出しの形（四角） … 画像を切り出す枠の形を四角にします。<Shift>同時押しで正方形になります。"_s);
    sbSelect2->setStatusTip(
        u"切り出しの形（だ円） … 画像を切り出す枠の形をだ円にします。<Shift>同時押しで円になります。"_s);
    sbSelect3->setStatusTip(u"切り出しの形（自由） … 画像を切り出す枠の形を手書きにします。"_s);
    sbSelect->setStatusTip(u"切り出し … 現在の画像から，切り出し線で囲んだ部分だけを残して，他の部分は消去します。"_s);
    sbEraseR->setStatusTip(
        u"消去 … 現在の画像から，切り出し線で囲んだ部分を消去します。消去した部分は透明になります。"_s);
    sbEraseL->setStatusTip(
        u"線消去 … 現在の画像から，切り出し線の輪郭部分だけを消去します。消去した部分は透明になります。"_s);
    sbUndo->setStatusTip(u"元に戻す … 最後の操作を取り消して，操作前の編集画像に戻します。"_s);
    sbRedo->setStatusTip(u"先に戻す … ［元に戻す］を取り消します。"_s);
    CheckBox1->setStatusTip(
        u"取り込む画像の大きさが，表示されている通りの大きさになります。（チェック枠を選択していないときは，表示倍率100％の大きさになります。）"_s);
    cbChangeWhite->setStatusTip(
        u"画像ファイルを開くとき，画像の内側にある透明白色（完全白色）を不透明白色（完全白色に近い白色）にします。"_s);
}

void TFormPictureSelect::FormCreate()
{
    resize(DesignedSize);
    MyOpenPictureDialog1 = std::make_unique<TMyOpenPictureDialog>();
    MyOpenPictureDialog1->Title = u"画像を開く"_s;
    MyOpenPictureDialog1->Filter =
        u"BMP ﾌｧｲﾙ (*.bmp)|*.bmp|JPEG ﾌｧｲﾙ (*.jpg)|*.jpg|全種類 (*.bmp, *.jpg)|*.bmp;*.jpg"_s;
    MyOpenPictureDialog1->FilterIndex = 3;
    MyOpenPictureDialog1->DefaultExt = u"bmp"_s;
    if (EaselForms* forms = EaselForms::current(); forms && forms->formPictureEditor)
        MyOpenPictureDialog1->InitialDir = forms->formPictureEditor->MyOpenPictureDialog2->InitialDir;
    setHints();
    DrawWidthGlyph();
    ResetUndo();
    StatusBar1->showMessage(FormHint());
}

void TFormPictureSelect::FormShow()
{
    // 900 x 640 where the screen has room; on a smaller one the view gives way.
    WindowPlacement::centre(*this, WindowPlacement::openerOf(*this, parentWidget()), DesignedSize,
                            WindowPlacement::Shrink::ToArea);
    StatusBar1->showMessage(FormHint());
    m_wheelRest = 0;
    Drawing = false;
    DotShown = false;
    // The arrow keys scroll the picture rather than change the zoom.
    pnImage->setFocus();
}

QPoint TFormPictureSelect::ToPicture(QPointF display) const
{
    return PointerPixel::picturePixel(display, Zoom);
}

int TFormPictureSelect::ToDisplayAt(int v, int zoom)
{
    const qint64 scaled = qint64(v) * zoom;
    return int(zoom >= 100 ? divideCeil(scaled, 100) : divideRoundEven(scaled, 100));
}

int TFormPictureSelect::ToDisplay(int v) const
{
    return ToDisplayAt(v, Zoom);
}

LineShape TFormPictureSelect::CurrentShape() const
{
    return sbSelect3->isChecked()   ? LineShape::Free
           : sbSelect2->isChecked() ? LineShape::Ellipse
                                    : LineShape::Rectangle;
}

void TFormPictureSelect::sbOpenClick()
{
    MyOpenPictureDialog1->FileName = PictureFileName;
    if (!MyOpenPictureDialog1->Execute(this))
        return;
    const QString path = MyOpenPictureDialog1->FileName;
    // A picture that cannot be opened leaves the picture, its name and the ring as they were.
    if (!PictureFile::isSupportedName(path)) {
        Prompter::warn(this, PictureFile::refusedNameMessage(path, PictureFile::NameUse::Open));
        return;
    }
    QString why;
    const QImage picture = PictureFile::load(path, &why);
    if (picture.isNull()) {
        Prompter::warn(this, why);
        return;
    }
    PictureFileName = path;
    LoadedPicture = JpegPicture::opaqueRgb32(picture);
    if (cbChangeWhite->isChecked()) {
        ColourText::TColor opaque = 0, second = 0;
        Palette::FindOpaqueWhites(opaque, second);
        ConvertInnerWhite(LoadedPicture, ColourText::toQRgb(opaque));
    }
    WorkPicture = LoadedPicture;
    UpdateCaption();
    UpDown1Click();
    ResetUndo();
    Image1->update();
}

void TFormPictureSelect::sbReOpenClick()
{
    WorkPicture = LoadedPicture;
    UpDown1Click();
    ResetUndo();
    Image1->update();
}

void TFormPictureSelect::UpdateCaption()
{
    QString caption = Caption;
    if (!PictureFileName.isEmpty() && QFileInfo(PictureFileName).isFile())
        caption += u" ～ "_s + ProgramFolder::resolveExeRelativePath(PictureFileName, true);
    setWindowTitle(caption);
}

void TFormPictureSelect::UpDown1Click()
{
    if (WorkPicture.isNull())
        return;
    Zoom = UpDown1->value();
    const QSize old = Image1->size();
    // A thin picture at a small zoom still shows as one pixel, so it can be seen and lined.
    const QSize shown(std::max(1, int(divideRoundEven(qint64(WorkPicture.width()) * Zoom, 100))),
                      std::max(1, int(divideRoundEven(qint64(WorkPicture.height()) * Zoom, 100))));
    Image1->resize(shown);
    // The view keeps its centre.
    QScrollBar* h = ScrollBox1->horizontalScrollBar();
    QScrollBar* v = ScrollBox1->verticalScrollBar();
    if (h->value() != 0)
        h->setValue(h->value() + (shown.width() - old.width()) / 2);
    if (v->value() != 0)
        v->setValue(v->value() + (shown.height() - old.height()) / 2);
    Image1->update();
}

void TFormPictureSelect::cbIncrementClick()
{
    const bool ten = cbIncrement->isChecked();
    UpDown1->setSingleStep(ten ? 10 : 1);
    cbIncrement->setText(ten ? u"±10"_s : u"±1"_s);
}

void TFormPictureSelect::bt100Click()
{
    UpDown1->setValue(100);
    UpDown1Click();
}

void TFormPictureSelect::Image1MouseDown(QPointF display, Qt::MouseButton button)
{
    pnImage->setFocus();
    if (button != Qt::LeftButton || WorkPicture.isNull())
        return;
    const QPoint p = ToPicture(display);
    DotPos = p;
    DotShown = false;
    CutLineShape = CurrentShape();
    CutLine = CutLineShape == LineShape::Free ? QVector<QPoint>{p} : QVector<QPoint>{p, p};
    CutLineBox = QRect(p, p);
    Drawing = true;
    m_autoScroll.start();
    Image1->update();
}

void TFormPictureSelect::Image1MouseMove(QPointF display, bool shift, bool leftDown)
{
    const QPoint p = ToPicture(display);
    if (Drawing && (!leftDown || CutLine.size() < (CutLineShape == LineShape::Free ? 1 : 2)))
        endDrawing();
    if (!Drawing) {
        DotPos = p;
        DotShown = !WorkPicture.isNull();
        Image1->update();
        return;
    }
    if (CutLineShape == LineShape::Free) {
        CutLine.append(p);
    } else {
        QPoint second = p;
        if (shift) {
            // A square or circle: the larger move in both axes, each towards the mouse.
            const QPoint d = p - CutLine[0];
            const int side = std::max(std::abs(d.x()), std::abs(d.y()));
            second = CutLine[0] + QPoint(d.x() < 0 ? -side : side, d.y() < 0 ? -side : side);
        }
        CutLine[1] = second;
    }
    CutLineBox = CutLineBox.united(QRect(p, p));
    Image1->update();
}

void TFormPictureSelect::Image1MouseUp(QPointF display)
{
    DotPos = ToPicture(display);
    DotShown = false;
    endDrawing();
    Image1->update();
}

void TFormPictureSelect::endDrawing()
{
    Drawing = false;
    m_autoScroll.stop();
}

void TFormPictureSelect::dropLine()
{
    CutLine.clear();
    endDrawing();
}

void TFormPictureSelect::FormMouseMove()
{
    if (DotShown) {
        DotShown = false;
        Image1->update();
    }
}

void TFormPictureSelect::ClampPoints()
{
    const int w = WorkPicture.width(), h = WorkPicture.height();
    for (QPoint& p : CutLine)
        p = QPoint(std::clamp(p.x(), 0, w), std::clamp(p.y(), 0, h));
    CutLineBox = CutLineBox.intersected(QRect(0, 0, w + 1, h + 1));
}

void TFormPictureSelect::cutOut(LineShape shape)
{
    if (CutLine.isEmpty())
        return;
    ClampPoints();
    const std::optional<QImage> cut = PictureCut::CutOut(WorkPicture, shape, CutLine, LineWidth);
    if (!cut) {
        // A line that encloses nothing leaves the picture as it is, and records no step.
        dropLine();
        Image1->update();
        return;
    }
    WorkPicture = *cut;
    UpDown1Click();
    PushUndo();
    Image1->update();
}

void TFormPictureSelect::sbSelectClick()
{
    cutOut(CutLineShape);
}

void TFormPictureSelect::sbEraseRClick()
{
    if (CutLine.isEmpty())
        return;
    ClampPoints();
    PictureCut::EraseShape(WorkPicture, CutLineShape, CutLine, LineWidth);
    UpDown1Click();
    PushUndo();
    Image1->update();
}

void TFormPictureSelect::sbEraseLClick()
{
    if (CutLine.isEmpty())
        return;
    PictureCut::EraseLine(WorkPicture, CutLineShape, CutLine, LineWidth);
    PushUndo();
    Image1->update();
}

void TFormPictureSelect::sbSelectAllClick()
{
    if (WorkPicture.isNull())
        return;
    // The whole picture, in picture coordinates whatever the zoom, cut as a rectangle.
    const int w = WorkPicture.width(), h = WorkPicture.height();
    CutLine = {QPoint(0, 0), QPoint(w, h)};
    CutLineBox = QRect(0, 0, w + 1, h + 1);
    m_flash.start();
    cutOut(LineShape::Rectangle);
}

void TFormPictureSelect::ResetUndo()
{
    Undo.reset(WorkPicture);
    dropLine();
    updateUndoButtons();
}

void TFormPictureSelect::PushUndo()
{
    Undo.push(WorkPicture);
    dropLine();
    updateUndoButtons();
}

void TFormPictureSelect::updateUndoButtons()
{
    sbUndo->setEnabled(Undo.canUndo());
    sbRedo->setEnabled(Undo.canRedo());
    Undo1->setEnabled(Undo.canUndo());
    Repeat1->setEnabled(Undo.canRedo());
}

void TFormPictureSelect::sbUndoClick()
{
    if (!Undo.undo())
        return;
    WorkPicture = Undo.currentState();
    dropLine();
    updateUndoButtons();
    UpDown1Click();
    Image1->update();
}

void TFormPictureSelect::sbRedoClick()
{
    if (!Undo.redo())
        return;
    WorkPicture = Undo.currentState();
    dropLine();
    updateUndoButtons();
    UpDown1Click();
    Image1->update();
}

void TFormPictureSelect::sbBackColorClick()
{
    if (const auto colour = Prompter::backend().colourDialog(this, BackColor)) {
        BackColor = *colour;
        Image1->update();
    }
}

void TFormPictureSelect::sbSelectColorClick()
{
    if (const auto colour = Prompter::backend().colourDialog(this, SelectColor)) {
        SelectColor = *colour;
        Image1->update();
    }
}

TFormSelectWidth* TFormPictureSelect::selectWidthForm()
{
    if (EaselForms* forms = EaselForms::current(); forms && forms->formSelectWidth)
        return forms->formSelectWidth.get();
    if (!m_ownSelectWidth)
        m_ownSelectWidth = std::make_unique<TFormSelectWidth>(this);
    return m_ownSelectWidth.get();
}

void TFormPictureSelect::sbSelectWidthClick()
{
    TFormSelectWidth* form = selectWidthForm();
    form->UpDown1->setValue(LineWidth);
    if (Prompter::backend().execModal(*form) != QDialog::Accepted)
        return;
    LineWidth = form->UpDown1->value();
    DrawWidthGlyph();
    Image1->update();
}

void TFormPictureSelect::DrawWidthGlyph()
{
    const QSize size = sbSelectWidth->iconSize();
    QPixmap glyph(size);
    glyph.fill(Qt::transparent);
    QPainter p(&glyph);
    const int line = std::min(LineWidth, size.height());
    const int y0 = (size.height() - line) / 2;
    p.fillRect(QRect(1, y0, size.width() - 2, std::max(1, line)), QColor(255, 0, 0));
    p.end();
    sbSelectWidth->setIcon(glyph);
}

void TFormPictureSelect::btOKClick()
{
    if (WorkPicture.width() == 0) {
        Prompter::warn(this, u"画像が選択されていません。"_s);
        return;
    }
    if (!CutLine.isEmpty()
        && Prompter::ask(this, u"選択範囲を切り出しますか。"_s, Prompter::Buttons::YesNo) == Prompter::Answer::Yes)
        sbSelectClick();
    done(QDialog::Accepted);
}

void TFormPictureSelect::btCancelClick()
{
    done(QDialog::Rejected);
}

void TFormPictureSelect::done(int result)
{
    // However the form closes (Esc, the title bar), no drag or scrolling outlives it.
    DotShown = false;
    endDrawing();
    QDialog::done(result);
}

void TFormPictureSelect::Effect1Click()
{
    TFormPicEffect* form = TFormPicEffect::current();
    if (!form || WorkPicture.isNull())
        return;
    // A line being drawn ends where it is; the adjustment keeps it, since the picture keeps its size.
    endDrawing();
    const QImage before = WorkPicture;
    // An adjustment the user kept is a step of its own, so it can be undone like a cut.
    if (form->ShowModal(*this) == QDialog::Accepted && WorkPicture != before) {
        const QVector<QPoint> line = CutLine;
        PushUndo();
        CutLine = line;
    }
    m_effectPreview.reset();
    Image1->update();
}

void TFormPictureSelect::EffectRedisplay()
{
    UpDown1Click();
    Image1->update();
}

bool TFormPictureSelect::EffectPreview(const PicEffectTables* tables)
{
    m_effectPreview = tables ? std::optional(*tables) : std::nullopt;
    Image1->update();
    return true;
}

QImage TFormPictureSelect::TakenPicture() const
{
    if (WorkPicture.isNull() || !CheckBox1->isChecked())
        return WorkPicture;
    const QSize shown(std::max(1, ToDisplay(WorkPicture.width())), std::max(1, ToDisplay(WorkPicture.height())));
    return shown == WorkPicture.size() ? WorkPicture : WorkPicture.scaled(shown);
}

void TFormPictureSelect::scrollBy(int dx, int dy)
{
    QScrollBar* h = ScrollBox1->horizontalScrollBar();
    QScrollBar* v = ScrollBox1->verticalScrollBar();
    h->setValue(h->value() + dx);
    v->setValue(v->value() + dy);
}

bool TFormPictureSelect::CMDialogKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ShiftModifier)
        return false;
    int dx = 0, dy = 0;
    switch (key) {
    case Qt::Key_Left:
        dx = -ScrollStep;
        break;
    case Qt::Key_Right:
        dx = ScrollStep;
        break;
    case Qt::Key_Up:
        dy = -ScrollStep;
        break;
    case Qt::Key_Down:
        dy = ScrollStep;
        break;
    default:
        return false;
    }
    FormMouseMove();
    scrollBy(dx, dy);
    return true;
}

bool TFormPictureSelect::CMMouseWheel(QPoint boxPos, int delta)
{
    const QSize box = ScrollBox1->size();
    if (!QRect(QPoint(0, 0), box).contains(boxPos))
        return false;
    m_wheelRest += delta;
    while (std::abs(m_wheelRest) >= WheelNotch) {
        const bool up = m_wheelRest > 0;
        m_wheelRest -= up ? WheelNotch : -WheelNotch;
        const int w = box.width(), h = box.height();
        const bool left = boxPos.x()<w / 3, right = boxPos.x()> w - w / 3;
        const bool top = boxPos.y()<h / 3, bottom = boxPos.y()> h - h / 3;
        const QScrollBar* hb = ScrollBox1->horizontalScrollBar();
        const QScrollBar* vb = ScrollBox1->verticalScrollBar();
        const bool canUp = vb->value() > 0, canDown = vb->value() < vb->maximum();
        const bool canLeft = hb->value() > 0, canRight = hb->value() < hb->maximum();
        if ((top && left) || (bottom && right)) {
            if (up && canUp && canLeft)
                scrollBy(-ScrollStep, -ScrollStep);
            else if (!up && canDown && canRight)
                scrollBy(ScrollStep, ScrollStep);
        } else if ((top && right) || (bottom && left)) {
            if (up && canUp && canRight)
                scrollBy(ScrollStep, -ScrollStep);
            else if (!up && canDown && canLeft)
                scrollBy(-ScrollStep, ScrollStep);
        } else if (left || right) {
            scrollBy(up ? -ScrollStep : ScrollStep, 0);
        } else if (top || bottom) {
            scrollBy(0, up ? -ScrollStep : ScrollStep);
        } else {
            UpDown1->setValue(UpDown1->value() + (up ? 1 : -1) * UpDown1->singleStep());
            UpDown1Click();
        }
    }
    return true;
}

void TFormPictureSelect::AutoScroll()
{
    if (!Drawing) {
        m_autoScroll.stop();
        return;
    }
    const QWidget* viewport = ScrollBox1->viewport();
    const QPoint pos = viewport->mapFromGlobal(QCursor::pos());
    const int step = Zoom <= 100 ? 1 : 2;
    const int dx = pos.x() < 0 ? -step : pos.x() >= viewport->width() ? step : 0;
    const int dy = pos.y() < 0 ? -step : pos.y() >= viewport->height() ? step : 0;
    if (dx || dy)
        scrollBy(dx, dy);
}

bool TFormPictureSelect::event(QEvent* e)
{
    if (e->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        StatusBar1->showMessage(tip.isEmpty() ? FormHint() : tip);
        return true;
    }
    if (e->type() == QEvent::Show)
        FormShow();
    return QDialog::event(e);
}

bool TFormPictureSelect::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::Wheel:
        // The wheel over the picture moves the view, never a focused control.
        if (watched == ScrollBox1->viewport() || watched == Image1) {
            const auto* wheel = static_cast<QWheelEvent*>(e);
            return CMMouseWheel(ScrollBox1->mapFromGlobal(wheel->globalPosition().toPoint()), wheel->angleDelta().y());
        }
        break;
    case QEvent::KeyPress: {
        auto* w = qobject_cast<QWidget*>(watched);
        // Arrow keys belong to an edit or up-down that has the focus, and to the menus.
        if (w && w->window() == this && !qobject_cast<QMenuBar*>(w) && !qobject_cast<QAbstractSpinBox*>(w)
            && !qobject_cast<QLineEdit*>(w) && !PopupKeys::forPopup(w)) {
            const auto* key = static_cast<QKeyEvent*>(e);
            if (CMDialogKey(key->key(), key->modifiers()))
                return true;
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, e);
}
