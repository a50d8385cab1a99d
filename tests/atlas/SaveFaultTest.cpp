// Every save of the programs stopped at each of its file operations in turn, by a failure such as
// a full disk or by a kill: the file holds its old content whole or its new content whole, and a
// failure is reported as one.
#include "AtlasFixture.h"
#include "BmpPicture.h"
#include "FileHistory.h"
#include "FileOps.h"
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

} // namespace
