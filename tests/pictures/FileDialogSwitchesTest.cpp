#include "MyFileDialogs.h"

#include "BmpPicture.h"
#include "HostileFolder.h"
#include "PictureLimit.h"
#include "Prompter.h"
#include "QtPrinters.h"
#include "ScriptedPrompter.h"
#include "TempFolder.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct DialogKind {
    const char* name;
    std::function<std::unique_ptr<TMyFileDialog>()> make;
};

void PrintTo(const DialogKind& k, std::ostream* os) { *os << k.name; }

const DialogKind kinds[] = {
    {"TMyOpenDialog", [] { return std::make_unique<TMyOpenDialog>(); }},
    {"TMySaveDialog", [] { return std::make_unique<TMySaveDialog>(); }},
    {"TMyOpenPictureDialog", [] { return std::make_unique<TMyOpenPictureDialog>(); }},
    {"TMySavePictureDialog", [] { return std::make_unique<TMySavePictureDialog>(); }},
};

void setAllSwitches(TMyFileDialog& d, bool on)
{
    d.DirChangeBox = d.DirCreateBtn = d.DirUpBtn = d.DirPrevBtn = d.DirEditBox = d.DirEditPath = d.ListMenu =
        d.ListChangeFN = d.KeepSize = on;
}

// A picture folder with two levels below it, inside a throw-away folder.
class DialogTest : public ::testing::Test {
protected:
    DialogTest()
    {
        temp.write(u"pics/sub/deeper/x.bmp"_s, "BM");
        temp.write(u"pics/a.bmp"_s, "BM");
    }

    QString pics() const { return temp.path() + u"pics"_s; }
    QString sub() const { return pics() + u"/sub"_s; }
    static QString shown(const QFileDialog& dlg) { return dlg.directory().absolutePath(); }

    // Runs Execute against the script (cancelled) and builds the real Qt dialog from the request
    // it made, the way the Qt backend would before showing it.
    std::unique_ptr<QFileDialog> build(TMyFileDialog& d)
    {
        script.files = {QString()};
        EXPECT_FALSE(d.Execute());
        return Prompter::makeFileDialog(nullptr, script.fileRequests.back());
    }

    template <class W>
    static W* part(const QFileDialog& dlg, const QString& name)
    {
        W* w = dlg.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }

    static bool contextMenuRefused(QWidget* w)
    {
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
        return QCoreApplication::sendEvent(w, &e);
    }

    TempFolder temp;
    ScriptedPrompter script;
};

class DialogSwitches : public DialogTest, public ::testing::WithParamInterface<DialogKind> {};

TEST_P(DialogSwitches, EverySwitchFalseTakesItsAbilityAway)
{
    const auto d = GetParam().make();
    setAllSwitches(*d, false);
    d->InitialDir = pics();
    d->FileName = u"a.bmp"_s;
    const auto dlg = build(*d);
    auto* lookIn = part<QComboBox>(*dlg, u"lookInCombo"_s);
    auto* newFolder = part<QToolButton>(*dlg, u"newFolderButton"_s);
    auto* up = part<QToolButton>(*dlg, u"toParentButton"_s);
    auto* back = part<QToolButton>(*dlg, u"backButton"_s);
    auto* upAction = part<QAction>(*dlg, u"qt_goto_parent_action"_s);
    auto* box = part<QLineEdit>(*dlg, u"fileNameEdit"_s);
    auto* list = part<QAbstractItemView>(*dlg, u"listView"_s);
    auto* tree = part<QAbstractItemView>(*dlg, u"treeView"_s);
    ASSERT_TRUE(lookIn && newFolder && up && back && upAction && box && list && tree);

    EXPECT_FALSE(lookIn->isEnabled());
    EXPECT_FALSE(newFolder->isEnabled());
    EXPECT_FALSE(up->isEnabled()) << "not below the initial folder";
    EXPECT_FALSE(upAction->isEnabled());

    // Qt enables its buttons again on a folder change; the switches win.
    dlg->setDirectory(sub());
    EXPECT_FALSE(lookIn->isEnabled());
    EXPECT_FALSE(newFolder->isEnabled());
    EXPECT_FALSE(back->isEnabled());
    EXPECT_TRUE(up->isEnabled()) << "below the initial folder";

    // The name box takes no typing, no editing keys, no input method, no context menu.
    box->setText(u"a.bmp"_s);
    QTest::keyClicks(box, u"x/"_s);
    QTest::keyClick(box, Qt::Key_Backspace);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    QInputMethodEvent ime;
    ime.setCommitString(u"あ"_s);
    QCoreApplication::sendEvent(box, &ime);
    EXPECT_EQ(box->text(), u"a.bmp"_s);
    EXPECT_TRUE(contextMenuRefused(box));

    // The list: no renaming, no dragging, no editing keys, and a warning instead of its menu.
    for (QAbstractItemView* view : {list, tree}) {
        EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_EQ(view->dragDropMode(), QAbstractItemView::NoDragDrop);
    }
    EXPECT_FALSE(part<QAction>(*dlg, u"qt_rename_action"_s)->isVisible());
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(shown(*dlg), sub()) << "Backspace would have gone up";
    EXPECT_TRUE(contextMenuRefused(list->viewport()));
    ASSERT_EQ(script.asked.size(), 1u);
    EXPECT_EQ(script.lastText(), u"右クリックメニューは表示できません。\r\n\r\nファイルの操作（移動，コピー，削除，名前の変更など）は，\r\n編集モードの［素材ファイルの整理］で行って下さい。"_s);
    EXPECT_EQ(script.asked[0].kind, Prompter::Kind::Warning);
    EXPECT_EQ(script.sounds, std::vector<Prompter::Sound>{Prompter::Sound::Asterisk});
}

