#include "FileOps.h"

#include "HostileFolder.h"
#include "TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>

using namespace Qt::StringLiterals;

namespace {

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// The other names a file can be reached by, each made next to the original.
enum class Alias { SamePath, DotDot, HardLink, SymLink };

void PrintTo(Alias alias, std::ostream* out)
{
    const char* names[] = {"same path", "dir/../dir", "hard link", "symbolic link"};
    *out << names[int(alias)];
}

class CopyOntoItselfTest : public ::testing::TestWithParam<Alias> {};

TEST_P(CopyOntoItselfTest, IsRefusedAndLeavesTheFileAlone)
{
    TempFolder temp;
    const QByteArray bytes("BM original bytes");
    const QString file = temp.write(u"dir/a.bmp"_s, bytes);
    QString alias;
    switch (GetParam()) {
    case Alias::SamePath:
        alias = file;
        break;
    case Alias::DotDot:
        alias = temp.file(u"dir/../dir/a.bmp"_s);
        break;
    case Alias::HardLink:
        alias = temp.file(u"dir/b.bmp"_s);
        ASSERT_EQ(::link(QFile::encodeName(file).constData(), QFile::encodeName(alias).constData()), 0);
        break;
    case Alias::SymLink:
        alias = temp.file(u"dir/b.bmp"_s);
        ASSERT_TRUE(QFile::link(file, alias));
        break;
    }
    const FileOps::Stamp before = FileOps::stamp(file);
    QString error;
    EXPECT_FALSE(FileOps::copyFile(file, alias, &error));
    EXPECT_TRUE(error.contains(u"a.bmp"_s) || error.contains(u"b.bmp"_s)) << error.toStdString();
    EXPECT_EQ(temp.read(file), bytes);
    EXPECT_EQ(FileOps::stamp(file), before);
    EXPECT_FALSE(FileOps::copyFile(alias, file));
    EXPECT_EQ(temp.read(file), bytes);
}

INSTANTIATE_TEST_SUITE_P(Aliases, CopyOntoItselfTest,
                         ::testing::Values(Alias::SamePath, Alias::DotDot, Alias::HardLink, Alias::SymLink));

TEST(FileOpsTest, CopyReplacesTargetAndLeavesNoTemporaryFile)
{
    TempFolder temp;
    // Larger than any sensible copy buffer and not a multiple of one.
    QByteArray big(3 * 65536 + 17, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 251);
    const QString from = temp.write(u"絵/a.bmp"_s, big);
    const QString to = temp.write(u"写真/b.bmp"_s, QByteArray("old target, longer than nothing"));
    QString error;
    ASSERT_TRUE(FileOps::copyFile(from, to, &error)) << error.toStdString();
    EXPECT_EQ(temp.read(to), big);
    EXPECT_EQ(entriesOf(temp.file(u"写真"_s)), QStringList{u"b.bmp"_s});

    const QString empty = temp.write(u"empty.bmp"_s, QByteArray());
    ASSERT_TRUE(FileOps::copyFile(empty, to));
    EXPECT_TRUE(temp.exists(u"写真/b.bmp"_s));
    EXPECT_EQ(temp.read(to), QByteArray());
}

TEST(FileOpsTest, FailedCopyKeepsTheOldTarget)
{
    TempFolder temp;
    const QByteArray old("old target");
    const QString to = temp.write(u"b.bmp"_s, old);
    temp.write(u"folder/x.bmp"_s, "x");
    QStringList sources{temp.file(u"missing.bmp"_s), temp.file(u"folder"_s)};
    // A proc file claims size 0 yet reads bytes: the copy fails only after writing has begun.
    if (QFileInfo(u"/proc/self/status"_s).isFile())
        sources.append(u"/proc/self/status"_s);
    for (const QString& from : sources) {
        QString error;
        EXPECT_FALSE(FileOps::copyFile(from, to, &error)) << from.toStdString();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(temp.read(to), old);
    }
    EXPECT_EQ(entriesOf(temp.path()), (QStringList{u"b.bmp"_s, u"folder"_s}));
}

TEST(FileOpsTest, CopyIntoMissingFolderFailsCleanly)
{
    TempFolder temp;
    const QString from = temp.write(u"a.bmp"_s, "bytes");
    QString error;
    EXPECT_FALSE(FileOps::copyFile(from, temp.file(u"nowhere/a.bmp"_s), &error));
    EXPECT_TRUE(error.contains(u"nowhere"_s)) << error.toStdString();
    EXPECT_TRUE(error.contains(u"フォルダがありません"_s)) << error.toStdString();
    EXPECT_EQ(entriesOf(temp.path()), QStringList{u"a.bmp"_s});
}

TEST(FileOpsTest, WriteFileAtomicReplacesOrFailsWithoutLeftovers)
{
    TempFolder temp;
    const QString path = temp.write(u"map.txt"_s, "old");
    ASSERT_TRUE(FileOps::writeFileAtomic(path, "new contents"));
    EXPECT_EQ(temp.read(path), QByteArray("new contents"));
    QString error;
    // The cause in the programs' words: a folder that is not there (or went).
    EXPECT_FALSE(FileOps::writeFileAtomic(temp.file(u"nowhere/map.txt"_s), "x", &error));
    EXPECT_TRUE(error.contains(u"フォルダがありません"_s)) << error.toStdString();
    EXPECT_EQ(entriesOf(temp.path()), QStringList{u"map.txt"_s});
}

// A disk that fills up part way: the write fails, says so, and the old file stays whole.
TEST(FileOpsTest, WriteThatRunsOutOfRoomIsAFailure)
{
    TempFolder temp;
    const QString path = temp.write(u"map.map"_s, "old contents");
    const QString copySource = temp.write(u"big.bin"_s, QByteArray(100000, 'x'));
    struct rlimit before;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tight = before;
    tight.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    QString writeError, copyError, syncedError;
    const bool written = FileOps::writeFileAtomic(path, QByteArray(100000, 'y'), &writeError);
    const bool copied = FileOps::copyFile(copySource, path, &copyError);
    const bool synced = FileOps::writeFileSynced(temp.file(u"t"_s), QByteArray(100000, 'y'), &syncedError);
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_FALSE(copied);
    EXPECT_FALSE(synced);
    EXPECT_TRUE(writeError.contains(u"ファイルが大きすぎます"_s)) << writeError.toStdString();
    EXPECT_FALSE(copyError.isEmpty() || syncedError.isEmpty());
    EXPECT_EQ(temp.read(u"map.map"_s), "old contents");
    EXPECT_EQ(entriesOf(temp.path()), (QStringList{u"big.bin"_s, u"map.map"_s, u"t"_s}));
}

// A full volume (a tmpfs with no room and no inodes left, mounted when the tests run as root): every
// operation that fails says the disk is full, whichever step failed.
TEST(FileOpsTest, EveryFailedOperationNamesItsCause)
{
    TempFolder temp;
    const QString volume = temp.file(u"stick"_s);
    ASSERT_TRUE(QDir().mkpath(volume));
    if (::geteuid() != 0
        || ::system(
               ("mount -t tmpfs -o size=64k,nr_inodes=16 tmpfs '" + volume.toStdString() + "' 2>/dev/null").c_str())
               != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        QString at;
        ~Unmount() { [[maybe_unused]] const int r = ::system(("umount -l '" + at.toStdString() + "'").c_str()); }
    } unmount{volume};
    const QString source = temp.write(u"source.bin"_s, QByteArray(200000, 's'));
    temp.write(u"tree/a.bin"_s, "a");
    // Fill the inodes, then the room.
    for (int n = 0; n < 32; ++n)
        ::close(::open(QFile::encodeName(volume + u"/f%1"_s.arg(n)).constData(), O_CREAT | O_WRONLY, 0644));
    {
        QFile filler(volume + u"/f0"_s);
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'f')) > 0 && filler.flush()) {
        }
    }
    const QString full = u"ディスクに空きがありません"_s;
    QString why;
    EXPECT_FALSE(FileOps::makeFolder(volume + u"/new/deeper"_s, &why));
    EXPECT_TRUE(why.contains(full)) << why.toStdString();
    EXPECT_FALSE(FileOps::writeFileAtomic(volume + u"/f1"_s, QByteArray(100000, 'w'), &why));
    EXPECT_TRUE(why.contains(full)) << why.toStdString();
    EXPECT_FALSE(FileOps::copyFile(source, volume + u"/f2"_s, &why));
    EXPECT_TRUE(why.contains(full)) << why.toStdString();
    EXPECT_FALSE(FileOps::mirrorFolder(temp.file(u"tree"_s), volume + u"/mirror"_s, {}, &why));
    EXPECT_TRUE(why.contains(full)) << why.toStdString();

    // A file where a folder should be is named as such.
    temp.write(u"in-the-way"_s, "x");
    EXPECT_FALSE(FileOps::makeFolder(temp.file(u"in-the-way/below"_s), &why));
    EXPECT_TRUE(why.contains(u"同名のファイルがあります"_s)) << why.toStdString();
}

