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
    QFontDialog dialog(MojiFont, this);
    if (Prompter::backend().execModal(dialog) == QDialog::Accepted)
        MojiFont = dialog.selectedFont();
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

QImage TFormMoji::RenderText(const QStringList& lines, const QFont& font, const QColor& colour, int lineSpacing)
{
    if (lines.isEmpty())
        return {};
    QFont f = font;
    // Whole pixels in the text colour only: a blended edge would not be see-through white.
    f.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(f);
    const int spacing = std::clamp(lineSpacing, MinLineSpacing, MaxLineSpacing);
    int width = 0, height = 0;
    for (const QString& line : lines) {
        width = std::max(width, metrics.horizontalAdvance(line));
        height += metrics.height() + spacing;
    }
    height -= spacing;
    QImage picture(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    picture.fill(0xFFFFFFFF);
    QPainter p(&picture);
    p.setFont(f);
    p.setPen(colour);
    int y = 0;
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
