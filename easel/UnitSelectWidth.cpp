#include "UnitSelectWidth.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TFormSelectWidth::TFormSelectWidth(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(u"FormSelectWidth"_s);
    setWindowTitle(u"線の幅"_s);
    resize(156, 138);
    UpDown1 = new QSpinBox(this);
    UpDown1->setRange(1, 100);
    UpDown1->setValue(1);
    Button1 = new QPushButton(u"OK"_s, this);
    Button2 = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* root = new QVBoxLayout(this);
    root->addWidget(UpDown1);
    root->addLayout(buttons);
}