TEST_P(DialogSwitches, EverySwitchTrueLeavesQtsOwnDialog)
{
    const auto d = GetParam().make();
    d->InitialDir = pics();
    const auto dlg = build(*d);
    auto* box = part<QLineEdit>(*dlg, u"fileNameEdit"_s);
    auto* list = part<QAbstractItemView>(*dlg, u"listView"_s);
    ASSERT_TRUE(box && list);
    for (const QString& name : {u"lookInCombo"_s, u"newFolderButton"_s, u"toParentButton"_s})
        EXPECT_TRUE(part<QWidget>(*dlg, name)->isEnabled()) << name.toStdString();
    QTest::keyClicks(box, u"../x"_s);
    EXPECT_EQ(box->text(), u"../x"_s) << "typed as it is: no clean-up";
    EXPECT_NE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(part<QAction>(*dlg, u"qt_rename_action"_s)->isVisible());
    dlg->setDirectory(sub());
    EXPECT_TRUE(part<QWidget>(*dlg, u"backButton"_s)->isEnabled());
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(shown(*dlg), pics());
}

TEST_P(DialogSwitches, OpenDialogsEmptyTheNameOnAFolderChangeSaveDialogsKeepIt)
{
    const auto d = GetParam().make();
    d->InitialDir = pics();
    d->FileName = u"a.bmp"_s;
    const auto dlg = build(*d);
    auto* box = part<QLineEdit>(*dlg, u"fileNameEdit"_s);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text(), u"a.bmp"_s) << "the initial name is shown";
    box->setText(u"typed.bmp"_s);
    dlg->setDirectory(sub());
    EXPECT_EQ(box->text(), d->isSaveDialog() ? u"typed.bmp"_s : QString());
    box->setText(u"again.bmp"_s);
    QTest::keyClick(part<QAbstractItemView>(*dlg, u"listView"_s), Qt::Key_Backspace);
    EXPECT_EQ(shown(*dlg), pics());
    EXPECT_EQ(box->text(), d->isSaveDialog() ? u"again.bmp"_s : QString());
}

