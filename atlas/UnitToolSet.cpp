#include "UnitToolSet.h"

TFormToolSet::TFormToolSet(QWidget* parent) : QDialog(parent) { setObjectName(QStringLiteral("FormToolSet")); }

void TFormToolSet::BuildToolsMenu(QMenu*) {}

void TFormToolSet::SaveToolSettings() {}
