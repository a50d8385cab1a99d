#include "UnitPicEffect.h"

#include "Prompter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

TFormPicEffect* g_current = nullptr;
constexpr int BarCentre = 100;

} // namespace

TFormPicEffect::TFormPicEffect(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormPicEffect"_s);
    setWindowTitle(u"画像の調整"_s);
    g_current = this;

    const auto bar = [this] {
        auto* b = new QScrollBar(Qt::Horizontal, this);
        b->setRange(0, 2 * BarCentre);
        b->setValue(BarCentre);
        b->setSingleStep(1);
        b->setPageStep(10);
        b->setMinimumWidth(200);
        return b;
    };
    const auto value = [this] {
        auto* l = new QLabel(u"0"_s, this);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(u"-100"_s) + 4);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    sbBri = bar();
    sbR = bar();
    sbG = bar();
    sbB = bar();
    lbBri = value();
    lbR = value();
    lbG = value();
    lbB = value();
    btOK = new QPushButton(u"OK"_s, this);
    btCancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);
    btInit = new QPushButton(u"最初\nから"_s, this);
    for (QPushButton* b : {btOK, btCancel, btInit})
        b->setAutoDefault(false);

    auto* grid = new QGridLayout;
    const QString names[] = {u"明るさ"_s, u"赤"_s, u"緑"_s, u"青"_s};
    QScrollBar* bars[] = {sbBri, sbR, sbG, sbB};
    QLabel* labels[] = {lbBri, lbR, lbG, lbB};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(names[i], this), i, 0);
        grid->addWidget(bars[i], i, 1);
        grid->addWidget(labels[i], i, 2);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btInit);
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    auto* root = new QVBoxLayout(this);
    root->addLayout(grid);
    root->addLayout(buttons);

    connect(sbBri, &QScrollBar::valueChanged, this, &TFormPicEffect::sbBriScroll);
    for (QScrollBar* b : {sbR, sbG, sbB})
        connect(b, &QScrollBar::valueChanged, this, &TFormPicEffect::sbRScroll);
    connect(btOK, &QPushButton::clicked, this, &TFormPicEffect::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TFormPicEffect::btCancelClick);
    connect(btInit, &QPushButton::clicked, this, &TFormPicEffect::btInitClick);
}

TFormPicEffect::~TFormPicEffect()
{
    if (g_current == this)
        g_current = nullptr;
}

TFormPicEffect* TFormPicEffect::current()
{
    return g_current;
}

int TFormPicEffect::ShowModal(PicEffectHost& host)
{
    m_host = &host;
    FormShow();
    const int result = Prompter::backend().execModal(*this);
    // A scripted or otherwise ended showing may not have passed through done().
    if (result == QDialog::Accepted)
        commitPreview();
    else
        endPreview();
    SavedCopy = QImage();
    m_host = nullptr;
    return result;
}

void TFormPicEffect::FormShow()
{
    btInit->setText(u"最初\nから"_s);
    ResetEffect();
}

void TFormPicEffect::ResetEffect()
{
    if (m_host)
        SavedCopy = m_host->EffectPicture();
    m_resetting = true;
    for (QScrollBar* b : {sbBri, sbR, sbG, sbB})
        b->setValue(BarCentre);
    m_resetting = false;
    for (QLabel* l : {lbBri, lbR, lbG, lbB})
        l->setText(u"0"_s);
    BrightnessOffset = RedOffset = GreenOffset = BlueOffset = 0;
}

void TFormPicEffect::sbBriScroll()
{
    if (m_resetting)
        return;
    BrightnessOffset = sbBri->value() - BarCentre;
    lbBri->setText(QString::number(BrightnessOffset));
    applyOffsets();
}

void TFormPicEffect::sbRScroll()
{
    if (m_resetting)
        return;
    RedOffset = sbR->value() - BarCentre;
    GreenOffset = sbG->value() - BarCentre;
    BlueOffset = sbB->value() - BarCentre;
    lbR->setText(QString::number(RedOffset));
    lbG->setText(QString::number(GreenOffset));
    lbB->setText(QString::number(BlueOffset));
    applyOffsets();
}

void TFormPicEffect::applyOffsets()
{
    if (!m_host || SavedCopy.isNull())
        return;
    const PicEffectTables tables = Tables(BrightnessOffset, RedOffset, GreenOffset, BlueOffset);
    if (m_host->EffectPreview(&tables)) {
        m_previewing = true;
        return;
    }
    m_host->EffectPicture() = Adjust(SavedCopy, tables);
    m_host->EffectRedisplay();
}

void TFormPicEffect::commitPreview()
{
    if (!m_previewing || !m_host)
        return;
    m_previewing = false;
    m_host->EffectPicture() = Adjust(SavedCopy, BrightnessOffset, RedOffset, GreenOffset, BlueOffset);
    m_host->EffectPreview(nullptr);
    m_host->EffectRedisplay();
}

void TFormPicEffect::endPreview()
{
    if (!m_previewing || !m_host)
        return;
    m_previewing = false;
    m_host->EffectPreview(nullptr);
    m_host->EffectRedisplay();
}

void TFormPicEffect::restoreSavedCopy()
{
    if (!m_host || SavedCopy.isNull())
        return;
    m_previewing = false;
    m_host->EffectPreview(nullptr);
    m_host->EffectPicture() = SavedCopy;
    m_host->EffectRedisplay();
}

void TFormPicEffect::btOKClick()
{
    done(QDialog::Accepted);
}

void TFormPicEffect::done(int result)
{
    if (result == QDialog::Accepted)
        commitPreview();
    QDialog::done(result);
}

void TFormPicEffect::btCancelClick()
{
    reject();
}

void TFormPicEffect::reject()
{
    // The title bar's close button and Esc come here too, and leave the host as Cancel does.
    restoreSavedCopy();
    QDialog::reject();
}

void TFormPicEffect::btInitClick()
{
    restoreSavedCopy();
    ResetEffect();
}

int TFormPicEffect::ClampByte(float value)
{
    if (value < 0)
        return 0;
    if (value > 255)
        return 255;
    // The default rounding mode takes halves to the even neighbour.
    return int(std::nearbyint(value));
}

PicEffectTables TFormPicEffect::Tables(int brightness, int red, int green, int blue)
{
    return {Table(brightness + red), Table(brightness + green), Table(brightness + blue)};
}

TFormPicEffect::ChannelTable TFormPicEffect::Table(int offset)
{
    ChannelTable table{};
    const double shift = double(offset) / 100.0 * 255.0;
    for (int in = 0; in < 256; ++in)
        table[size_t(in)] = std::uint8_t(ClampByte(float(shift + in)));
    return table;
}

QImage TFormPicEffect::Adjust(const QImage& source, int brightness, int red, int green, int blue)
{
    return Adjust(source, Tables(brightness, red, green, blue));
}

QImage TFormPicEffect::Adjust(const QImage& source, const PicEffectTables& tables)
{
    if (source.isNull())
        return source;
    const QImage in = source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
    QImage out(in.size(), QImage::Format_RGB32);
    if (out.isNull())
        return out;
    const int w = in.width();
    for (int y = 0; y < in.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(in.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x)
            dst[x] = tables.apply(src[x]);
    }
    return out;
}
