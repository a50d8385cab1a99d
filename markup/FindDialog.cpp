#include "FindDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TFindDialog::TFindDialog(bool replace, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(replace ? u"ReplaceDialog1"_s : u"FindDialog1"_s);
    setWindowTitle(replace ? u"置換"_s : u"検索"_s);
    setModal(false);
    auto* grid = new QGridLayout(this);
    edFind = new QLineEdit(this);
    auto* findLabel = new QLabel(u"検索する文字列(&N):"_s, this);
    findLabel->setBuddy(edFind);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(edFind, 0, 1);
    int row = 1;
    if (replace) {
        edReplace = new QLineEdit(this);
        auto* replaceLabel = new QLabel(u"置換後の文字列(&P):"_s, this);
        replaceLabel->setBuddy(edReplace);
        grid->addWidget(replaceLabel, row, 0);
        grid->addWidget(edReplace, row++, 1);
    }
    cbWholeWord = new QCheckBox(u"単語単位で探す(&W)"_s, this);
    cbMatchCase = new QCheckBox(u"大文字と小文字を区別する(&C)"_s, this);
    grid->addWidget(cbWholeWord, row++, 0, 1, 2);
    grid->addWidget(cbMatchCase, row++, 0, 1, 2);
    // Whole word is hidden in the find dialog, as the window sets it up.
    cbWholeWord->setVisible(replace);
    rbUp = new QRadioButton(u"上へ(&U)"_s, this);
    rbDown = new QRadioButton(u"下へ(&D)"_s, this);
    rbDown->setChecked(true);
    if (!replace) {
        auto* direction = new QGroupBox(u"方向"_s, this);
        auto* d = new QHBoxLayout(direction);
        d->addWidget(rbUp);
        d->addWidget(rbDown);
        grid->addWidget(direction, row++, 0, 1, 2);
    } else {
        rbUp->hide();
        rbDown->hide();
    }
    auto* buttons = new QVBoxLayout;
    btFindNext = new QPushButton(u"次を検索(&F)"_s, this);
    btFindNext->setDefault(true);
    buttons->addWidget(btFindNext);
    if (replace) {
        btReplace = new QPushButton(u"置換して次に(&R)"_s, this);
        btReplaceAll = new QPushButton(u"すべて置換(&A)"_s, this);
        buttons->addWidget(btReplace);
        buttons->addWidget(btReplaceAll);
        connect(btReplace, &QPushButton::clicked, this, [this] { emit this->replace(false); });
        connect(btReplaceAll, &QPushButton::clicked, this, [this] { emit this->replace(true); });
    }
    btCancel = new QPushButton(u"キャンセル"_s, this);
    buttons->addWidget(btCancel);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 2, row, 1);
    connect(btFindNext, &QPushButton::clicked, this, &TFindDialog::find);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::close);
}

QString TFindDialog::FindText() const
{
    return edFind->text();
}
void TFindDialog::setFindText(const QString& text)
{
    edFind->setText(text);
}
QString TFindDialog::ReplaceText() const
{
    return edReplace ? edReplace->text() : QString();
}
void TFindDialog::setReplaceText(const QString& text)
{
    if (edReplace)
        edReplace->setText(text);
}
bool TFindDialog::MatchCase() const
{
    return cbMatchCase->isChecked();
}
void TFindDialog::setMatchCase(bool on)
{
    cbMatchCase->setChecked(on);
}
bool TFindDialog::WholeWord() const
{
    return cbWholeWord->isChecked();
}
void TFindDialog::setWholeWord(bool on)
{
    cbWholeWord->setChecked(on);
}
bool TFindDialog::Down() const
{
    return rbDown->isChecked();
}
void TFindDialog::setDown(bool down)
{
    (down ? rbDown : rbUp)->setChecked(true);
}
