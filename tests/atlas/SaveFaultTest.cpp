// Every save of the programs stopped at each of its file operations in turn, by a failure such as
// a full disk or by a kill: the file holds its old content whole or its new content whole, and a
// failure is reported as one.
#include "AsOrdinaryUser.h"
#include "AtlasFixture.h"
#include "BmpPicture.h"
#include "FileHistory.h"
#include "FileOps.h"
#include "HostileFolder.h"
#include "ProfileFile.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

struct Writer {
    const char* name;
    // Writes the new content to the path; false when it says it failed.
    std::function<bool(const QString& path)> save;
};

QImage picture(QColor colour)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

const Writer writers[] = {
    {"settings",
     [](const QString& path) {
         ProfileFile ini(path);
         ini.load();
         ini.writeString(u"外部ツール"_s, u"お絵かき"_s, u"easel"_s);
         ini.writeString(u"編集操作"_s, u"検索条件"_s, u"7"_s);
         return ini.save();
     }},
    {"history",
     [](const QString& path) {
         FileHistory history;
         history.load(path);
         history.add(u"/maps/新しい.map"_s);
         return history.save(path);
     }},
    {"bmp picture",
     [](const QString& path) { return PictureFile::save(path + u".bmp"_s, picture(Qt::blue), 100); }},
    {"jpeg picture",
     [](const QString& path) { return PictureFile::save(path + u".jpg"_s, picture(Qt::blue), 100); }},
};

class SaveFault : public ::testing::TestWithParam<std::tuple<int, bool>> {
protected:
    void TearDown() override { FileOps::setFaultHook({}); }
    const Writer& writer() const { return writers[std::get<0>(GetParam())]; }
    bool kill() const { return std::get<1>(GetParam()); }
};

TEST_P(SaveFault, OldOrNewWholeAndFailuresSaySo)
{
    TempFolder dir;
    // The old content is a picture of another colour or a settings file; the new one is what the
    // writer makes of it.
    const QString name = QString::fromUtf8(writer().name);
    const QString path = dir.file(u"file"_s);
    const QString target = name == u"jpeg picture"_s  ? path + u".jpg"_s
                           : name == u"bmp picture"_s ? path + u".bmp"_s
                                                      : path;
    if (name.endsWith(u"picture"_s))
        ASSERT_TRUE(PictureFile::save(target, picture(Qt::red), 100));
    else
        dir.write(u"file"_s, "; old\r\n");
    const QByteArray old = readBytes(target);
    ASSERT_TRUE(writer().save(path));
    const QByteArray fresh = readBytes(target);
    ASSERT_NE(old, fresh);

    for (int stopAt = 1;; ++stopAt) {
        SCOPED_TRACE(stopAt);
        QFile::remove(target);
        dir.write(target.mid(dir.path().size()), old);
        int count = 0;
        stopAtOperation(stopAt, kill(), &count);
        bool ok = false;
        try {
            ok = writer().save(path);
        } catch (const Killed&) {
        }
        FileOps::setFaultHook({});
        const QByteArray now = readBytes(target);
        EXPECT_TRUE(now == old || now == fresh);
        if (count < stopAt) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(now, fresh);
            break;
        }
        if (!kill()) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(now, old);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, SaveFault, ::testing::Combine(::testing::Range(0, 4), ::testing::Bool()),
                         [](const auto& info) {
                             std::string name = writers[std::get<0>(info.param)].name;
                             for (char& c : name)
                                 if (c == ' ')
                                     c = '_';
                             return name + (std::get<1>(info.param) ? "_Kill" : "_Fail");
                         });

// What the disk may hold where a writer writes: the target a link (absolute or relative) to a file
// in another folder, a read-only file, a name of 250 bytes or one with characters code page 932
// maps one way, and beside it every kind of entry a user's folder holds. Only the file the target
// names changes, to its new content whole (a read-only one not at all, and the writer says so),
// the leftover of a killed write goes, links stay links, and the next save goes through.
enum class Target { Beside, LinkAbsolute, LinkRelative, ReadOnly, LongName, OneWayName };

