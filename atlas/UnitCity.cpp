#include "UnitCity.h"

#include "MyRichEdit.h"
#include "Prompter.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TFormCity::TFormCity(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormCity"_s);
    setWindowTitle(u"ぐるりみつけ隊　ストーリー"_s);
    auto* layout = new QVBoxLayout(this);
    lbCityTitle = new QLabel(this);
    lbCountryTitle = new QLabel(this);
    memoCity = new TMyRichEdit(this);
    memoCity->setIndentLeft(8);
    memoCity->setIndentTop(4);
    memoCity->setReadOnly(true);
    memoCity->setUndoMax(20);
    lbRadar = new QLabel(this);
    lbTre = new QLabel(u"1個の財宝を発見"_s, this);
    bbCity = new QPushButton(u"プレイヤー"_s, this);
    lbCityMes1 = new QLabel(this);
    lbCityMes2 = new QLabel(this);
    btClose = new QPushButton(u"閉じる"_s, this);
    for (QWidget* w : std::initializer_list<QWidget*>{lbCityTitle, lbCountryTitle, memoCity, lbRadar, lbTre, bbCity,
                                                      lbCityMes1, lbCityMes2, btClose})
        layout->addWidget(w);
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);
    resize(417, 457);
}

void TFormCity::DrawPointsBar() {}

int TFormCity::ShowModal() { return Prompter::backend().execModal(*this); }
