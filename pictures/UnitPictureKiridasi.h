#pragma once

#include <QDialog>
#include <QImage>

// The size-correction form: cuts a picture to the exact size its caller needs.
// Caller contract: set RequiredWidth, RequiredHeight and PictureFileName, ShowModal(); on OK take
// WorkBitmap, or load PictureFileName when the user saved the result under a new name there;
// SavePictureAs writes WorkBitmap to the caller's working copy.
class TFormPictureKiridasi : public QDialog {
    Q_OBJECT

public:
    explicit TFormPictureKiridasi(QWidget* parent = nullptr);

    int RequiredWidth = 400;
    int RequiredHeight = 225;
    QString PictureFileName;
    QImage WorkBitmap;

    int ShowModal();
    // ".bmp" or ".jpg" only; anything else is refused with a warning and writes nothing.
    bool SavePictureAs(const QString& path);
};
