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
    // The rendered description shows as the game shows it: no line-end marks.
    memoCity->StrColor().ColorCREnabled = false;
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

    const QString titleHint = u"ここをクリックすると，現在の旅行地の説明を表示/非表示します。　【ｷｰﾎﾞｰﾄﾞ】<F6>"_s;
    lbCityTitle->setStatusTip(titleHint);
    lbCountryTitle->setStatusTip(titleHint);
    lbRadar->setStatusTip(u"「ぐるり★みつけ隊」のときは，現在持っているレーダーの個数を表示します。"_s);
    memoCity->setStatusTip(
        u"現在の旅行地の説明です。 「ぐるり★みつけ隊」のときは，\"<http://…>\" の部分をダブルクリックすると，"_s
        u"そのサイトを開きます。【ｷｰﾎﾞｰﾄﾞ】\"<http://…>\" にキャレットがある状態で<Enter>"_s);
    bbCity->setStatusTip(u"「ぐるり★みつけ隊」のときは，この旅行地にいるプレイヤーを表示します。　【ｷｰﾎﾞｰﾄﾞ】<F5>"_s);
    btClose->setStatusTip(u"このフォームを閉じます。　【ｷｰﾎﾞｰﾄﾞ】<Esc>"_s);
    resize(417, 457);
}

void TFormCity::DrawPointsBar() {}

int TFormCity::ShowModal() { return Prompter::backend().execModal(*this); }
