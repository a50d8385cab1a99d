#pragma once

#include <QDialog>

// The picture import form: a picture is brought in, cut out along a line and adjusted before it is stamped.
class TFormPictureSelect : public QDialog {
    Q_OBJECT

public:
    explicit TFormPictureSelect(QWidget* parent = nullptr);
};
