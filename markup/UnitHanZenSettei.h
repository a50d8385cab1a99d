#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The width conversion's options, made for each use. It edits the main window's option byte
// and protected characters in place.
class TFormHanZenSettei : public QDialog {
    Q_OBJECT

public:
    // Modal results besides Cancel: store and convert full to half, or half to full.
    enum { ResultZenToHan = 1, ResultHanToZen = 6 };

    TFormHanZenSettei(quint8& convertFlags, QString& noChangeChars, QWidget* parent);

    QGroupBox* gbChars = nullptr;
    QCheckBox *cbAlpha = nullptr, *cbSuuji = nullptr, *cbSymbol = nullptr, *cbKana = nullptr, *cbAll = nullptr,
              *cbKaitou = nullptr, *cbKakko = nullptr, *cbNoChange = nullptr;
    QLineEdit* memoNoChange = nullptr;
    QPushButton *btNoChange = nullptr, *btOK = nullptr, *btCancel = nullptr, *btZenToHan = nullptr,
                *btHanToZen = nullptr;

    void FormShow();
    void btOKClick(QPushButton* sender);
    void btCancelClick();
    void btNoChangeClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QCheckBox* boxes(int bit) const;
    quint8& m_flags;
    QString& m_noChange;
};
