#include "DocumentFile.h"

#include "ScriptedPrompter.h"
#include "TempFolder.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <functional>

using namespace Qt::StringLiterals;
using Prompter::Answer;

namespace {

const QByteArray Ours = "ours: 大阪\r\n";

// Rewrites the file with other bytes of the same length and gives it back its size and time stamp,
// as a coarse clock (FAT's two seconds) would show it.
void rewriteAlike(const QString& path)
{
    struct stat old;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &old), 0);
    QByteArray other = Ours;
    other[0] = 'O';
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_EQ(f.write(other), other.size());
    f.close();
    const timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

struct Road {
    const char* name;
    std::function<void(const QString& path, const TempFolder&)> meanwhile;
    bool asks;
    // A file that cannot be read has no content to agree to: each look asks.
    bool readable = true;
};

class DocumentFileRoads : public ::testing::TestWithParam<Road> {};

} // namespace

// What befalls a document's file between its read and the next save, and whether the save asks.
TEST_P(DocumentFileRoads, ASaveAsksOnlyOverOtherContent)
{
    const Road& road = GetParam();
    TempFolder temp;
    const QString path = temp.write(u"trip.map"_s, Ours);
    DocumentFile file(FileOps::ReadLimit::Text);
    file.saw(path, FileOps::seen(path));
    road.meanwhile(path, temp);
    const QByteArray before = temp.read(path);

    EXPECT_EQ(file.changedOutside(path), road.asks);
    ScriptedPrompter prompter;
    const QString question = DocumentFile::question(u"マップファイル \"trip.map\" "_s);
    prompter.answers = {Answer::No};
    EXPECT_EQ(file.mayReplace(nullptr, path, question), !road.asks);
    ASSERT_EQ(prompter.asked.size(), road.asks ? 1u : 0u);
    EXPECT_EQ(temp.read(path), before);
    if (!road.asks || !road.readable)
        return;
    EXPECT_EQ(prompter.asked[0].text,
              u"マップファイル \"trip.map\" は，開いた後に，ほかで変更されています。\r\n上書き保存しますか。"_s);
    EXPECT_EQ(prompter.asked[0].defaultAnswer, Answer::No);

    // A Yes holds for that content: the next look (the dialog's, then the save's) asks no more,
    // until the file changes again.
    prompter.answers = {Answer::Yes};
    EXPECT_TRUE(file.mayReplace(nullptr, path, question));
    EXPECT_TRUE(file.mayReplace(nullptr, path, question));
    EXPECT_EQ(prompter.asked.size(), 2u);
    ASSERT_TRUE(FileOps::writeFileAtomic(path, "a third\r\n"));
    EXPECT_FALSE(file.mayReplace(nullptr, path, question));
    EXPECT_EQ(prompter.asked.size(), 3u);

    // What the program writes is its own.
    ASSERT_TRUE(FileOps::writeFileAtomic(path, Ours + "more"));
    file.saw(path, FileOps::seenOf(Ours + "more"));
    EXPECT_FALSE(file.changedOutside(path));
}

INSTANTIATE_TEST_SUITE_P(
    Roads, DocumentFileRoads,
    ::testing::Values(
        Road{"untouched", [](const QString&, const TempFolder&) {}, false},
        Road{"same_bytes_with_a_new_stamp",
             [](const QString& path, const TempFolder&) {
                 const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
                 ASSERT_TRUE(FileOps::writeFileAtomic(path, Ours));
                 ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
             },
             false},
        Road{"other_bytes_same_size_and_stamp", [](const QString& path, const TempFolder&) { rewriteAlike(path); },
             true},
        Road{"replaced_by_rename",
             [](const QString& path, const TempFolder& temp) {
                 const QString other = temp.write(u"edited.tmp"_s, "名古屋\r\n");
                 ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
             },
             true},
        Road{"removed", [](const QString& path, const TempFolder&) { ASSERT_TRUE(QFile::remove(path)); }, false},
        Road{"made_unreadable_by_size",
             [](const QString& path, const TempFolder&) {
                 ASSERT_TRUE(QFile::resize(path, FileOps::ReadLimit::Text + 1));
             },
             true, false}),
    [](const testing::TestParamInfo<Road>& info) { return std::string(info.param.name); });

