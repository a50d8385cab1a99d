#pragma once

#include <QDialog>
#include <QImage>
#include <QRgb>
#include <array>
#include <cstdint>

class QLabel;
class QPushButton;
class QScrollBar;

// One adjustment as a lookup table per channel.
struct PicEffectTables {
    std::array<std::uint8_t, 256> red{}, green{}, blue{};

    QRgb apply(QRgb p) const
    {
        return 0xFF000000u | (QRgb(red[qRed(p)]) << 16) | (QRgb(green[qGreen(p)]) << 8) | blue[qBlue(p)];
    }
};

// What the adjustment form needs of the form whose picture it adjusts.
class PicEffectHost {
public:
    virtual ~PicEffectHost() = default;
    // The host's working picture: read when the form is shown, replaced by the adjusted result.
    virtual QImage& EffectPicture() = 0;
    // Re-stretches the working picture to the host's display and repaints it.
    virtual void EffectRedisplay() = 0;
    // While a bar moves: shows the working picture as the tables would make it, adjusting only
    // what is on screen; null shows the working picture itself again. A host that returns false
    // has its whole working picture adjusted at every step instead. Either way the picture the
    // form leaves behind on OK is the whole picture adjusted.
    virtual bool EffectPreview(const PicEffectTables* tables)
    {
        (void)tables;
        return false;
    }
};

// The picture adjustment form (brightness, red, green, blue), with a live preview in its host.
class TFormPicEffect : public QDialog {
    Q_OBJECT

public:
    explicit TFormPicEffect(QWidget* parent = nullptr);
    ~TFormPicEffect() override;

    // The form the program created at start-up; null before and after.
    static TFormPicEffect* current();

    // Shows the form modally over the host through the dialog seam. OK keeps the adjusted picture
    // in the host; Cancel, Esc and the title bar's close button put the saved copy back.
    int ShowModal(PicEffectHost& host);

    QImage SavedCopy;
    int BrightnessOffset = 0, RedOffset = 0, GreenOffset = 0, BlueOffset = 0;

    QScrollBar *sbBri = nullptr, *sbR = nullptr, *sbG = nullptr, *sbB = nullptr;
    QLabel *lbBri = nullptr, *lbR = nullptr, *lbG = nullptr, *lbB = nullptr;
    QPushButton *btOK = nullptr, *btCancel = nullptr, *btInit = nullptr;

    void FormShow();
    void ResetEffect();
    // The bars' handlers; both read every bar as it stands now, so the preview never lags.
    void sbBriScroll();
    void sbRScroll();
    void btOKClick();
    void btCancelClick();
    void btInitClick();

    // Each channel moved by (brightness + the channel's offset) / 100 x 255, rounded halves to
    // even and clamped; nothing accumulates, the source is never changed.
    static QImage Adjust(const QImage& source, int brightness, int red, int green, int blue);
    using ChannelTable = std::array<std::uint8_t, 256>;
    static ChannelTable Table(int offset);
    static int ClampByte(float value);

    static QImage Adjust(const QImage& source, const PicEffectTables& tables);
    static PicEffectTables Tables(int brightness, int red, int green, int blue);

    void done(int result) override;
    void reject() override;

private:
    void applyOffsets();
    void restoreSavedCopy();
    // Replaces a host's preview by the whole picture adjusted, as a step without a preview would
    // have left it.
    void commitPreview();
    void endPreview();

    PicEffectHost* m_host = nullptr;
    bool m_resetting = false;
    // The host shows a preview, and its working picture is still SavedCopy.
    bool m_previewing = false;
};
