#include "UnitInputTeikeiM.h"

TFormInputTeikeiM::TFormInputTeikeiM(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormInputTeikeiM"));
}