TEST(FileOpsTest, DeletingWhatIsMissingSucceeds)
{
    TempFolder temp;
    const QString file = temp.write(u"a.bmp"_s, "a");
    temp.write(u"tree/sub/deep/b.bmp"_s, "b");
    EXPECT_TRUE(FileOps::deleteFile(file));
    EXPECT_FALSE(temp.exists(u"a.bmp"_s));
    EXPECT_TRUE(FileOps::deleteFile(file));
    EXPECT_TRUE(FileOps::deleteFolder(temp.file(u"tree"_s)));
    EXPECT_FALSE(temp.exists(u"tree"_s));
    EXPECT_TRUE(FileOps::deleteFolder(temp.file(u"tree"_s)));
}

TEST(FileOpsTest, RenameFolderRefusesMissingSourceAndExistingTarget)
{
    TempFolder temp;
    temp.write(u"old/a.bmp"_s, "a");
    temp.write(u"taken/b.bmp"_s, "b");
    QString error;
    EXPECT_FALSE(FileOps::renameFolder(temp.file(u"old"_s), temp.file(u"taken"_s), &error));
    EXPECT_TRUE(error.contains(u"taken"_s)) << error.toStdString();
    EXPECT_TRUE(temp.exists(u"old/a.bmp"_s));
    EXPECT_EQ(entriesOf(temp.file(u"taken"_s)), QStringList{u"b.bmp"_s});
    EXPECT_FALSE(FileOps::renameFolder(temp.file(u"missing"_s), temp.file(u"new"_s)));
    EXPECT_FALSE(temp.exists(u"new"_s));

    ASSERT_TRUE(FileOps::makeFolder(temp.file(u"x/y"_s)));
    ASSERT_TRUE(FileOps::renameFolder(temp.file(u"old"_s), temp.file(u"x/y/新"_s)));
    EXPECT_FALSE(temp.exists(u"old"_s));
    EXPECT_EQ(temp.read(temp.file(u"x/y/新/a.bmp"_s)), QByteArray("a"));
}

