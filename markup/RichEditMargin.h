#pragma once

#include <QTextEdit>

// A read-only help text that keeps its distance from the left, right and top edges.
class TRichEditMargin : public QTextEdit {
    Q_OBJECT

public:
    explicit TRichEditMargin(QWidget* parent = nullptr);

    int IndentLeft() const { return m_indentLeft; }
    void setIndentLeft(int pixels);
    int IndentTop() const { return m_indentTop; }
    void setIndentTop(int pixels);

private:
    // The text's rectangle: IndentLeft from both sides, IndentTop from the top.
    void applyIndents();

    int m_indentLeft = 10, m_indentTop = 6;
};
