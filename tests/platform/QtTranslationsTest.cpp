#include "Prompter.h"
#include "QtTranslations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A button's text as it reads on screen: the mnemonic marker is not shown.
QString shown(const QAbstractButton* button)
{
    return button ? QString(button->text()).remove(u'&') : QString();
}

} // namespace

// Qt's standard buttons read in Japanese whatever the locale; Japanese Windows shows the mnemonic
// letter after the word, as in "はい(Y)".
TEST(QtTranslations, StandardButtonsAndFileDialogsReadJapanese)
{
    ASSERT_TRUE(QtTranslations::installJapanese());

    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Ok);
    EXPECT_TRUE(shown(box.button(QMessageBox::Yes)).startsWith(u"はい"_s))
        << shown(box.button(QMessageBox::Yes)).toStdString();
    EXPECT_TRUE(shown(box.button(QMessageBox::No)).startsWith(u"いいえ"_s));
    EXPECT_TRUE(shown(box.button(QMessageBox::Cancel)).startsWith(u"キャンセル"_s));
    EXPECT_EQ(shown(box.button(QMessageBox::Ok)), u"OK"_s);

    for (const bool save : {false, true}) {
        Prompter::FileRequest request;
        request.save = save;
        const auto dialog = Prompter::makeFileDialog(nullptr, request);
        const auto* buttons = dialog->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        const QPushButton* accept = buttons->button(save ? QDialogButtonBox::Save : QDialogButtonBox::Open);
        EXPECT_TRUE(shown(accept).startsWith(save ? u"保存"_s : u"開く"_s)) << shown(accept).toStdString();
        EXPECT_TRUE(shown(buttons->button(QDialogButtonBox::Cancel)).startsWith(u"キャンセル"_s));
    }
}

// The real message box the programs show, not a scripted one: its buttons carry the translated
// texts, and the one pressed is the answer.
TEST(QtTranslations, PrompterQuestionBoxShowsJapaneseButtons)
{
    ASSERT_TRUE(QtTranslations::installJapanese());
    QStringList seen;
    QTimer look;
    look.setInterval(0);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        look.stop();
        for (QMessageBox::StandardButton b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            seen << shown(box->button(b));
        box->button(QMessageBox::Yes)->click();
    });
    look.start();
    const Prompter::Answer answer = Prompter::backend().message(
        nullptr, u"保存しますか。"_s, Prompter::Buttons::YesNoCancel, Prompter::Kind::Question);
    EXPECT_EQ(answer, Prompter::Answer::Yes);
    ASSERT_EQ(seen.size(), 3);
    EXPECT_TRUE(seen[0].startsWith(u"はい"_s)) << seen.join(u' ').toStdString();
    EXPECT_TRUE(seen[1].startsWith(u"いいえ"_s));
    EXPECT_TRUE(seen[2].startsWith(u"キャンセル"_s));
}
