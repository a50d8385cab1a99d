#pragma once

#include <QRect>
#include <QWidget>

class TMyRichEdit;
class TFormEditText;

// A scratch page: a page of plain text beside the description, docked as a tab of the
// description editor window or floating as a window of its own. The window owns it.
class TFormRefPage : public QWidget {
    Q_OBJECT

public:
    explicit TFormRefPage(TFormEditText* owner);

    TMyRichEdit* MyRichEdit1 = nullptr;
    // The page number, 1 or more; -1 once the page is being closed.
    int Tag = 0;
    QString FileName;
    // Where a floating page goes back to after the application was inactive.
    QRect FloatBounds;

    bool isFloating() const { return isWindow(); }

protected:
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    TFormEditText* m_owner;
};
