#include "Prompter.h"
#include "QtTranslations.h"

#include "TempFolder.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A button's text as it reads on screen: the mnemonic marker is not shown.
QString shown(const QAbstractButton* button)
{
    return button ? QString(button->text()).remove(u'&') : QString();
}

// Japanese when it holds kana or kanji; "OK" reads the same in a Japanese dialog.
bool readsJapanese(const QString& text)
{
    if (QString(text).remove(u'&') == u"OK"_s)
        return true;
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x3040 && c.unicode() <= 0x30FF) || (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF);
    });
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

// Every text the file dialogs show of their own reads Japanese: labels, buttons, tips, menus, the
// column headers and the type of every kind of entry they list (a file's from the MIME database,
// a folder, the root in the computer's view). Names, sizes and dates are the user's and the
// desktop's.
TEST(QtTranslations, EveryTextOfTheFileDialogsReadsJapanese)
{
    ASSERT_TRUE(QtTranslations::installJapanese());
    TempFolder folder;
    QDir().mkdir(folder.file(u"下"_s));
    folder.write(u"絵.bmp"_s, "BM");
    const QStringList entries = {u"下"_s, u"絵.bmp"_s};

    for (const bool save : {false, true}) {
        SCOPED_TRACE(save ? "save" : "open");
        Prompter::FileRequest request;
        request.save = save;
        request.folder = folder.path();
        request.filters = {u"BMP ﾌｧｲﾙ (*.bmp)"_s};
        const auto dialog = Prompter::makeFileDialog(nullptr, request);
        dialog->show();
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        const auto typeOf = [&](const QString& path) { return model->index(path, 2).data().toString(); };
        // The model reads the folder in a thread of its own.
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return std::all_of(entries.begin(), entries.end(),
                               [&](const QString& e) { return !typeOf(folder.file(e)).isEmpty(); });
        }));

        QStringList texts = {dialog->windowTitle()};
        for (const QWidget* w : dialog->findChildren<QWidget*>()) {
            texts << w->toolTip() << w->whatsThis() << w->accessibleName();
            if (const auto* b = qobject_cast<const QAbstractButton*>(w))
                texts << b->text();
            if (const auto* l = qobject_cast<const QLabel*>(w))
                texts << l->text();
        }
        for (const QAction* a : dialog->findChildren<QAction*>())
            texts << a->text() << a->toolTip();
        for (int c = 0; c < model->columnCount(); ++c)
            texts << model->headerData(c, Qt::Horizontal).toString();
        for (const QString& e : entries)
            texts << typeOf(folder.file(e));
        texts << typeOf(u"/"_s);
        texts.removeAll(QString());
        texts.removeDuplicates();
        for (const QString& text : std::as_const(texts))
            EXPECT_TRUE(readsJapanese(text)) << text.toStdString();
        EXPECT_EQ(typeOf(folder.file(u"下"_s)), u"フォルダ"_s);
    }
}
