#include "UnitPicEffect.h"

TFormPicEffect::TFormPicEffect(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormPicEffect"));
}
