#include "UnitHanZenSettei.h"

#include "HenkanJ.h"
#include "ProfileFile.h"
#include "Prompter.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TFormHanZenSettei::TFormHanZenSettei(quint8& convertFlags, QString& noChangeChars, QWidget* parent)
    : QDialog(parent)
    , m_flags(convertFlags)
    , m_noChange(noChangeChars)
{
    setObjectName(u"FormHanZenSettei"_s);
    setWindowTitle(u"全角・半角変換の設定"_s);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(375, 382);
    setStatusTip(
        u"※解答カッコ，計算カッコ，機能カッコ，機能カッコ内の語句は，このフォームでは変換しません。置換操作で対応して下さい。"_s);

    auto box = [this](const QString& caption, const QString& hint) {
        auto* b = new QCheckBox(caption, this);
        b->setStatusTip(hint);
        b->setToolTip(hint);
        return b;
    };
    gbChars = new QGroupBox(u"変換する文字"_s, this);
    cbAlpha = box(u"英字"_s, u"A～Z，a～z のアルファベットを変換します。"_s);
    cbSuuji = box(u"数字"_s, u"0～9 の数字を変換します。"_s);
    cbSymbol = box(u"記号"_s, u"記号を変換します。"_s);
    cbKana = box(u"カタカナ"_s, u"カタカナを変換します。"_s);
    auto* chars = new QHBoxLayout(gbChars);
    for (QCheckBox* b : {cbAlpha, cbSuuji, cbSymbol, cbKana})
        chars->addWidget(b);
    const QString allHint =
        u"文字列が範囲選択されている場合，本文中に同じ文字列があれば，すべて同じように変換します。 ※通常は，範囲選択した文字列だけが変換されます。"_s;
    cbAll = box(u"文字列を範囲選択している場合，"_s, allHint);
    auto* lbAll = new QLabel(u"本文中の同じ文字列をすべて変換する"_s, this);
    lbAll->setStatusTip(allHint);
    lbAll->setIndent(22); // under the check box's caption, as the second line of it
    cbKaitou =
        box(u"すべての旅行地で，同じ変換を行う"_s, u"ここで行った変換を，すべての旅行地の説明文に対しても行います。"_s);
    cbKakko = box(u"予備"_s, QString());
    cbKakko->hide();
    cbNoChange = box(u"下記の文字は変換しない"_s, u"下に入力した変換禁止文字を有効にします。"_s);
    memoNoChange = new QLineEdit(this);
    memoNoChange->setStatusTip(u"ここに入力した文字は変換禁止になります。全角と半角は区別されます。"_s);
    memoNoChange->clear();
    auto button = [this](const QString& caption, const QString& hint) {
        auto* b = new QPushButton(caption, this);
        b->setStatusTip(hint);
        b->setAutoDefault(false);
        return b;
    };
    btNoChange = button(u"初期値"_s, u"初期値には，記号が登録されています。"_s);
    btOK = button(u"設定OK"_s, u"設定を確定して，このフォームを閉じます。　【ｷｰﾎﾞｰﾄﾞ】<F4>, <Enter>"_s);
    btCancel = button(u"ｷｬﾝｾﾙ"_s, u"設定を破棄して，このフォームを閉じます。　【ｷｰﾎﾞｰﾄﾞ】<Esc>"_s);
    btZenToHan = button(u"設定して，全角→半角変換を実行する"_s,
                        u"設定を確定してフォームを閉じた後，全角→半角変換を実行します。"_s);
    btHanToZen = button(u"設定して，半角→全角変換を実行する"_s,
                        u"設定を確定してフォームを閉じた後，半角→全角変換を実行します。"_s);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(gbChars);
    layout->addWidget(cbAll);
    layout->addWidget(lbAll);
    layout->addWidget(cbKaitou);
    layout->addWidget(cbNoChange);
    auto* noChangeRow = new QHBoxLayout;
    noChangeRow->addWidget(memoNoChange, 1);
    noChangeRow->addWidget(btNoChange);
    layout->addLayout(noChangeRow);
    layout->addStretch();
    layout->addWidget(btZenToHan);
    layout->addWidget(btHanToZen);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    layout->addLayout(buttons);

    for (QPushButton* b : {btOK, btZenToHan, btHanToZen})
        connect(b, &QPushButton::clicked, this, [this, b] { btOKClick(b); });
    connect(btCancel, &QPushButton::clicked, this, &TFormHanZenSettei::btCancelClick);
    connect(btNoChange, &QPushButton::clicked, this, &TFormHanZenSettei::btNoChangeClick);
    connect(memoNoChange, &QLineEdit::returnPressed, this, [this] { btOKClick(btOK); });
    FormShow();
}

QCheckBox* TFormHanZenSettei::boxes(int bit) const
{
    const QCheckBox* const all[] = {cbAlpha, cbSuuji, cbSymbol, cbKana, cbAll, cbKaitou, cbKakko, cbNoChange};
    return const_cast<QCheckBox*>(all[bit]);
}

void TFormHanZenSettei::FormShow()
{
    for (int bit = 0; bit < 8; ++bit)
        boxes(bit)->setChecked(m_flags & (1 << bit));
    memoNoChange->setText(m_noChange);
}

void TFormHanZenSettei::btOKClick(QPushButton* sender)
{
    // The characters are kept in the settings file; what it cannot hold, or would give back as
    // other characters, is refused here rather than lost at the close.
    if (const QString fault = ProfileFile::storeFault(memoNoChange->text()); !fault.isEmpty()) {
        Prompter::warn(this, u"変換禁止文字に，"_s + fault + (fault.startsWith(u'"') ? u" は"_s : u"は"_s)
                                 + u"使えません。\r\n設定ファイルに正しく保存できません。"_s);
        memoNoChange->setFocus();
        return;
    }
    quint8 flags = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (boxes(bit)->isChecked())
            flags |= quint8(1 << bit);
    m_flags = flags;
    m_noChange = memoNoChange->text();
    done(sender == btZenToHan ? ResultZenToHan : sender == btHanToZen ? ResultHanToZen : int(Rejected));
}

void TFormHanZenSettei::btCancelClick()
{
    done(Rejected);
}

void TFormHanZenSettei::btNoChangeClick()
{
    memoNoChange->setText(HenkanJ::DefaultNoChangeChars());
}

void TFormHanZenSettei::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F4) {
        btOKClick(btOK);
        return;
    }
    QDialog::keyPressEvent(event);
}
