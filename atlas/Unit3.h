#pragma once

#include "UnitToolSet.h"

#include <QDialog>

// The treasure pictures form.
class TForm3 : public QDialog {
    Q_OBJECT

public:
    explicit TForm3(QWidget* parent = nullptr);

    // Empties the ring of treasure changes and takes its baseline.
    void ResetUndo();

    // The last file name a picture tool handed back, and its receiver for the form's whole life.
    QString ReturnedFileName;
    SavedPictureNotice::Receiver* PictureNotice =
        ListenForSavedPictures(this, QStringLiteral("TForm3"), &ReturnedFileName);
};
