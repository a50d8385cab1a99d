#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The customised open and save dialogs of both programs. Each switch takes one ability away
// from the user when false.
class TMyFileDialog {
public:
    virtual ~TMyFileDialog() = default;

    QString Title;
    QString InitialDir;
    QString FileName;
    // Toolkit filter text: "description|mask|description|mask", masks separated by ";".
    QString Filter;
    int FilterIndex = 1;
    QString DefaultExt;

    bool DirChangeBox = true, DirCreateBtn = true, DirUpBtn = true, DirPrevBtn = true,
         DirEditBox = true, DirEditPath = true, ListMenu = true, ListChangeFN = true, KeepSize = true;

    // Asked when the user accepts a name; false keeps the dialog open.
    std::function<bool(const QString&)> OnCanClose;

    // Shows the dialog; on OK FileName holds the chosen path.
    bool Execute(QWidget* parent = nullptr);

protected:
    explicit TMyFileDialog(bool save) : m_save(save) {}

private:
    bool m_save;
};

class TMyOpenDialog : public TMyFileDialog {
public:
    TMyOpenDialog() : TMyFileDialog(false) {}
};

class TMySaveDialog : public TMyFileDialog {
public:
    TMySaveDialog() : TMyFileDialog(true) {}
};

class TMyOpenPictureDialog : public TMyFileDialog {
public:
    TMyOpenPictureDialog() : TMyFileDialog(false) {}
};

class TMySavePictureDialog : public TMyFileDialog {
public:
    TMySavePictureDialog() : TMyFileDialog(true) {}
};

// Qt name filters from toolkit filter text ("全種類 (*.bmp, *.jpg)|*.bmp;*.jpg" gives
// "全種類 (*.bmp *.jpg)").
QStringList qtNameFilters(const QString& filter);
