#include "UnitRefPage.h"

#include "MyRichEdit.h"
#include "UnitEditText.h"

#include <QEvent>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TFormRefPage::TFormRefPage(TFormEditText* owner)
    : QWidget(nullptr)
    , m_owner(owner)
{
    setObjectName(u"FormRefPage"_s);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    MyRichEdit1 = new TMyRichEdit(this);
    MyRichEdit1->setIndentLeft(12);
    MyRichEdit1->setIndentTop(0);
    MyRichEdit1->setUndoMax(20);
    MyRichEdit1->setFrameShape(QFrame::NoFrame);
    layout->addWidget(MyRichEdit1);
    resize(761, 533);
}

void TFormRefPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isWindow() && isActiveWindow() && m_owner)
        m_owner->RefPageActivated(this);
}

void TFormRefPage::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (isWindow() && isVisible() && m_owner)
        m_owner->RefPageMoved(this);
}
