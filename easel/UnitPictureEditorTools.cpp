// The tool box: palette, eyedropper, line kinds, drawing tools with their cursors, and deform of
// the last (or the selected) shapes.
#include "UnitPictureEditor.h"

#include "CanvasScrollBox.h"
#include "EditorCursors.h"
#include "FixedColours.h"
#include "Palette.h"
#include "Prompter.h"
#include "ShapeRender.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// A panel that reports presses and releases (the palette entries, line kinds and 変形).
class PressPanel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onPress, onRelease;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && onPress)
            onPress();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && onRelease)
            onRelease();
    }
};

constexpr ColourText::TColor DeformOnColor = 0x7FFFBF, DeformOffColor = 0xCFCFFF;

void setPanelColour(QWidget* w, ColourText::TColor back, ColourText::TColor text)
{
    w->setStyleSheet(
        FixedColours::styleSheet(QColor::fromRgb(ColourText::toQRgb(back)), QColor::fromRgb(ColourText::toQRgb(text))));
}

QPixmap lineKindPicture(int kind)
{
    QPixmap pm(36, 12);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 2, kind == 1 ? Qt::DashLine : kind == 2 ? Qt::DotLine : Qt::SolidLine));
    p.drawLine(2, 6, 34, 6);
    return pm;
}

QSpinBox* deformBox(int low, int high, int value, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(low, high);
    box->setValue(value);
    box->setFocusPolicy(Qt::ClickFocus);
    return box;
}

} // namespace

