#pragma once

#include <QDialog>

// Entry of one external tool: caption and path.
class TFormInputTeikeiM : public QDialog {
    Q_OBJECT

public:
    explicit TFormInputTeikeiM(QWidget* parent = nullptr);
};
