#include "UnitEditText.h"

TFormEditText::TFormEditText(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormEditText"));
}

void TFormEditText::HideFloatingPages() {}

void TFormEditText::ShowFloatingPages() {}

int TFormEditText::ModifiedScratchPageCount() const { return 0; }

void TFormEditText::SaveAllScratchPages() {}

void TFormEditText::SaveScratchHistory() {}