TEST(DocumentFile, OnlyTheDocumentsOwnFileIsAskedAbout)
{
    TempFolder temp;
    const QString path = temp.write(u"a/p.bmp"_s, Ours);
    const QString other = temp.write(u"a/q.bmp"_s, "never read");
    DocumentFile file(FileOps::ReadLimit::Picture);
    EXPECT_FALSE(file.changedOutside(path));
    file.saw(path, FileOps::seenOf(Ours));
    rewriteAlike(path);
    // Another spelling of the file is the file.
    EXPECT_TRUE(file.changedOutside(temp.file(u"a/../a/p.bmp"_s)));
    EXPECT_FALSE(file.changedOutside(other));
    file.forget();
    EXPECT_FALSE(file.changedOutside(path));
    EXPECT_EQ(DocumentFile::question(temp.file(u"a/p.bmp\r\nこのファイル"_s), u"ちょい置き-2"_s),
              temp.file(u"a/p.bmp\r\nこのファイルは，ちょい置き-2 で開いた後に，ほかで変更されています。\r\n"_s)
                  + u"上書き保存しますか。"_s);
}

// The watch over a real file system: an editor writing in place or replacing by a rename, the
// program's own write, and a modal window up meanwhile.
TEST(DocumentFileWatch, TellsEachOutsideChangeOnceAndNotWhileBusy)
{
    TempFolder temp;
    const QString path = temp.write(u"trip.map"_s, Ours);
    DocumentFile file(FileOps::ReadLimit::Text);
    file.saw(path, FileOps::seenOf(Ours));
    DocumentFileWatch watch(file);
    bool busy = false;
    int looks = 0;
    watch.setBusy([&] {
        ++looks;
        return busy;
    });
    int told = 0;
    QObject::connect(&watch, &DocumentFileWatch::changedOutside, [&] { ++told; });
    watch.start();
    ASSERT_TRUE(watch.isWatching());
    constexpr int Deadline = 10000;
    // The watch has looked at the file since `before` and settled.
    auto looked = [&](int before) {
        return QTest::qWaitFor([&] { return looks > before && !watch.isPending(); }, Deadline);
    };

    // The same bytes again, as the program's own save or an editor's unchanged one: nothing to tell.
    int before = looks;
    ASSERT_TRUE(FileOps::writeFileAtomic(path, Ours));
    ASSERT_TRUE(looked(before));
    EXPECT_EQ(told, 0);

    // Replaced by a rename with other content: told once, however often the file is touched. The
    // replaced file lives on while a program still has it open.
    QFile stillOpen(path);
    ASSERT_TRUE(stillOpen.open(QIODevice::ReadOnly));
    ASSERT_TRUE(FileOps::writeFileAtomic(path, "名古屋\r\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return told == 1; }, Deadline));
    before = looks;
    ASSERT_TRUE(FileOps::writeFileAtomic(path, "名古屋\r\n"));
    ASSERT_TRUE(looked(before));
    EXPECT_EQ(told, 1);

    // Written in place, the watch being on the file that the rename put there.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("追記\r\n");
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return told == 2; }, Deadline));

    // While busy, the change waits, and is told once busy ends.
    busy = true;
    ASSERT_TRUE(FileOps::writeFileAtomic(path, "京都\r\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.isHeldBack(); }, Deadline));
    EXPECT_EQ(told, 2);
    busy = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return told == 3; }, Deadline));
    EXPECT_FALSE(watch.isHeldBack());

    // The content the program takes in (a reload) is no change; the same outside content again
    // after that is a change once more.
    file.saw(path, FileOps::seen(path));
    ASSERT_TRUE(FileOps::writeFileAtomic(path, Ours));
    file.saw(path, FileOps::seenOf(Ours));
    ASSERT_TRUE(FileOps::writeFileAtomic(path, "京都\r\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return told == 4; }, Deadline));

    // A document of another file ends the watch at its next look.
    const QString other = temp.write(u"other.map"_s, Ours);
    file.saw(other, FileOps::seenOf(Ours));
    ASSERT_TRUE(FileOps::writeFileAtomic(path, "奈良\r\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watch.isWatching(); }, Deadline));
    EXPECT_EQ(told, 4);
}
