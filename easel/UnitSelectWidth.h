#pragma once

#include <QDialog>

// The small form that picks a line width.
class TFormSelectWidth : public QDialog {
    Q_OBJECT

public:
    explicit TFormSelectWidth(QWidget* parent = nullptr);
};