class HostileTarget : public ::testing::TestWithParam<std::tuple<int, Target>> {
protected:
    const Writer& writer() const { return writers[std::get<0>(GetParam())]; }
    Target situation() const { return std::get<1>(GetParam()); }
    QString extension() const
    {
        const QString name = QString::fromUtf8(writer().name);
        return name == u"jpeg picture"_s ? u".jpg"_s : name == u"bmp picture"_s ? u".bmp"_s : QString();
    }
    void putOld(const QString& file)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (extension().isEmpty()) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("; old\r\n");
        } else {
            ASSERT_TRUE(PictureFile::save(file, picture(Qt::red), 100));
        }
    }
};

TEST_P(HostileTarget, OnlyTheTargetChangesAndTheNextSaveGoesOn)
{
    // What the writer makes of the old content in a plain folder.
    TempFolder plain;
    putOld(plain.file(u"file"_s) + extension());
    ASSERT_TRUE(writer().save(plain.file(u"file"_s)));
    const QByteArray fresh = readBytes(plain.file(u"file"_s) + extension());

    TempFolder dir;
    const QString here = dir.file(u"here"_s);
    const Tree survivors = plantHostileEntries(here, dir.write(u"outside.txt"_s, "outside"));
    const QString name = situation() == Target::LongName     ? QString(246, u'n')
                         : situation() == Target::OneWayName ? u"波〜線−"_s
                                                             : u"file"_s;
    const QString path = here + u'/' + name;
    const QString target = path + extension();
    QString real = target;
    if (situation() == Target::LinkAbsolute || situation() == Target::LinkRelative) {
        real = dir.file(u"there/real"_s) + extension();
        const QString text = situation() == Target::LinkAbsolute ? real : u"../there/real"_s + extension();
        QDir().mkpath(dir.file(u"there"_s));
        ASSERT_EQ(::symlink(QFile::encodeName(text).constData(), QFile::encodeName(target).constData()), 0);
    }
    putOld(real);
    const QByteArray old = readBytes(real);
    if (situation() == Target::ReadOnly)
        QFile::setPermissions(real, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const Tree before = snapshotTree(dir.path());

    const bool ok = writer().save(path);
    Tree after = snapshotTree(dir.path());
    const std::string realKey = QFile::encodeName(QDir(dir.path()).relativeFilePath(real)).toStdString();
    if (situation() == Target::ReadOnly) {
        EXPECT_FALSE(ok) << "a file the user may not write is never replaced";
        EXPECT_EQ(after, before);
        return;
    }
    ASSERT_TRUE(ok);
    EXPECT_EQ(readBytes(real), fresh);
    // A killed write's leftover goes from the folder written to.
    const bool linked = situation() == Target::LinkAbsolute || situation() == Target::LinkRelative;
    EXPECT_EQ(after.count("here/.~wrAbC123"), linked ? 1u : 0u);
    Tree expected = before;
    if (!linked)
        expected.erase("here/.~wrAbC123");
    expected[realKey] = after[realKey];
    EXPECT_EQ(after, expected);
    EXPECT_EQ(subTree(after, "here/").count("sub/inside.bmp"), 1u);
    EXPECT_EQ(subTree(after, "here/").at("sub"), survivors.at("sub"));

    // Once more over the new content.
    EXPECT_TRUE(writer().save(path));
    EXPECT_EQ(readBytes(real), fresh == old ? old : readBytes(real));
}

std::string targetName(const ::testing::TestParamInfo<std::tuple<int, Target>>& info)
{
    static const char* const situations[] = {"Beside",   "LinkAbsolute", "LinkRelative",
                                             "ReadOnly", "LongName",     "OneWayName"};
    std::string name = writers[std::get<0>(info.param)].name;
    for (char& c : name)
        if (c == ' ')
            c = '_';
    return name + '_' + situations[int(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Writers, HostileTarget,
                         ::testing::Combine(::testing::Range(0, 4),
                                            ::testing::Values(Target::Beside, Target::LinkAbsolute,
                                                              Target::LinkRelative, Target::ReadOnly, Target::LongName,
                                                              Target::OneWayName)),
                         targetName);

// As root the modes above bind nobody; the same again as an ordinary user.
TEST(OrdinaryUser, HostileDisksHoldWithoutRootsRights)
{
    std::string output;
    const int status = rerunAsOrdinaryUser(u"Writers/HostileTarget.*:Disks/MapSaveHostileTest.*"_s, &output);
    if (status == -1)
        GTEST_SKIP() << "not root: the tests ran as an ordinary user already";
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ]"), std::string::npos) << output;
}

} // namespace
