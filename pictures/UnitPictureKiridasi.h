#pragma once

#include <QDialog>

// The size-correction form: cuts a picture to the exact size its caller needs.
class TFormPictureKiridasi : public QDialog {
    Q_OBJECT

public:
    explicit TFormPictureKiridasi(QWidget* parent = nullptr);
};
