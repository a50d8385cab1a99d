#include "UnitMoji.h"

#include "Palette.h"
#include "Prompter.h"

#include <QFontDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QFont gothic(int pointSize)
{
    QFont f;
    f.setFamilies({u"ＭＳ ゴシック"_s, u"MS Gothic"_s, u"IPAGothic"_s, u"Noto Sans Mono CJK JP"_s});
    f.setPointSize(pointSize);
    return f;
}

} // namespace

TFormMoji::TFormMoji(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormMoji"_s);
    setWindowTitle(u"文字入力"_s);
    QFont formFont = gothic(12);
    formFont.setPixelSize(16);
    setFont(formFont);
    resize(317, 199);

    auto* grid = new QGridLayout(this);
    btFont = new QPushButton(u"ﾌｫﾝﾄ"_s, this);
    btFont->setObjectName(u"btFont"_s);
    btColor = new QPushButton(u"色"_s, this);
    btColor->setObjectName(u"btColor"_s);
    auto* fontAndColour = new QHBoxLayout;
    fontAndColour->addWidget(btFont);
    fontAndColour->addWidget(btColor);
    grid->addLayout(fontAndColour, 0, 0);
    auto* spacing = new QHBoxLayout;
    spacing->addWidget(new QLabel(u"行間"_s, this));
    UpDown1 = new QSpinBox(this);
    UpDown1->setObjectName(u"UpDown1"_s);
    UpDown1->setRange(MinLineSpacing, MaxLineSpacing);
    Edit1 = UpDown1->findChild<QLineEdit*>();
    Edit1->setObjectName(u"Edit1"_s);
    spacing->addWidget(UpDown1);
    spacing->addStretch();
    grid->addLayout(spacing, 0, 1);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(u"Memo1"_s);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->addWidget(Memo1, 1, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btOK = new QPushButton(u"OK"_s, this);
    btOK->setObjectName(u"btOK"_s);
    btCancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);
    btCancel->setObjectName(u"btCancel"_s);
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    grid->addLayout(buttons, 2, 0, 1, 2);

    // FormCreate.
    MojiFont = gothic(12);
    LineSpacing = 4;
    UpDown1->setValue(LineSpacing);
    Memo1->clear();

    showColour();

    connect(btFont, &QPushButton::clicked, this, &TFormMoji::btFontClick);
    connect(btColor, &QPushButton::clicked, this, &TFormMoji::btColorClick);
    connect(btOK, &QPushButton::clicked, this, &TFormMoji::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormMoji::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TFormMoji::FormShow()
{
    UpDown1->setValue(LineSpacing);
    Memo1->setFocus();
}

void TFormMoji::btFontClick()
{
    const std::unique_ptr<QFontDialog> dialog = Prompter::makeFontDialog(this, MojiFont);
    if (Prompter::backend().execModal(*dialog) == QDialog::Accepted)
        MojiFont = dialog->selectedFont();
}

void TFormMoji::btColorClick()
{
    const auto chosen = Prompter::backend().colourDialog(this, MojiColor);
    if (!chosen)
        return;
    ColourText::TColor opaque = 0, second = 0;
    Palette::FindOpaqueWhites(opaque, second);
    const ColourText::TColor shown = Palette::DeviceColorOf(ColourText::fromQRgb(chosen->rgb()));
    MojiColor = QColor::fromRgb(ColourText::toQRgb(shown == ColourText::clWhite || shown == second ? opaque : shown));
    showColour();
}

void TFormMoji::showColour()
{
    QPixmap swatch(16, 16);
    swatch.fill(MojiColor);
    btColor->setIcon(QIcon(swatch));
}

void TFormMoji::btOKClick()
{
    bool ok = false;
    const int typed = Edit1->text().trimmed().toInt(&ok);
    // Within what the up-down allows, so that the picture is never empty or gigantic.
    LineSpacing = std::clamp(ok ? typed : 4, MinLineSpacing, MaxLineSpacing);
    if (Memo1->toPlainText().trimmed().isEmpty())
        reject();
    else
        accept();
}

namespace {

// Where a line's ink lies around its pen position on the baseline, found by painting it: italics run past
// the advance on the right, a leading "j" hangs to the left of it. Empty for a line of blanks.
QRect inkBox(const QString& line, const QFont& font, const QFontMetrics& metrics)
{
    const int advance = metrics.horizontalAdvance(line);
    const int padX = std::max(metrics.height(), metrics.maxWidth()) * 2, padY = metrics.height();
    QImage scratch(advance + 2 * padX, metrics.height() + 2 * padY, QImage::Format_Grayscale8);
    if (scratch.isNull())
        return metrics.boundingRect(line);
    scratch.fill(0);
    {
        QPainter p(&scratch);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(padX, padY + metrics.ascent(), line);
    }
    QRect ink;
    for (int y = 0; y < scratch.height(); ++y) {
        const uchar* row = scratch.constScanLine(y);
        for (int x = 0; x < scratch.width(); ++x)
            if (row[x])
                ink |= QRect(x, y, 1, 1);
    }
    return ink.translated(-padX, -padY - metrics.ascent());
}

} // namespace

QImage TFormMoji::RenderText(const QStringList& lines, const QFont& font, const QColor& colour, int lineSpacing)
{
    if (lines.isEmpty())
        return {};
    QFont f = font;
    // Whole pixels in the text colour only: a blended edge would not be see-through white.
    f.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(f);
    const int spacing = std::clamp(lineSpacing, MinLineSpacing, MaxLineSpacing);
    // The lines' advance boxes, one below the other, and every line's ink wherever it reaches.
    QRect extent;
    int y = 0;
    for (const QString& line : lines) {
        const int baseline = y + metrics.ascent();
        extent |= QRect(0, y, std::max(1, metrics.horizontalAdvance(line)), metrics.height());
        extent |= inkBox(line, f, metrics).translated(0, baseline);
        y += metrics.height() + spacing;
    }
    QImage picture(extent.size().expandedTo({1, 1}), QImage::Format_RGB32);
    picture.fill(0xFFFFFFFF);
    QPainter p(&picture);
    p.setFont(f);
    p.setPen(colour);
    p.translate(-extent.topLeft());
    y = 0;
    for (const QString& line : lines) {
        p.drawText(0, y + metrics.ascent(), line);
        y += metrics.height() + spacing;
    }
    return picture;
}

QImage TFormMoji::RenderText() const
{
    return RenderText(Memo1->toPlainText().split(u'\n'), MojiFont, MojiColor, LineSpacing);
}
