#pragma once

#include "ColourText.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QSpinBox;

// The grid dialog "罫線の表示": cell width and height and the line colour.
class TFormShowMasu : public QDialog {
    Q_OBJECT

public:
    explicit TFormShowMasu(QWidget* parent = nullptr);

    // The values the editor presets and takes back.
    int cellWidth() const;
    int cellHeight() const;
    ColourText::TColor LineColor = 0xC0C0C0;
    void preset(int cellWidth, int cellHeight, ColourText::TColor lineColor);

    QSpinBox* UpDown1 = nullptr; // 横幅
    QSpinBox* UpDown2 = nullptr; // 縦幅
    QPushButton* sbLineColor = nullptr;
    QLabel* imLineColor = nullptr;
    QPushButton* btOK = nullptr;
    QPushButton* btCancel = nullptr;

    void btOKClick();
    void btCancelClick();
    void sbLineColorClick();
    void FormShow();
    void DrawLineColorSample();

protected:
    void showEvent(QShowEvent* event) override;
};
