#pragma once

#include "AtlasForms.h"
#include "CommaText.h"
#include "Cp932.h"
#include "FileOps.h"
#include "MapFolders.h"
#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "TempFolder.h"
#include "Unit1.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A map file's bytes with a destination's title and description rewritten, as another program
// (a text editor) would write them.
inline QByteArray withDestinationRewritten(const QByteArray& map, int destination, const QString& title,
                                           const QString& description)
{
    QStringList lines = Cp932::decode(map).split(u"\r\n"_s);
    QStringList items = CommaText::read(lines.value(1 + destination));
    while (items.size() < MapDocument::ColumnCount)
        items << QString();
    items[MapDocument::Title1] = title;
    items[MapDocument::Description] = description;
    lines[1 + destination] = CommaText::write(items);
    return Cp932::encode(lines.join(u"\r\n"_s));
}

// A kill in the middle of an operation, as stopAtOperation throws it.
struct Killed {};

// From now on the n-th file operation fails as on a full disk, or with `kill` stops the caller dead
// (throws Killed); *count counts the operations asked for.
inline void stopAtOperation(int n, bool kill, int* count)
{
    *count = 0;
    FileOps::setFaultHook([=](FileOps::Op, const QString&) {
        if (++*count != n)
            return false;
        if (kill)
            throw Killed();
        return true;
    });
}

inline QString goldenMapPath() { return QStringLiteral(TEST_DATA_DIR "/maps/golden.map"); }

// Writes a picture of the given size; the colour tells pictures apart after renaming.
inline void writePicture(const QString& path, QSize size, QColor colour)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(img.save(path, QFileInfo(path).suffix().toLower() == u"bmp"_s ? "BMP" : "JPG"));
}

inline QColor pictureColour(const QString& path)
{
    const QImage img(path);
    return img.isNull() ? QColor() : img.pixelColor(0, 0);
}

// A map editor in a throw-away program folder, with every question answered from a script.
class AtlasFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ProgramFolder::setOverride(program.path());
        prompter = std::make_unique<ScriptedPrompter>();
        startAtlas({});
    }

    void TearDown() override
    {
        forms.reset();
        prompter.reset();
        ProgramFolder::setOverride(QString());
    }

    void startAtlas(const QStringList& arguments)
    {
        forms.reset();
        forms = std::make_unique<AtlasForms>();
        forms->create(arguments);
    }

    TForm1& f1() { return *forms->form1; }

    QString mapPath(const QString& name) const { return MapFolders::mapFileFolder() + u'/' + name; }
    QString pictureFolder(const QString& mapName) const
    {
        return MapFolders::mapPictureRoot() + u'/' + QFileInfo(mapName).completeBaseName();
    }

    // The golden map under the given name, with the pictures it names in its picture folder.
    QString installGolden(const QString& name = u"golden.map"_s)
    {
        const QString path = mapPath(name);
        QDir().mkpath(MapFolders::mapFileFolder());
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(goldenMapPath(), path));
        const QString pics = pictureFolder(name);
        writePicture(pics + u"/00.bmp"_s, {400, 225}, QColor(255, 0, 0));
        writePicture(pics + u"/05.jpg"_s, {400, 225}, QColor(0, 0, 255));
        writePicture(pics + u"/map.jpg"_s, {960, 435}, QColor(0, 255, 0));
        writePicture(pics + u"/t01.bmp"_s, {300, 300}, QColor(10, 20, 30));
        writePicture(pics + u"/r01.jpg"_s, {300, 300}, QColor(200, 200, 200));
        writePicture(pics + u"/r02.bmp"_s, {300, 300}, QColor(50, 60, 70));
        return path;
    }

    TempFolder program;
    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<AtlasForms> forms;
};