void TFormPictureEditor::buildToolPanel(QWidget* parent, QVBoxLayout* column)
{
    ToolGroup = new QButtonGroup(this);
    ToolGroup->setExclusive(true);
    auto tool = [&](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setCheckable(true);
        b->setFocusPolicy(Qt::NoFocus);
        ToolGroup->addButton(b);
        return b;
    };
    auto* tools = new QGridLayout;
    sbPen = tool(u"ペン"_s, "sbPen");
    sbLine = tool(u"線"_s, "sbLine");
    sbCircle = tool(u"面"_s, "sbCircle");
    sbFloodFill = tool(u"塗り"_s, "sbFloodFill");
    sbSpoit = tool(u"スポイト"_s, "sbSpoit");
    tools->addWidget(sbPen, 0, 0);
    tools->addWidget(sbLine, 0, 1);
    tools->addWidget(sbCircle, 1, 0);
    tools->addWidget(sbFloodFill, 1, 1);
    rbRect = new QRadioButton(u"四角"_s, parent);
    rbRect->setObjectName(u"rbRect"_s);
    rbRect->setChecked(true);
    rbEllip = new QRadioButton(u"だ円"_s, parent);
    rbEllip->setObjectName(u"rbEllip"_s);
    for (QRadioButton* rb : {rbRect, rbEllip})
        rb->setFocusPolicy(Qt::NoFocus);
    tools->addWidget(rbRect, 2, 0);
    tools->addWidget(rbEllip, 2, 1);
    column->addLayout(tools);

    auto* widths = new QGridLayout;
    widths->addWidget(new QLabel(u"線幅"_s, parent), 0, 0);
    udPen = deformBox(1, 50, 1, parent);
    udPen->setObjectName(u"udPen"_s);
    edPen = udPen->findChild<QLineEdit*>();
    widths->addWidget(udPen, 0, 1);
    widths->addWidget(new QLabel(u"曲率"_s, parent), 1, 0);
    udLine = deformBox(-50, 50, 0, parent);
    udLine->setObjectName(u"udLine"_s);
    edLine = udLine->findChild<QLineEdit*>();
    widths->addWidget(udLine, 1, 1);
    auto* reform = new PressPanel(u"変形"_s, parent);
    reform->setObjectName(u"pnLastReform"_s);
    reform->setAlignment(Qt::AlignCenter);
    reform->setFrameStyle(QFrame::Panel | QFrame::Raised);
    reform->onPress = [reform] { reform->setFrameShadow(QFrame::Sunken); };
    reform->onRelease = [this, reform] {
        reform->setFrameShadow(QFrame::Raised);
        pnLastReformClick();
    };
    pnLastReform = reform;
    widths->addWidget(pnLastReform, 2, 0, 1, 2);
    column->addLayout(widths);

    pnPenStyle = new QWidget(parent);
    pnPenStyle->setObjectName(u"pnPenStyle"_s);
    auto* kinds = new QHBoxLayout(pnPenStyle);
    kinds->setContentsMargins(0, 0, 0, 0);
    for (int k = 0; k < 3; ++k) {
        auto* panel = new PressPanel(pnPenStyle);
        panel->setObjectName(u"pnP%1"_s.arg(k));
        panel->setPixmap(lineKindPicture(k));
        panel->onPress = [this, k] { imP0MouseDown(k); };
        pnP[size_t(k)] = panel;
        kinds->addWidget(panel);
    }
    column->addWidget(pnPenStyle);

    pnPallet = new QWidget(parent);
    pnPallet->setObjectName(u"pnPallet"_s);
    auto* grid = new QGridLayout(pnPallet);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    for (int i = 0; i < PaletteSize; ++i) {
        auto* panel = new PressPanel(pnPallet);
        panel->setObjectName(u"pnC%1"_s.arg(i, 2, 10, QLatin1Char('0')));
        panel->setAlignment(Qt::AlignCenter);
        panel->setFixedSize(24, 20);
        panel->onPress = [this, i] { pnC00MouseDown(i); };
        pnC[size_t(i)] = panel;
        // The top row: black, opaque white, the eyedropper's colour, the eraser; then three rows of five.
        if (i < 4)
            grid->addWidget(panel, 0, i);
        else
            grid->addWidget(panel, 1 + (i - 4) / 5, (i - 4) % 5);
    }
    column->addWidget(pnPallet);
    auto* rgb = new QHBoxLayout;
    lbR = new QLabel(parent);
    lbG = new QLabel(parent);
    lbB = new QLabel(parent);
    for (QLabel* l : {lbR, lbG, lbB})
        rgb->addWidget(l);
    column->addLayout(rgb);
    auto* paletteButtons = new QHBoxLayout;
    sbPallet = new QPushButton(u"色の変更"_s, parent);
    sbPallet->setObjectName(u"sbPallet"_s);
    sbPallet->setFocusPolicy(Qt::NoFocus);
    paletteButtons->addWidget(sbSpoit);
    paletteButtons->addWidget(sbPallet);
    column->addLayout(paletteButtons);

    connect(sbPen, &QPushButton::clicked, this, &TFormPictureEditor::sbPenClick);
    connect(sbLine, &QPushButton::clicked, this, &TFormPictureEditor::sbLineClick);
    connect(sbCircle, &QPushButton::clicked, this, &TFormPictureEditor::sbCircleClick);
    connect(sbFloodFill, &QPushButton::clicked, this, &TFormPictureEditor::sbFloodFillClick);
    connect(sbSpoit, &QPushButton::pressed, this, &TFormPictureEditor::sbSpoitMouseDown);
    connect(sbSpoit, &QPushButton::clicked, this, &TFormPictureEditor::sbSpoitClick);
    connect(sbPallet, &QPushButton::clicked, this, &TFormPictureEditor::sbPalletClick);
    connect(rbRect, &QRadioButton::clicked, this, &TFormPictureEditor::rbRectClick);
    connect(rbEllip, &QRadioButton::clicked, this, &TFormPictureEditor::rbRectClick);
    connect(udPen, &QSpinBox::valueChanged, this, [this] { udPenClick(); });
    connect(udLine, &QSpinBox::valueChanged, this, [this] { udPenClick(); });
}

void TFormPictureEditor::SetPaletteColor(int index, ColourText::TColor colour)
{
    PaletteColors[size_t(index)] = colour;
    setPanelColour(pnC[size_t(index)], colour, Palette::ContrastTextColor(colour));
    if (index == PaletteIndex)
        ShowPaletteRGB();
}

