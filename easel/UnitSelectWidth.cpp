#include "UnitSelectWidth.h"

using namespace Qt::StringLiterals;

TFormSelectWidth::TFormSelectWidth(QWidget* parent) : QDialog(parent) {
    setObjectName(u"FormSelectWidth"_s);
    setWindowTitle(u"線の幅"_s);
}
