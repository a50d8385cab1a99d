#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QImage>

class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QLineEdit;

// The text form "文字入力": the text, its font and the spacing between its lines, kept between uses.
class TFormMoji : public QDialog {
    Q_OBJECT

public:
    static constexpr int MinLineSpacing = 0, MaxLineSpacing = 100;

    explicit TFormMoji(QWidget* parent = nullptr);

    QFont MojiFont;
    // The colour the text is drawn in, chosen beside the font (the font dialog offers none).
    QColor MojiColor = Qt::black;
    int LineSpacing = 4;

    QPushButton *btFont = nullptr, *btColor = nullptr, *btOK = nullptr, *btCancel = nullptr;
    QSpinBox* UpDown1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

    void FormShow();
    void btFontClick();
    // The colour dialog; a colour the display shows as white becomes the opaque white, since white
    // text would be see-through.
    void btColorClick();
    void btOKClick();

    // The memo's lines drawn one under the other on transparent white, each line as high as the
    // font's line plus the spacing, an empty line included, and wide enough for its advances and its
    // ink wherever the ink reaches; null when there is no text.
    static QImage RenderText(const QStringList& lines, const QFont& font, const QColor& colour, int lineSpacing);
    QImage RenderText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The chosen colour on its button.
    void showColour();
};