void TFormPictureEditor::SelectPaletteEntry(int index)
{
    pnC[size_t(PaletteIndex)]->setFrameStyle(QFrame::NoFrame);
    PaletteIndex = std::clamp(index, 0, PaletteSize - 1);
    pnC[size_t(PaletteIndex)]->setFrameStyle(QFrame::Box | QFrame::Plain);
    ShowPaletteRGB();
}

void TFormPictureEditor::ShowPaletteRGB()
{
    const QRgb c = ColourText::toQRgb(PaletteColor());
    lbR->setText(u"R=%1"_s.arg(qRed(c)));
    lbG->setText(u"G=%1"_s.arg(qGreen(c)));
    lbB->setText(u"B=%1"_s.arg(qBlue(c)));
}

void TFormPictureEditor::pnC00MouseDown(int tag)
{
    SelectPaletteEntry(tag);
    PaletteClicked = true;
    UpdateToolCursor();
}

void TFormPictureEditor::sbPalletClick()
{
    if (PaletteIndex <= 3) {
        Prompter::warn(this, u"パレット最上段にある色の変更はできません。"_s);
        return;
    }
    const auto chosen = Prompter::backend().colourDialog(this, QColor::fromRgb(ColourText::toQRgb(PaletteColor())));
    if (!chosen)
        return;
    ColourText::TColor colour = ColourText::fromQRgb(chosen->rgb());
    const ColourText::TColor shown = Palette::DeviceColorOf(colour);
    // Never a colour that would draw transparent, or as the gaps of dashed lines.
    if (shown == ColourText::clWhite || shown == SecondWhite)
        colour = OpaqueWhite;
    SetPaletteColor(PaletteIndex, Palette::DeviceColorOf(colour));
}

void TFormPictureEditor::sbSpoitMouseDown()
{
    if (QAbstractButton* down = ToolGroup->checkedButton(); down && down != sbSpoit)
        ToolButton = down;
}

void TFormPictureEditor::sbSpoitClick()
{
    sbSpoit->setChecked(true);
    SetCanvasCursor(4);
    PaletteClicked = false;
}

ColourText::TColor TFormPictureEditor::ViewColorAt(QPoint point)
{
    // The view's own painting of that pixel, so a floating picture over the canvas gives its colour.
    QImage pixel(1, 1, QImage::Format_RGB32);
    // Beyond the canvas a see-through pixel of a floating picture shows the view's ground.
    pixel.fill(ScrollBox1->palette().color(QPalette::Window));
    {
        QPainter p(&pixel);
        p.translate(-point);
        PaintCanvasView(p, QRect(point, QSize(1, 1)));
    }
    return ColourText::fromQRgb(pixel.pixel(0, 0));
}

void TFormPictureEditor::imP0MouseDown(int tag)
{
    SelectLineKind(tag);
    UpdateToolCursor();
}

void TFormPictureEditor::SelectLineKind(int kind)
{
    QLabel* old = pnP[size_t(LineKind)];
    old->setFrameStyle(QFrame::NoFrame);
    old->setContentsMargins(4, 4, 0, 0);
    LineKind = std::clamp(kind, 0, 2);
    QLabel* now = pnP[size_t(LineKind)];
    // The picture moves up and left inside the border, which looks pressed.
    now->setFrameStyle(QFrame::Box | QFrame::Plain);
    now->setContentsMargins(2, 2, 2, 2);
}

void TFormPictureEditor::toolClick(int mode, QAbstractButton* button)
{
    // A tool chosen while the tracing picture is being placed places it where it lies.
    PlaceTracingPicture();
    CommitPendingDeform(true);
    DrawMode = ToolMode = mode;
    const bool drawsLines = mode != Shapes::Fill;
    if (PaletteClicked)
        (drawsLines ? PenPaletteIndex : FillPaletteIndex) = PaletteIndex;
    const bool cameFromLines = ToolButton == sbPen || ToolButton == sbLine || ToolButton == sbCircle;
    if (drawsLines && !cameFromLines)
        SelectPaletteEntry(PenPaletteIndex);
    else if (!drawsLines && cameFromLines)
        SelectPaletteEntry(FillPaletteIndex);
    ToolButton = button;
    button->setChecked(true);
    PaletteClicked = false;
    // A rotation after drawing starts from the picture as it is now.
    LayerLastOperation.fill(0);
    if (drawsLines)
        SetCanvasCursor(PaletteIndex == 3 ? 6 : 0);
    else
        SetCanvasCursor(5);
    ClearSelection();
    PlaceLayerHandles();
    UpdateModeIndicator();
}

