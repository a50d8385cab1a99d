#include "UnitMoji.h"

using namespace Qt::StringLiterals;

TFormMoji::TFormMoji(QWidget* parent) : QDialog(parent) {
    setObjectName(u"FormMoji"_s);
    setWindowTitle(u"文字入力"_s);
}
