#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The destination editor.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);

    int DestinationIndex = 0;
    // Full path of the picture being edited; empty when none.
    QString PicturePath;

    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* imCity = nullptr;
    QPushButton *btOK = nullptr, *btCancel = nullptr;

    // The caption names the destination and its picture.
    void UpdateDestinationCaption();
    // Shows a picture (already checked for its size) in imCity.
    void showPicture(const QImage& picture);
    // Mode 0 takes the picture baseline; mode 1 answers whether the picture changed since.
    bool PictureUndoState(int mode);

    // Runs the show handling, then shows the form modally through the dialog seam.
    int ShowModal();
    void FormShow();

private:
    QString m_baselinePicture;
};