INSTANTIATE_TEST_SUITE_P(FourDialogs, DialogSwitches, ::testing::ValuesIn(kinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, UpGoesNoHigherThanTheInitialFolder)
{
    TMyOpenPictureDialog d;
    d.DirUpBtn = false;
    d.InitialDir = pics();
    d.FileName = sub() + u"/deeper/x.bmp"_s;
    const auto dlg = build(d);
    auto* up = part<QToolButton>(*dlg, u"toParentButton"_s);
    auto* list = part<QAbstractItemView>(*dlg, u"listView"_s);
    ASSERT_TRUE(up && list);
    EXPECT_TRUE(up->isEnabled());
    QTest::keyClick(list, Qt::Key_Backspace);
    up->click();
    EXPECT_EQ(shown(*dlg), pics());
    EXPECT_FALSE(up->isEnabled());
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(shown(*dlg), pics());
    // Reached another way (the look-in box), a folder above stays above.
    dlg->setDirectory(temp.path());
    EXPECT_FALSE(up->isEnabled());
}

// The size-correction form's save dialog: the extension follows the chosen type by its handler.
TEST_F(DialogTest, TheTypeChangeRuleAloneDecidesTheName)
{
    for (const bool withHandler : {true, false}) {
        TMySavePictureDialog d;
        d.InitialDir = pics();
        d.Filter = u"BMP ﾌｧｲﾙ (*.bmp)|*.bmp|JPEG ﾌｧｲﾙ (*.jpg)|*.jpg|全種類 (*.bmp, *.jpg)|*.bmp;*.jpg"_s;
        d.FilterIndex = 3;
        d.FileName = u"pic.jpg"_s;
        std::vector<int> asked;
        if (withHandler)
            d.OnTypeChange = [&](int index, const QString& name) {
                asked.push_back(index);
                const QString ext = index == 1 ? u".bmp"_s : index == 2 ? u".jpg"_s : QString();
                return ext.isEmpty() ? name : QFileInfo(name).completeBaseName() + ext;
            };
        const auto dlg = build(d);
        auto* box = part<QLineEdit>(*dlg, u"fileNameEdit"_s);
        auto* types = part<QComboBox>(*dlg, u"fileTypeCombo"_s);
        ASSERT_TRUE(box && types);
        EXPECT_EQ(box->text(), u"pic.jpg"_s) << "the initial type must not rewrite the initial name";
        QSignalSpy selected(dlg.get(), &QFileDialog::filterSelected);

        const struct {
            Qt::Key key;
            int index;
            QString name;
        } steps[] = {{Qt::Key_Home, 1, u"pic.bmp"_s}, {Qt::Key_Down, 2, u"pic.jpg"_s}, {Qt::Key_Down, 3, u"pic.jpg"_s}};
        for (const auto& step : steps) {
            QTest::keyClick(types, step.key);
            EXPECT_EQ(dlg->selectedNameFilter(), qtNameFilters(d.Filter).at(step.index - 1));
            EXPECT_EQ(box->text(), withHandler ? step.name : u"pic.jpg"_s) << step.index;
        }
        EXPECT_EQ(selected.count(), 3);
        if (withHandler) {
            EXPECT_EQ(asked, (std::vector<int>{1, 2, 3}));
        }
    }
}

// A name typed without extension takes the chosen type's; a type of several patterns, DefaultExt.
TEST_F(DialogTest, ANameWithoutExtensionTakesTheChosenTypes)
{
    TMySavePictureDialog d;
    d.InitialDir = pics();
    d.Filter = u"BMP ﾌｧｲﾙ (*.bmp)|*.bmp|JPEG ﾌｧｲﾙ (*.jpg)|*.jpg|全種類 (*.bmp, *.jpg)|*.bmp;*.jpg"_s;
    d.DefaultExt = u"bmp"_s;
    d.FilterIndex = 2;
    d.OnTypeChange = [](int, const QString& name) { return name; };
    const auto dlg = build(d);
    auto* box = part<QLineEdit>(*dlg, u"fileNameEdit"_s);
    auto* types = part<QComboBox>(*dlg, u"fileTypeCombo"_s);
    ASSERT_TRUE(box && types);
    box->setText(u"photo"_s);
    EXPECT_EQ(dlg->selectedFiles().value(0), pics() + u"/photo.jpg"_s);
    for (const auto& [key, ext] :
         {std::pair{Qt::Key_Home, u".bmp"_s}, {Qt::Key_Down, u".jpg"_s}, {Qt::Key_Down, u".bmp"_s}}) {
        QTest::keyClick(types, key);
        EXPECT_EQ(dlg->selectedFiles().value(0), pics() + u"/photo"_s + ext);
    }
    box->setText(u"photo.bmp"_s);
    QTest::keyClick(types, Qt::Key_Up);
    EXPECT_EQ(dlg->selectedFiles().value(0), pics() + u"/photo.bmp"_s) << "a typed extension stays";
}

// Both picture dialogs show the chosen picture and its size beside the list; nothing for a file
// that cannot be read. The other dialogs have no such pane.
TEST_P(DialogSwitches, PictureDialogsPreviewTheChosenPicture)
{
    QImage picture(960, 435, QImage::Format_RGB32);
    picture.fill(qRgb(200, 30, 30));
    const QString good = pics() + u"/wide.bmp"_s;
    ASSERT_TRUE(PictureFile::save(good, picture, 90));
    const QString bad = temp.write(u"pics/broken.jpg"_s, "not a picture");
    const auto d = GetParam().make();
    d->InitialDir = pics();
    // A name the dialog opens with is previewed without any choice of the user's.
    d->FileName = good;
    const auto dlg = build(*d);
    auto* size = dlg->findChild<QLabel*>(u"picturePreviewSize"_s);
    auto* shown = dlg->findChild<QLabel*>(u"picturePreviewPicture"_s);
    if (!d->isPictureDialog()) {
        EXPECT_EQ(size, nullptr);
        return;
    }
    ASSERT_TRUE(size && shown);
    {
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && size->text().isEmpty())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(size->text(), u"960 x 435"_s);
    }
    const auto choose = [&](const QString& path, bool expectPicture) {
        emit dlg->currentChanged(path);
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && (size->text().isEmpty() == expectPicture))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    choose(good, true);
    EXPECT_EQ(size->text(), u"960 x 435"_s);
    ASSERT_FALSE(shown->pixmap().isNull());
    EXPECT_LE(std::max(shown->pixmap().width(), shown->pixmap().height()), std::max(shown->width(), shown->height()));
    EXPECT_EQ(shown->pixmap().toImage().pixel(5, 5), qRgb(200, 30, 30));
    choose(bad, false);
    EXPECT_TRUE(size->text().isEmpty());
    EXPECT_TRUE(shown->pixmap().isNull());
    // Over the size limit: the limit's message instead of the size, and no picture.
    {
        const PictureLimit::ScopedTestLimit limit(960 * 435 - 1);
        emit dlg->currentChanged(good);
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && !size->text().contains(u"大きすぎ"_s))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(size->text(), u"画像が大きすぎます (960 x 435)。"_s);
        EXPECT_TRUE(shown->pixmap().isNull());
    }
    // Nor for what no reader takes in, and the dialog goes on at once.
    for (const Unreadable kind : {Unreadable::Pipe, Unreadable::EndlessDevice, Unreadable::Oversized}) {
        const QString hostile = pics() + u"/hostile%1.jpg"_s.arg(int(kind));
        ASSERT_TRUE(plantUnreadable(hostile, kind));
        choose(good, true);
        const ReaderRun run = runReader(hostile, [&] { choose(hostile, false); });
        EXPECT_FALSE(run.blocked) << hostile.toStdString();
        if (run.peakRise >= 0)
            EXPECT_LT(run.peakRise, OversizedBytes / 2) << hostile.toStdString();
        EXPECT_TRUE(size->text().isEmpty());
    }

    // A name typed into the box chooses too.
    auto* box = part<QLineEdit>(*dlg, u"fileNameEdit"_s);
    ASSERT_TRUE(box);
    box->clear();
    box->setText(u"wide.bmp"_s);
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && size->text().isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(size->text(), u"960 x 435"_s);
}

