#include "UnitPictureKiridasi.h"

TFormPictureKiridasi::TFormPictureKiridasi(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormPictureKiridasi"));
}
