#include "UnitPictureSelect.h"

using namespace Qt::StringLiterals;

TFormPictureSelect::TFormPictureSelect(QWidget* parent) : QDialog(parent) {
    setObjectName(u"FormPictureSelect"_s);
    setWindowTitle(u"画像の取り込み"_s);
}
