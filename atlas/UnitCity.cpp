#include "UnitCity.h"

TFormCity::TFormCity(QWidget* parent) : QDialog(parent) { setObjectName(QStringLiteral("FormCity")); }