TEST(FileOpsTest, StampSeesNanosecondAndSizeChanges)
{
    TempFolder temp;
    EXPECT_FALSE(FileOps::stamp(temp.file(u"missing"_s)).exists);
    const QString path = temp.write(u"a.bmp"_s, "1234");
    auto setMtime = [&](time_t seconds, long nanoseconds) {
        const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    };
    setMtime(1700000000, 123456789);
    const FileOps::Stamp first = FileOps::stamp(path);
    EXPECT_TRUE(first.exists);
    EXPECT_EQ(first.size, 4);
    EXPECT_EQ(first.mtimeNs, 1700000000LL * 1000000000 + 123456789);

    // Same size, same second: only the nanoseconds tell the rewrite apart.
    temp.write(u"a.bmp"_s, "5678");
    setMtime(1700000000, 123456790);
    const FileOps::Stamp second = FileOps::stamp(path);
    EXPECT_EQ(second.size, first.size);
    EXPECT_NE(second, first);

    temp.write(u"a.bmp"_s, "12345");
    setMtime(1700000000, 123456790);
    EXPECT_NE(FileOps::stamp(path), second);
}

// Only a regular file of at most the limit is read, and only as long as it stays within it; what
// is refused gives nothing, the reason alone and the reason with the path.
TEST(FileOpsTest, ReadFileTakesOnlyARegularFileWithinTheLimit)
{
    TempFolder temp;
    const qint64 limit = 100;
    struct Case {
        const char* what;
        QString path;
        bool read;
        const char16_t* reason;
    };
    const Case cases[] = {
        {"regular", temp.write(u"a.txt"_s, QByteArray(40, 'a')), true, u""},
        {"empty", temp.write(u"empty.txt"_s, QByteArray()), true, u""},
        {"at the limit", temp.write(u"full.txt"_s, QByteArray(limit, 'f')), true, u""},
        {"one byte over", temp.write(u"over.txt"_s, QByteArray(limit + 1, 'o')), false, u"ファイルが大きすぎます"},
        {"missing", temp.file(u"none.txt"_s), false, u"ファイルがありません"},
        {"folder", temp.path(), false, u"フォルダです"},
        // Size 0 to fstat, more than the limit when read: the size is no promise.
        {"grows while read", u"/proc/self/status"_s, false, u"ファイルが大きすぎます"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray bytes("stale");
        QString error, reason;
        EXPECT_EQ(FileOps::readFile(c.path, limit, bytes, &error, &reason), c.read);
        if (c.read) {
            EXPECT_EQ(bytes, temp.read(c.path));
            EXPECT_TRUE(reason.isEmpty());
        } else {
            EXPECT_TRUE(bytes.isEmpty());
            EXPECT_TRUE(reason.startsWith(QString::fromUtf16(c.reason))) << reason.toStdString();
            EXPECT_TRUE(error.contains(c.path) && error.contains(reason)) << error.toStdString();
        }
    }
    QByteArray status;
    EXPECT_TRUE(FileOps::readFile(u"/proc/self/status"_s, 1 << 20, status));
    EXPECT_TRUE(status.contains("VmRSS:")) << "a file that is longer than its size says is read to its end";

    const Unreadable kinds[] = {Unreadable::Pipe, Unreadable::EndlessDevice, Unreadable::Oversized};
    for (const Unreadable kind : kinds) {
        const QString path = temp.file(u"hostile%1"_s.arg(int(kind)));
        ASSERT_TRUE(plantUnreadable(path, kind, limit + 1));
        for (const bool whole : {true, false}) {
            SCOPED_TRACE(int(kind) * 2 + whole);
            QByteArray bytes;
            QString reason;
            const ReaderRun run = runReader(path, [&] {
                EXPECT_EQ(whole ? FileOps::readFile(path, limit, bytes, nullptr, &reason)
                                : FileOps::readFileStart(path, 10, bytes, nullptr, &reason),
                          !whole && kind == Unreadable::Oversized);
            });
            EXPECT_FALSE(run.blocked) << "the open of a pipe waited for a writer";
            EXPECT_EQ(reason.isEmpty(), !whole && kind == Unreadable::Oversized) << reason.toStdString();
            EXPECT_EQ(bytes.size(), !whole && kind == Unreadable::Oversized ? 10 : 0);
        }
    }
}

class FindFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString& name : {u"a.bmp"_s, u"B.JPG"_s, u"d.jp"_s, u"e.bmpx"_s, u"f"_s, u"g.png"_s,
                                    u"m/c.jpg"_s, u"m/n/h.bmp"_s, u"z.bmp"_s})
            temp.write(name, "x");
        // A link back up the tree must not be walked into.
        QFile::link(temp.path(), temp.file(u"m/loop"_s));
    }
    QStringList find(const QString& extensions, bool recurse, const QString& folder = QString())
    {
        QStringList list;
        FileOps::findFiles(folder.isEmpty() ? temp.path() : folder, extensions, recurse, list);
        return list;
    }
    QStringList inTemp(const QStringList& names)
    {
        QStringList paths;
        for (const QString& name : names)
            paths.append(temp.file(name));
        return paths;
    }
    TempFolder temp;
};

