#pragma once

#include <QDialog>
#include <QImage>
#include <array>
#include <cstdint>

class QLabel;
class QPushButton;
class QScrollBar;

// What the adjustment form needs of the form whose picture it adjusts.
class PicEffectHost {
public:
    virtual ~PicEffectHost() = default;
    // The host's working picture: read when the form is shown, replaced by each adjusted result.
    virtual QImage& EffectPicture() = 0;
    // Re-stretches the working picture to the host's display and repaints it.
    virtual void EffectRedisplay() = 0;
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

    void reject() override;

private:
    void applyOffsets();
    void restoreSavedCopy();

    PicEffectHost* m_host = nullptr;
    bool m_resetting = false;
};
