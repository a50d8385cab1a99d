#include "Unit2.h"

#include "AsciiCase.h"
#include "Prompter.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TForm2::TForm2(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"Form2"_s);
    auto* grid = new QGridLayout(this);
    Edit1 = new QLineEdit(this);
    Edit2 = new QLineEdit(this);
    Edit4 = new QLineEdit(this);
    Edit5 = new QLineEdit(this);
    Memo1 = new QPlainTextEdit(this);
    imCity = new QLabel(this);
    imCity->setFixedSize(400, 225);
    const std::pair<const char16_t*, QWidget*> rows[] = {{u"タイトル１行目", Edit1}, {u"タイトル２行目", Edit2},
                                                         {u"せりふ１行目", Edit4},   {u"せりふ２行目", Edit5},
                                                         {u"説明文", Memo1}};
    int r = 0;
    for (const auto& [label, widget] : rows) {
        grid->addWidget(new QLabel(QString::fromUtf16(label), this), r, 0);
        grid->addWidget(widget, r++, 1);
    }
    grid->addWidget(new QLabel(u"旅行地画像"_s, this), 0, 2);
    grid->addWidget(imCity, 1, 2, 4, 1);
    auto* buttons = new QHBoxLayout;
    btOK = new QPushButton(u"OK"_s, this);
    btCancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    grid->addLayout(buttons, r, 0, 1, 3);
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm2::UpdateDestinationCaption()
{
    QString caption = u"%1 番目の旅行地"_s.arg(DestinationIndex);
    if (DestinationIndex == 0)
        caption += u" <スタート地点>"_s;
    if (!PicturePath.isEmpty() && QFileInfo(PicturePath).isFile())
        caption += u"　（旅行地画像 \""_s + QFileInfo(PicturePath).fileName() + u"\"）"_s;
    setWindowTitle(caption);
}

void TForm2::showPicture(const QImage& picture) { imCity->setPixmap(QPixmap::fromImage(picture)); }

bool TForm2::PictureUndoState(int mode)
{
    if (mode == 0) {
        m_baselinePicture = PicturePath;
        return false;
    }
    return mode == 1 && !AsciiCase::equal(PicturePath, m_baselinePicture);
}

void TForm2::FormShow() { PictureUndoState(0); }

int TForm2::ShowModal()
{
    FormShow();
    return Prompter::backend().execModal(*this);
}