TEST_F(FindFilesTest, MatchesWholeExtensionsIgnoringCase)
{
    EXPECT_EQ(find(u"bmp,jpg"_s, false), inTemp({u"B.JPG"_s, u"a.bmp"_s, u"z.bmp"_s}));
    EXPECT_EQ(find(u"jp"_s, false), inTemp({u"d.jp"_s}));
    EXPECT_EQ(find(u"bmp"_s, false), inTemp({u"a.bmp"_s, u"z.bmp"_s}));
    EXPECT_EQ(find(u"bmpx,gif"_s, false), inTemp({u"e.bmpx"_s}));
    EXPECT_EQ(find(u"tiff"_s, false), QStringList());
}

TEST_F(FindFilesTest, RecursesDepthFirstWithoutFollowingLinks)
{
    // A sub-folder's files come where the sub-folder sorts, before the files after it.
    EXPECT_EQ(find(u"bmp,jpg"_s, true),
              inTemp({u"B.JPG"_s, u"a.bmp"_s, u"m/c.jpg"_s, u"m/n/h.bmp"_s, u"z.bmp"_s}));
    EXPECT_EQ(find(QString(), true), inTemp({u"B.JPG"_s, u"a.bmp"_s, u"d.jp"_s, u"e.bmpx"_s, u"f"_s,
                                             u"g.png"_s, u"m/c.jpg"_s, u"m/n/h.bmp"_s, u"z.bmp"_s}));
}

