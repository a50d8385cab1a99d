#include "UnitEditText.h"

#include "MyRichEdit.h"
#include "Prompter.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TFormEditText::TFormEditText(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormEditText"));
    auto* layout = new QVBoxLayout(this);
    MyRichEdit1 = new TMyRichEdit(this);
    MyRichEdit1->setIndentLeft(10);
    MyRichEdit1->setIndentTop(0);
    MyRichEdit1->setUndoMax(21);
    layout->addWidget(MyRichEdit1);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QString::fromUtf16(u"ｷｬﾝｾﾙ"), this);
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(800, 600);
}

int TFormEditText::ShowModal() { return Prompter::backend().execModal(*this); }

void TFormEditText::HideFloatingPages() {}

void TFormEditText::ShowFloatingPages() {}

int TFormEditText::ModifiedScratchPageCount() const { return 0; }

void TFormEditText::SaveAllScratchPages() {}

void TFormEditText::SaveScratchHistory() {}
