#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The find dialog and, with `replace` on, the replace dialog, with the fields, captions and
// switches of the system's own: shown without blocking, they report through their signals.
class TFindDialog : public QDialog {
    Q_OBJECT

public:
    TFindDialog(bool replace, QWidget* parent);

    QString FindText() const;
    void setFindText(const QString& text);
    QString ReplaceText() const;
    void setReplaceText(const QString& text);
    bool MatchCase() const;
    void setMatchCase(bool on);
    bool WholeWord() const;
    void setWholeWord(bool on);
    bool Down() const;
    void setDown(bool down);

    QLineEdit *edFind = nullptr, *edReplace = nullptr;
    QCheckBox *cbWholeWord = nullptr, *cbMatchCase = nullptr;
    QRadioButton *rbUp = nullptr, *rbDown = nullptr;
    QPushButton *btFindNext = nullptr, *btReplace = nullptr, *btReplaceAll = nullptr, *btCancel = nullptr;

signals:
    void find();
    // `all` for the replace-all button.
    void replace(bool all);
};