TEST(KeepSizePosition, CentredAcrossAndOneThirdDown)
{
    const struct {
        QRect monitor;
        QSize size;
        QPoint at;
    } cases[] = {
        {{0, 0, 1920, 1080}, {600, 400}, {660, 226}},
        {{1920, -200, 1280, 1024}, {601, 401}, {1920 + 339, -200 + 207}},
        // Larger than the monitor: the negative free space is divided toward zero.
        {{0, 0, 800, 600}, {1001, 701}, {-100, -33}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(keepSizePosition(c.monitor, c.size), c.at) << c.size.width();
}

TEST_F(DialogTest, KeepSizePlacesTheShownDialogOnTheMainWindowsMonitor)
{
    QMainWindow main;
    main.show();
    for (const bool keep : {true, false}) {
        TMyOpenDialog d;
        d.KeepSize = keep;
        d.InitialDir = pics();
        const auto dlg = build(d);
        dlg->show();
        const QSize shownSize = dlg->size();
        const QPoint expected = keepSizePosition(main.screen()->geometry(), dlg->frameGeometry().size());
        if (keep) {
            EXPECT_EQ(dlg->pos(), expected);
        } else {
            EXPECT_NE(dlg->pos(), expected) << "Qt places it itself";
        }
        EXPECT_EQ(dlg->size(), shownSize);
        dlg->hide();
    }
}

} // namespace