TEST_F(FindFilesTest, AppendsPathsJoinedWithOneSlash)
{
    QString folder = temp.file(u"m"_s);
    QStringList list{u"kept"_s};
    FileOps::findFiles(folder, u"jpg"_s, false, list);
    FileOps::findFiles(folder + u'/', u"jpg"_s, false, list);
    EXPECT_EQ(list, (QStringList{u"kept"_s, folder + u"/c.jpg"_s, folder + u"/c.jpg"_s}));
    EXPECT_EQ(find(u"bmp"_s, false, temp.file(u"missing"_s)), QStringList());
}

struct SamePathCase {
    const char16_t* a;
    const char16_t* b;
    bool same;
};

void PrintTo(const SamePathCase& c, std::ostream* out)
{
    *out << QString::fromUtf16(c.a).toStdString() << " vs " << QString::fromUtf16(c.b).toStdString();
}

class SamePathTest : public ::testing::TestWithParam<SamePathCase> {};

TEST_P(SamePathTest, Compares)
{
    const SamePathCase& c = GetParam();
    const QString a = QString::fromUtf16(c.a), b = QString::fromUtf16(c.b);
    EXPECT_EQ(FileOps::samePathIgnoringCase(a, b), c.same);
    EXPECT_EQ(FileOps::samePathIgnoringCase(b, a), c.same);
}

INSTANTIATE_TEST_SUITE_P(Table, SamePathTest,
                         ::testing::Values(SamePathCase{u"C:\\Map\\a.bmp", u"c:/map/A.BMP", true},
                                           SamePathCase{u"/app/絵/", u"/APP/絵", true},
                                           SamePathCase{u"/app/絵", u"/app/写真", false},
                                           SamePathCase{u"/app/ab", u"/app/a", false},
                                           SamePathCase{u"/app/a", u"/app/a/b", false}));

} // namespace

// One entry whatever path reaches it: a link, a hard link, "..", a linked parent; two files of one
// content are two entries, and a missing path is none.
TEST(FileOpsTest, SameEntryIsWhatTheFileIsNotHowItIsSpelt)
{
    TempFolder temp;
    const QString file = temp.write(u"dir/a.bmp"_s, "a");
    temp.write(u"dir/b.bmp"_s, "a");
    ASSERT_TRUE(QFile::link(temp.file(u"dir"_s), temp.file(u"linked"_s)));
    ASSERT_EQ(::link(QFile::encodeName(file).constData(), QFile::encodeName(temp.file(u"hard.bmp"_s)).constData()), 0);
    for (const QString& other :
         {temp.file(u"dir/../dir/a.bmp"_s), temp.file(u"linked/a.bmp"_s), temp.file(u"hard.bmp"_s)})
        EXPECT_TRUE(FileOps::sameEntry(file, other)) << other.toStdString();
    EXPECT_TRUE(FileOps::sameEntry(temp.file(u"dir"_s), temp.file(u"linked"_s)));
    EXPECT_FALSE(FileOps::sameEntry(file, temp.file(u"dir/b.bmp"_s)));
    EXPECT_FALSE(FileOps::sameEntry(file, temp.file(u"dir/missing.bmp"_s)));
    // On a volume that keeps case, a name in another case is another name: no listed entry is taken
    // for it while the exact one is listed.
    temp.write(u"dir/A.bmp"_s, "A");
    EXPECT_FALSE(FileOps::sameEntry(file, temp.file(u"dir/A.bmp"_s)));
    EXPECT_EQ(FileOps::listedPath(temp.file(u"linked/A.bmp"_s)),
              QFileInfo(temp.file(u"dir/A.bmp"_s)).canonicalFilePath());
    EXPECT_TRUE(FileOps::listedPath(temp.file(u"dir/missing.bmp"_s)).isEmpty());
}
