#pragma once

#include <QDialog>

// The story preview: a destination's arrival scene as the game shows it.
class TFormCity : public QDialog {
    Q_OBJECT

public:
    explicit TFormCity(QWidget* parent = nullptr);
};
