#pragma once

#include <QDialog>

// The treasure pictures form.
class TForm3 : public QDialog {
    Q_OBJECT

public:
    explicit TForm3(QWidget* parent = nullptr);

    // Empties the ring of treasure changes and takes its baseline.
    void ResetUndo();
};
