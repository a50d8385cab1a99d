#pragma once

#include <QDialog>

// The picture adjustment form (brightness, red, green, blue).
class TFormPicEffect : public QDialog {
    Q_OBJECT

public:
    explicit TFormPicEffect(QWidget* parent = nullptr);
};
