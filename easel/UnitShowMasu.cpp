#include "UnitShowMasu.h"

#include "CanvasView.h"
#include "Palette.h"
#include "Prompter.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QSpinBox* cellBox(QWidget* parent) {
    auto* box = new QSpinBox(parent);
    // A cell of 0 would leave the grid nothing to divide by.
    box->setRange(CanvasView::MinGridCell, CanvasView::MaxGridCell);
    box->setValue(50);
    return box;
}

} // namespace

TFormShowMasu::TFormShowMasu(QWidget* parent) : QDialog(parent) {
    setObjectName(u"FormShowMasu"_s);
    setWindowTitle(u"罫線の表示"_s);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(u"横幅"_s, this), 0, 0);
    UpDown1 = cellBox(this);
    UpDown1->setObjectName(u"UpDown1"_s);
    grid->addWidget(UpDown1, 0, 1);
    grid->addWidget(new QLabel(u"縦幅"_s, this), 1, 0);
    UpDown2 = cellBox(this);
    UpDown2->setObjectName(u"UpDown2"_s);
    grid->addWidget(UpDown2, 1, 1);

    sbLineColor = new QPushButton(u"線色"_s, this);
    sbLineColor->setObjectName(u"sbLineColor"_s);
    sbLineColor->setAutoDefault(false);
    auto* pnLineColor = new QFrame(this);
    pnLineColor->setObjectName(u"pnLineColor"_s);
    pnLineColor->setFrameShape(QFrame::Panel);
    pnLineColor->setFrameShadow(QFrame::Sunken);
    auto* sample = new QHBoxLayout(pnLineColor);
    sample->setContentsMargins(2, 2, 2, 2);
    imLineColor = new QLabel(pnLineColor);
    imLineColor->setObjectName(u"imLineColor"_s);
    imLineColor->setFixedSize(46, 24);
    sample->addWidget(imLineColor);
    grid->addWidget(sbLineColor, 2, 0);
    grid->addWidget(pnLineColor, 2, 1);

    btOK = new QPushButton(u"OK"_s, this);
    btOK->setObjectName(u"btOK"_s);
    btOK->setDefault(true);
    btCancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);
    btCancel->setObjectName(u"btCancel"_s);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(buttons);

    connect(btOK, &QPushButton::clicked, this, &TFormShowMasu::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TFormShowMasu::btCancelClick);
    connect(sbLineColor, &QPushButton::clicked, this, &TFormShowMasu::sbLineColorClick);
    DrawLineColorSample();
}

int TFormShowMasu::cellWidth() const {
    return UpDown1->value();
}
int TFormShowMasu::cellHeight() const {
    return UpDown2->value();
}

void TFormShowMasu::preset(int width, int height, ColourText::TColor lineColor) {
    UpDown1->setValue(width);
    UpDown2->setValue(height);
    LineColor = lineColor;
    DrawLineColorSample();
}

void TFormShowMasu::btOKClick() {
    done(QDialog::Accepted);
}

void TFormShowMasu::btCancelClick() {
    done(QDialog::Rejected);
}

void TFormShowMasu::sbLineColorClick() {
    const auto chosen = Prompter::backend().colourDialog(this, ColourText::toQColor(LineColor));
    if (!chosen) return;
    LineColor = ColourText::fromQColor(*chosen);
    DrawLineColorSample();
}

void TFormShowMasu::FormShow() {
    DrawLineColorSample();
}

void TFormShowMasu::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TFormShowMasu::DrawLineColorSample() {
    QPixmap pixmap(imLineColor->size());
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setPen(QPen(QColor::fromRgb(ColourText::toQRgb(LineColor)), 2));
    p.drawLine(3, 12, 42, 12);
    p.end();
    imLineColor->setPixmap(pixmap);
}
