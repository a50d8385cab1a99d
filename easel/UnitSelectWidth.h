#pragma once

#include <QDialog>

class QPushButton;
class QSpinBox;

// The small form that picks a line width.
class TFormSelectWidth : public QDialog {
    Q_OBJECT

public:
    explicit TFormSelectWidth(QWidget* parent = nullptr);

    QSpinBox* UpDown1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};
