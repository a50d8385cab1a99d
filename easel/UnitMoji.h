#pragma once

#include <QDialog>

// The text form: the text and its font for a text stamp.
class TFormMoji : public QDialog {
    Q_OBJECT

public:
    explicit TFormMoji(QWidget* parent = nullptr);
};
