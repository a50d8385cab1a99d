#pragma once

#include <QDialog>

class QMenu;

// The external tools dialog; also reads and writes the settings file.
class TFormToolSet : public QDialog {
    Q_OBJECT

public:
    explicit TFormToolSet(QWidget* parent = nullptr);

    // Fills the tools pop-up menu from the tool list.
    void BuildToolsMenu(QMenu* menu);
    // Writes the tool list and the editing options to the settings file.
    void SaveToolSettings();
};
