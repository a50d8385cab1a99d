#pragma once

#include <QDialog>

// The destination editor.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);

    int DestinationIndex = 0;
    // Full path of the picture being edited; empty when none.
    QString PicturePath;
};