void TFormPictureEditor::sbPenClick()
{
    toolClick(Shapes::Pen, sbPen);
}

void TFormPictureEditor::sbLineClick()
{
    toolClick(Shapes::Line, sbLine);
}

void TFormPictureEditor::sbCircleClick()
{
    toolClick(rbRect->isChecked() ? Shapes::Rectangle : Shapes::Ellipse, sbCircle);
}

void TFormPictureEditor::rbRectClick()
{
    sbCircle->setChecked(true);
    sbCircleClick();
}

void TFormPictureEditor::sbFloodFillClick()
{
    toolClick(Shapes::Fill, sbFloodFill);
}

void TFormPictureEditor::SetCanvasCursor(int n)
{
    if (EyedropperActive && ToolButton)
        ToolButton->setChecked(true);
    CanvasCursor = n;
    Image1->setCursor(EditorCursors::cursor(n));
    EyedropperActive = n == 4;
    if (!EyedropperActive && sbSpoit->isChecked() && ToolButton)
        ToolButton->setChecked(true);
}

void TFormPictureEditor::UpdateToolCursor()
{
    int n = 0;
    if (PaletteIndex == 3 && (sbPen->isChecked() || sbLine->isChecked() || sbCircle->isChecked()))
        n = 6;
    else if (sbFloodFill->isChecked())
        n = 5;
    SetCanvasCursor(n);
}

void TFormPictureEditor::SetDeformState(bool available, bool on)
{
    DeformAvailable = available;
    DeformOn = on;
    const ColourText::TColor c = on ? DeformOnColor : DeformOffColor;
    setPanelColour(pnLastReform, c, ColourText::clBlack);
    // The colour shows in the boxes' edits, as in the original's edit controls.
    setPanelColour(edPen, c, ColourText::clBlack);
    setPanelColour(edLine, DrawMode == Shapes::Line ? c : DeformOffColor, ColourText::clBlack);
}

void TFormPictureEditor::pnLastReformClick()
{
    if (DeformAvailable)
        DeformOn = !DeformOn;
    SetDeformState(DeformAvailable, DeformOn);
}

void TFormPictureEditor::udPenClick()
{
    if (Doc.ShapeList.empty())
        return;
    std::vector<ShapeRecord*> targets;
    if (DrawMode == 32) {
        Doc.RerenderCanvas();
        Image1->update();
        // The shapes the range holds, as a range drag would take them: wholly inside, by their four
        // extremes (fills and stamps by their reference point).
        for (auto& r : Doc.ShapeList)
            if (ShapeInRange(*r))
                targets.push_back(r.get());
    } else if (DeformOn) {
        PickShapesAt({0, 0});
        targets.push_back(Doc.ShapeList.back().get());
    } else {
        return;
    }
    for (ShapeRecord* r : targets) {
        switch (r->ShapeType) {
        case Shapes::Rectangle:
        case Shapes::Ellipse:
        case Shapes::Pen:
        case Shapes::Line:
            r->LineWidth = udPen->value();
            if (r->ShapeType == Shapes::Line)
                r->Curvature = udLine->value();
            [[fallthrough]];
        case Shapes::Stamp: {
            r->ScaleKind = 0;
            Shapes::StoreExtents(*r, Shapes::MeasureShape(*r, Doc.Style));
            break;
        }
        default:
            break;
        }
    }
    Doc.RerenderCanvas();
    Image1->update();
    DeformPending = true;
}

void TFormPictureEditor::CommitPendingDeform(bool deselect)
{
    if (!DeformPending)
        return;
    if (deselect) {
        PickShapesAt({0, 0});
        ClearSelection();
    }
    DeformPending = false;
    PushUndoSnapshot();
}
