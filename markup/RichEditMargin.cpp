#include "RichEditMargin.h"

#include <QTextDocument>
#include <QTextFrame>
#include <QTextFrameFormat>

using namespace Qt::StringLiterals;

TRichEditMargin::TRichEditMargin(QWidget* parent)
    : QTextEdit(parent)
{
    QFont f(u"ＭＳ Ｐゴシック"_s);
    f.setPointSize(11);
    setFont(f);
    setFrameShape(QFrame::NoFrame);
    setAcceptRichText(false);
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setTabChangesFocus(true);
    setLineWrapMode(QTextEdit::NoWrap);
    applyIndents();
    // A new text brings a new root frame without the margins.
    connect(this, &QTextEdit::textChanged, this, &TRichEditMargin::applyIndents);
}

void TRichEditMargin::setIndentLeft(int pixels)
{
    m_indentLeft = pixels;
    applyIndents();
}

void TRichEditMargin::setIndentTop(int pixels)
{
    m_indentTop = pixels;
    applyIndents();
}

void TRichEditMargin::applyIndents()
{
    QTextFrameFormat format = document()->rootFrame()->frameFormat();
    if (format.leftMargin() == m_indentLeft && format.rightMargin() == m_indentLeft && format.topMargin() == m_indentTop
        && document()->documentMargin() == 0)
        return;
    format.setLeftMargin(m_indentLeft);
    format.setRightMargin(m_indentLeft);
    format.setTopMargin(m_indentTop);
    format.setBottomMargin(0);
    document()->setDocumentMargin(0);
    document()->rootFrame()->setFrameFormat(format);
}
