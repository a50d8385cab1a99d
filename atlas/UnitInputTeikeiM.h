#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class TMyOpenDialog;

// Entry of one external tool: caption and path.
class TFormInputTeikeiM : public QDialog {
    Q_OBJECT

public:
    explicit TFormInputTeikeiM(QWidget* parent = nullptr);
    ~TFormInputTeikeiM() override;

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton *btSansyou = nullptr, *btOK = nullptr, *btCancel = nullptr;
    std::unique_ptr<TMyOpenDialog> MyOpenDialog1;

    // The captions of the other registered tools. Settings keys ignore case, so a caption equal
    // to one of these in any case would silently merge two tools into one.
    QStringList OtherCaptions;

    // Runs the show handling, then shows the form modally through the dialog seam.
    int ShowModal();

    void FormCreate();
    void FormShow();
    void btSansyouClick();
    void btOKClick();
    void btCancelClick();
    // Enter is OK (unless Cancel has the focus), Esc is Cancel; true when the key was used.
    bool FormKeyDown(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The caption's fault as the message to show, or empty when it can be stored.
    QString captionFault(const QString& caption) const;
    // The message refusing what the settings file cannot hold in the field, naming it; empty when
    // it can.
    static QString fieldFault(const QString& field, const QString& text);
};
