#include "UnitEditText.h"

#include "MyRichEdit.h"
#include "Prompter.h"

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
}

int TFormEditText::ShowModal() { return Prompter::backend().execModal(*this); }

void TFormEditText::HideFloatingPages() {}

void TFormEditText::ShowFloatingPages() {}

int TFormEditText::ModifiedScratchPageCount() const { return 0; }

void TFormEditText::SaveAllScratchPages() {}

void TFormEditText::SaveScratchHistory() {}
