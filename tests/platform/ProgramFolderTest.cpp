#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <ostream>

using namespace Qt::StringLiterals;

namespace {

class ProgramFolderTest : public ::testing::Test {
protected:
    void TearDown() override { ProgramFolder::setOverride(QString()); }
};

TEST_F(ProgramFolderTest, OverrideGetsOneTrailingSlashAndEmptyRestoresDefault)
{
    const QString standard = QCoreApplication::applicationDirPath() + u'/';
    EXPECT_EQ(ProgramFolder::path(), standard);
    ProgramFolder::setOverride(u"/tmp/map"_s);
    EXPECT_EQ(ProgramFolder::path(), u"/tmp/map/"_s);
    ProgramFolder::setOverride(u"/tmp/map/"_s);
    EXPECT_EQ(ProgramFolder::path(), u"/tmp/map/"_s);
    ProgramFolder::setOverride(QString());
    EXPECT_EQ(ProgramFolder::path(), standard);
}

TEST_F(ProgramFolderTest, StoredPathReadsBackslashAsSlash)
{
    EXPECT_EQ(ProgramFolder::fromStoredPath(u"C:\\地図\\絵\\a.bmp"_s), u"C:/地図/絵/a.bmp"_s);
}

struct ResolveCase {
    const char16_t* folder;
    const char16_t* path;
    bool toRelative;
    const char16_t* expected;
};

void PrintTo(const ResolveCase& c, std::ostream* out)
{
    *out << QString::fromUtf16(c.path).toStdString() << (c.toRelative ? " relative to " : " absolute from ")
         << QString::fromUtf16(c.folder).toStdString();
}

class ResolveTest : public ProgramFolderTest, public ::testing::WithParamInterface<ResolveCase> {};

TEST_P(ResolveTest, Resolves)
{
    const ResolveCase& c = GetParam();
    ProgramFolder::setOverride(QString::fromUtf16(c.folder));
    EXPECT_EQ(ProgramFolder::resolveExeRelativePath(QString::fromUtf16(c.path), c.toRelative),
              QString::fromUtf16(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolveTest,
    ::testing::Values(
        // Linux program folder.
        ResolveCase{u"/app/", u"/app/tools/x.exe", true, u"tools/x.exe"},
        ResolveCase{u"/app/", u"/app/x.exe", true, u"x.exe"},
        ResolveCase{u"/app/", u"/other/x.exe", true, u"../other/x.exe"},
        ResolveCase{u"/app/", u"/x.exe", true, u"../x.exe"},
        ResolveCase{u"/app/", u"/APP/Tools/x.exe", true, u"../APP/Tools/x.exe"},
        ResolveCase{u"/app/", u"/application/x.exe", true, u"../application/x.exe"},
        ResolveCase{u"/app/", u"\\app\\tools\\x.exe", true, u"tools/x.exe"},
        ResolveCase{u"/app/", u"tools\\x.exe", true, u"tools/x.exe"},
        ResolveCase{u"/app/", u"D:/x/y.exe", true, u"D:/x/y.exe"},
        ResolveCase{u"/app/", u"tools\\x.exe", false, u"/app/tools/x.exe"},
        ResolveCase{u"/app/", u"D:/x/y.exe", false, u"/app/D:/x/y.exe"},
        ResolveCase{u"/app/", u"/other/x.exe", false, u"/other/x.exe"},
        ResolveCase{u"/app/", u"../other/x.exe", false, u"/app/../other/x.exe"},
        // Japanese folder names.
        ResolveCase{u"/home/ユーザー/地図エディタ/", u"/home/ユーザー/地図エディタ/絵/背景.bmp", true,
                    u"絵/背景.bmp"},
        ResolveCase{u"/home/ユーザー/地図エディタ/", u"/home/ユーザー/写真/a.jpg", true, u"../写真/a.jpg"},
        ResolveCase{u"/home/ユーザー/地図エディタ/", u"絵\\背景.bmp", false,
                    u"/home/ユーザー/地図エディタ/絵/背景.bmp"}));

TEST_F(ProgramFolderTest, RelativeThenAbsoluteNamesTheSameFile)
{
    const QList<QPair<QString, QStringList>> table = {
        {u"/app/"_s, {u"/app/x.exe"_s, u"/app/tools/x.exe"_s, u"/other/deep/x.exe"_s, u"/x.exe"_s}},
        {u"/Games/地図/"_s, {u"/Games/地図/絵/a.bmp"_s, u"/Games/写真/a.jpg"_s, u"/games/地図/a.bmp"_s}},
    };
    for (const auto& [folder, paths] : table) {
        ProgramFolder::setOverride(folder);
        for (const QString& path : paths) {
            const QString relative = ProgramFolder::resolveExeRelativePath(path, true);
            const QString back = ProgramFolder::resolveExeRelativePath(relative, false);
            // "../" stays in the absolute form, so compare cleaned.
            EXPECT_EQ(QDir::cleanPath(back), path) << path.toStdString() << " -> " << relative.toStdString();
            if (path.startsWith(folder)) {
                EXPECT_EQ(back, path);
            }
        }
    }
}

} // namespace
