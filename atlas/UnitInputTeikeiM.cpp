#include "UnitInputTeikeiM.h"

#include "AsciiCase.h"
#include "AtlasForms.h"
#include "MyFileDialogs.h"
#include "PopupKeys.h"
#include "ProfileFile.h"
#include "ProgramFolder.h"
#include "Prompter.h"
#include "Unit1.h"

#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TFormInputTeikeiM::TFormInputTeikeiM(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormInputTeikeiM"_s);
    setWindowTitle(u"定型文の編集"_s);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    resize(462, 263);

    Label1 = new QLabel(this);
    Edit1 = new QLineEdit(this);
    Label2 = new QLabel(u"内容"_s, this);
    Edit2 = new QLineEdit(this);
    btSansyou = new QPushButton(u"参照"_s, this);
    btOK = new QPushButton(u"OK"_s, this);
    btCancel = new QPushButton(u"ｷｬﾝｾﾙ"_s, this);
    // Enter is the form's own key (see FormKeyDown), not a default button's.
    for (QPushButton* b : {btSansyou, btOK, btCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0, 1, 2);
    grid->addWidget(Edit1, 1, 0, 1, 2);
    grid->addWidget(Label2, 2, 0, 1, 2);
    grid->addWidget(Edit2, 3, 0);
    grid->addWidget(btSansyou, 3, 1);
    grid->setRowStretch(4, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    grid->addLayout(buttons, 5, 0, 1, 2);

    connect(btSansyou, &QPushButton::clicked, this, &TFormInputTeikeiM::btSansyouClick);
    connect(btOK, &QPushButton::clicked, this, &TFormInputTeikeiM::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TFormInputTeikeiM::btCancelClick);

    // The form sees keys before its controls.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    FormCreate();
}

TFormInputTeikeiM::~TFormInputTeikeiM() = default;

void TFormInputTeikeiM::FormCreate()
{
    MyOpenDialog1 = std::make_unique<TMyOpenDialog>();
    MyOpenDialog1->KeepSize = false;
    auto* forms = AtlasForms::current();
    if (forms && forms->form1)
        MyOpenDialog1->InitialDir = forms->form1->SettingsFolder;
}

int TFormInputTeikeiM::ShowModal()
{
    setResult(0);
    FormShow();
    return Prompter::backend().execModal(*this);
}

void TFormInputTeikeiM::FormShow() { Edit1->setFocus(); }

void TFormInputTeikeiM::btSansyouClick()
{
    MyOpenDialog1->Title = u"外部ツールの追加"_s;
    // Programs here rarely carry the ".exe" of the stored lists, so every file can be chosen too.
    MyOpenDialog1->Filter = u"実行ファイル (*.exe)|*.exe|すべてのファイル (*)|*"_s;
#ifdef Q_OS_WIN
    MyOpenDialog1->FilterIndex = 1;
#else
    MyOpenDialog1->FilterIndex = 2;
#endif
    if (!MyOpenDialog1->Execute(this))
        return;
    // Relative only when inside the program folder: a path climbing out of it would break as
    // soon as the program folder moves.
    const QString chosen = MyOpenDialog1->FileName;
    const QString relative = ProgramFolder::resolveExeRelativePath(chosen, true);
    const bool inside = relative != u".."_s && !relative.startsWith(u"../"_s) && QFileInfo(relative).isRelative();
    Edit2->setText(inside ? relative : chosen);
}

QString TFormInputTeikeiM::fieldFault(const QString& field, const QString& text)
{
    const QString fault = ProfileFile::storeFault(text);
    if (fault.isEmpty())
        return QString();
    return u"［"_s + field + u"］に，"_s + fault + (fault.startsWith(u'"') ? u" は"_s : u"は"_s)
           + u"使えません。\r\n設定ファイルに正しく保存できません。"_s;
}

QString TFormInputTeikeiM::captionFault(const QString& caption) const
{
    if (caption.contains(u'='))
        return u"［項目名］に，\"=\" は使えません。"_s;
    if (caption.contains(u'-'))
        return u"［項目名］に，半角の \"-\" は使えません。"_s;
    const QString key = caption.trimmed();
    if (key.isEmpty())
        return u"［項目名］を指定して下さい。"_s;
    // The settings file would read these as a comment or a section header.
    if (key.startsWith(u';') || key.startsWith(u'['))
        return u"［項目名］の先頭に，\";\" と \"[\" は使えません。"_s;
    if (const QString refused = fieldFault(u"項目名"_s, caption); !refused.isEmpty())
        return refused;
    for (const QString& other : OtherCaptions)
        if (AsciiCase::equal(other.trimmed(), key))
            return u"［項目名］の \""_s + key + u"\" は，すでに登録されています。"_s;
    return QString();
}

void TFormInputTeikeiM::btOKClick()
{
    const QString fault = captionFault(Edit1->text());
    if (!fault.isEmpty()) {
        Prompter::warn(this, fault);
        Edit1->setFocus();
        return;
    }
    // Refused here, where it was typed or pasted: the settings file could not hold it, or would
    // give back another path.
    if (const QString refused = fieldFault(Label2->text(), Edit2->text()); !refused.isEmpty()) {
        Prompter::warn(this, refused);
        Edit2->setFocus();
        return;
    }
    done(QDialog::Accepted);
}

void TFormInputTeikeiM::btCancelClick() { done(QDialog::Rejected); }

bool TFormInputTeikeiM::FormKeyDown(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (btCancel->hasFocus())
            btCancelClick();
        else
            btOKClick();
        return true;
    case Qt::Key_Escape:
        btCancelClick();
        return true;
    default:
        return false;
    }
}

bool TFormInputTeikeiM::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && !PopupKeys::forPopup(watched)
        && FormKeyDown(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}
