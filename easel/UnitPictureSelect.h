#pragma once

#include <QDialog>
#include <QImage>

// The picture import form: a picture is brought in, cut out along a line and adjusted before it is stamped.
class TFormPictureSelect : public QDialog {
    Q_OBJECT

public:
    explicit TFormPictureSelect(QWidget* parent = nullptr);

    // What the editor takes after OK: the picture as it is to be placed, and the file it came from.
    QImage WorkPicture;
    QString PictureFileName;
};
