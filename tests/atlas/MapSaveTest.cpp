#include "MapSave.h"

#include "AtlasFixture.h"
#include "HostileFolder.h"
#include "FileOps.h"
#include "MapFile.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>

#include <functional>
#include <map>
#include <random>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// What a map shows its user: for every slot the bytes of the picture it names ("" for none).
using View = std::map<QString, QByteArray>;

QByteArray bytesOf(const QString& folder, const QString& name)
{
    const QString path = MapFolders::resolvePicturePath(folder, name, true);
    return path.isEmpty() ? QByteArray() : readBytes(path);
}

View viewOf(const MapDocument& doc, const QString& mapPictureName, const QString& folder)
{
    View v;
    v[u"map"_s] = bytesOf(folder, mapPictureName);
    for (int n = 0; n < MapDocument::DestinationCount; ++n)
        v[u"d%1"_s.arg(n)] = bytesOf(folder, doc.rows[n][MapDocument::Picture]);
    // Rare treasures close ranks on a save, so their order is what counts, not their rows.
    int rare = 0;
    for (int t = 0; t < MapDocument::TreasureCount; ++t) {
        const QByteArray b = bytesOf(folder, doc.treasures[t]);
        if (t < 2)
            v[u"t%1"_s.arg(t)] = b;
        else if (!b.isEmpty())
            v[u"r%1"_s.arg(rare++)] = b;
    }
    return v;
}

// The view of a map file as it opens, with the rest of the map for comparison.
struct Opened {
    View view;
    QStringList texts;
    bool operator==(const Opened&) const = default;
};

std::optional<Opened> open(const QString& mapPath, const QString& folder)
{
    QString why;
    const auto c = MapFile::parse(readBytes(mapPath), &why);
    if (!c)
        return std::nullopt;
    MapDocument doc;
    for (int n = 0; n < MapDocument::DestinationCount; ++n)
        for (int i = 0; i < MapDocument::ColumnCount && i < c->rows[n].size(); ++i)
            doc.rows[n][i] = c->rows[n].at(i);
    for (int t = 0; t < MapDocument::TreasureCount && t < c->treasureLines.size(); ++t)
        doc.treasures[t] = c->treasureLines.at(t);
    Opened o{viewOf(doc, c->mapPictureName, folder), {}};
    for (const MapDocument::Row& row : doc.rows)
        o.texts << row[MapDocument::Title1];
    return o;
}

// Every file below a folder with its bytes.
std::map<QString, QByteArray> filesOf(const QString& folder)
{
    std::map<QString, QByteArray> files;
    QStringList paths;
    FileOps::findFiles(folder, QString(), true, paths);
    for (const QString& p : paths)
        files[QDir(folder).relativeFilePath(p)] = readBytes(p);
    return files;
}

class MapSaveTest : public ::testing::Test {
protected:
    void TearDown() override { FileOps::setFaultHook({}); }

    // The program folder: the picture root and the map files' folder lie in it.
    QString base() const { return m_base.isEmpty() ? dir.path() : m_base; }
    QString root() const { return base() + u"root"_s; }
    QString maps() const { return base() + u"maps"_s; }
    QString folder(const QString& name = u"m"_s) const { return root() + u'/' + name; }
    QString mapPath(const QString& name = u"m"_s) const { return maps() + u'/' + name + u".map"_s; }
    QString put(const QString& name, const QByteArray& bytes, const QString& in = u"m"_s) const
    {
        return dir.write(QDir(dir.path()).relativeFilePath(root()) + u'/' + in + u'/' + name, bytes);
    }

    MapSave::Request request(const MapDocument& doc, const QString& mapPicture, const QString& to = u"m"_s) const
    {
        QDir().mkpath(maps());
        MapSave::Request r;
        r.mapPath = mapPath(to);
        r.pictureFolder = folder();
        r.newFolder = folder(to);
        r.doc = doc;
        r.mapPicturePath = mapPicture.isEmpty() ? QString() : folder() + u'/' + mapPicture;
        r.bytes = [](const MapDocument& d, const QString& name) { return MapFile::write(d, name); };
        return r;
    }

    void writeMap(const MapDocument& doc, const QString& mapPicture, const QString& name = u"m"_s)
    {
        QDir().mkpath(maps());
        ASSERT_TRUE(FileOps::writeFileAtomic(mapPath(name), MapFile::write(doc, mapPicture)));
    }

    // Nothing of the transaction is left once a save ended or was recovered (but the temporary map
    // file on a volume that was not there).
    void expectNoLeftovers(bool tempMayStay = false)
    {
        EXPECT_FALSE(QFileInfo::exists(root() + u'/' + MapSave::transactionName()));
        for (const QString& name : QDir(maps()).entryList(QDir::Files | QDir::Hidden))
            EXPECT_TRUE((name.endsWith(u".map"_s) && !name.startsWith(u'.'))
                        || (tempMayStay && name.startsWith(u".~sv"_s)))
                << name.toStdString();
    }

    TempFolder dir;
    QString m_base; // dir.path() unless a test moves the program folder
};

TEST_F(MapSaveTest, PicturesTakeTheirFixedNamesAndOtherFilesStay)
{
    // The map picture is stored under destination 04's fixed name while destination 04 names
    // another file; rows 0 and 1 swapped places; a working copy and a stray file stay behind.
    MapDocument doc;
    put(u"04.bmp"_s, "map picture");
    put(u"04_002.bmp"_s, "destination 4");
    put(u"00.bmp"_s, "was row 0");
    put(u"01.jpg"_s, "was row 1");
    put(u"stray.txt"_s, "stray");
    put(u"sub/keep.bmp"_s, "kept");
    doc.rows[4][MapDocument::Picture] = u"04_002.bmp *"_s;
    doc.rows[0][MapDocument::Picture] = u"01.jpg"_s;
    doc.rows[1][MapDocument::Picture] = u"00.bmp"_s;
    doc.rows[7][MapDocument::Picture] = u"gone.bmp"_s;
    const MapSave::Result r = MapSave::save(request(doc, u"04.bmp"_s));
    ASSERT_TRUE(r.ok) << r.error.toStdString();

    EXPECT_EQ(r.mapPictureName, u"map.bmp"_s);
    EXPECT_EQ(r.doc.rows[4][MapDocument::Picture], u"04.bmp"_s);
    EXPECT_EQ(r.doc.rows[0][MapDocument::Picture], u"00.jpg"_s);
    EXPECT_EQ(r.doc.rows[1][MapDocument::Picture], u"01.bmp"_s);
    EXPECT_EQ(r.doc.rows[7][MapDocument::Picture], QString());
    const std::map<QString, QByteArray> expected{
        {u"map.bmp"_s, "map picture"}, {u"04.bmp"_s, "destination 4"}, {u"04_002.bmp"_s, "destination 4"},
        {u"00.jpg"_s, "was row 1"},    {u"01.bmp"_s, "was row 0"},     {u"00.bmp"_s, "was row 0"},
        {u"01.jpg"_s, "was row 1"},    {u"stray.txt"_s, "stray"},      {u"sub/keep.bmp"_s, "kept"}};
    EXPECT_EQ(filesOf(folder()), expected);
    const auto opened = open(mapPath(), folder());
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->view.at(u"map"_s), "map picture");
    expectNoLeftovers();
}

TEST_F(MapSaveTest, RareTreasuresCloseRanks)
{
    MapDocument doc;
    put(u"a.bmp"_s, "a");
    put(u"b.jpg"_s, "b");
    put(u"c.bmp"_s, "c");
    put(u"t.bmp"_s, "t");
    doc.treasures[0] = u"t.bmp"_s;
    doc.treasures[2] = u"a.bmp"_s;
    doc.treasures[6] = u"b.jpg"_s;
    doc.treasures[8] = u"c.bmp"_s;
    const MapSave::Result r = MapSave::save(request(doc, QString()));
    ASSERT_TRUE(r.ok);
    const auto& t = r.doc.treasures;
    EXPECT_EQ(t[0], u"t01.bmp"_s);
    EXPECT_EQ(t[1], QString());
    EXPECT_EQ(QStringList({t[2], t[3], t[4]}), QStringList({u"r01.bmp"_s, u"r02.jpg"_s, u"r03.bmp"_s}));
    EXPECT_EQ(t[6], QString());
    EXPECT_EQ(t[8], QString());
    EXPECT_EQ(readBytes(folder() + u"/r03.bmp"_s), "c");
}

TEST_F(MapSaveTest, SaveWaitsForNoOtherProgramsSave)
{
    MapDocument doc;
    put(u"a.bmp"_s, "a");
    doc.rows[0][MapDocument::Picture] = u"a.bmp"_s;
    const int fd = ::open(QFile::encodeName(root()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const MapSave::Result busy = MapSave::save(request(doc, QString()));
    ::close(fd);
    EXPECT_FALSE(busy.ok);
    EXPECT_FALSE(QFileInfo::exists(mapPath()));
    EXPECT_EQ(filesOf(folder()).size(), 1u);
    EXPECT_TRUE(MapSave::save(request(doc, QString())).ok);
}

// Random maps whose slots name files drawn from the other slots' fixed names and their upper-case
// spellings: after the save every slot shows exactly the bytes it showed before, and every file
// that is not a fixed name of a filled slot is as it was.
TEST_F(MapSaveTest, RandomMapsKeepEveryPicture)
{
    const QStringList pool = {u"map.bmp"_s, u"MAP.BMP"_s, u"00.bmp"_s,     u"01.jpg"_s,  u"02.bmp"_s,  u"02.BMP"_s,
                              u"03.jpg"_s,  u"t01.bmp"_s, u"T01.BMP"_s,    u"t02.jpg"_s, u"r01.bmp"_s, u"r02.jpg"_s,
                              u"R03.JPG"_s, u"r03.bmp"_s, u"00_001.bmp"_s, u"x.jpg"_s};
    for (int seed = 1; seed <= 80; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        auto chance = [&](int percent) { return int(random() % 100) < percent; };
        QDir(root()).removeRecursively();
        QStringList present;
        for (const QString& name : pool)
            if (chance(60)) {
                put(name, name.toUtf8() + " of seed " + QByteArray::number(seed));
                present << name;
            }
        QDir().mkpath(folder());
        auto pick = [&]() -> QString {
            if (present.isEmpty() || chance(25))
                return chance(50) ? QString() : u"missing.bmp"_s;
            return present.at(int(random() % present.size()));
        };
        MapDocument doc;
        const QString mapPicture = pick();
        for (int n = 0; n < 5; ++n)
            doc.rows[n][MapDocument::Picture] = pick() + (chance(30) ? u" *"_s : QString());
        for (int t : {0, 1, 2, 4, 7})
            doc.treasures[t] = pick();

        const View before = viewOf(doc, mapPicture, folder());
        const auto filesBefore = filesOf(folder());
        const MapSave::Result r = MapSave::save(request(doc, mapPicture));
        ASSERT_TRUE(r.ok) << r.error.toStdString();

        EXPECT_EQ(viewOf(r.doc, r.mapPictureName, folder()), before);
        const auto opened = open(mapPath(), folder());
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->view, before);
        QSet<QString> fixed;
        for (const QString& name : {r.mapPictureName, r.doc.rows[0][3], r.doc.rows[1][3], r.doc.rows[2][3],
                                    r.doc.rows[3][3], r.doc.rows[4][3]})
            fixed << name;
        for (const QString& t : r.doc.treasures)
            fixed << t;
        auto filesAfter = filesOf(folder());
        for (const auto& [name, bytes] : filesBefore) {
            if (!fixed.contains(name)) {
                EXPECT_EQ(filesAfter[name], bytes) << name.toStdString();
            }
        }
        for (const auto& [name, bytes] : filesAfter)
            EXPECT_TRUE(fixed.contains(name) || filesBefore.count(name)) << name.toStdString();
        expectNoLeftovers();
    }
}

// A save is stopped at each of its file operations in turn, by a kill or by a failure such as a
// full disk; what opens afterwards is the old map or the new one, whole. The next start-up may find
// the program folder where it was, moved (a stick mounted under another name), copied, or without
// the map files' folder for a while (a stick not plugged in); where the map file cannot show
// whether the save took effect, every picture is still under the picture root and saves go on.
enum class NextStart { Here, Moved, Copied, MapVolumeAway };

struct FaultCase {
    bool kill = true;
    bool saveAs = false;
    NextStart next = NextStart::Here;
    bool mapInside = false; // the map file kept inside its picture folder
    bool sameBytes = false; // only a picture's content changes, so the map file's bytes stay
};

// A journal that cannot be read (empty, cut short, not what a save writes) stops no save: it goes,
// with the folders beside it, to where the user sees it, named once.
TEST_F(MapSaveTest, UnreadableJournalIsPutAsideVisiblyAndSavesGoOn)
{
    const std::pair<const char*, std::function<QByteArray(const QByteArray&)>> journals[] = {
        {"empty", [](const QByteArray&) { return QByteArray(); }},
        {"cut short", [](const QByteArray& whole) { return whole.left(whole.size() / 2); }},
        {"no object", [](const QByteArray&) { return QByteArray("[1, 2]"); }},
        {"no paths", [](const QByteArray&) { return QByteArray(R"({"phase": "swap"})"); }},
    };
    for (const auto& [what, broken] : journals) {
        SCOPED_TRACE(what);
        QDir(dir.path()).removeRecursively();
        put(u"00.bmp"_s, "zero");
        put(u"01.bmp"_s, "one");
        MapDocument doc;
        doc.rows[0][MapDocument::Picture] = u"00.bmp"_s;
        doc.rows[1][MapDocument::Picture] = u"01.bmp"_s;
        writeMap(doc, QString());
        std::swap(doc.rows[0], doc.rows[1]);
        // Cut short between the old folder going aside and the staged one taking its place.
        FileOps::setFaultHook([&](FileOps::Op op, const QString& path) {
            if (op == FileOps::Op::Rename && path == folder())
                throw Killed();
            return false;
        });
        try {
            MapSave::save(request(doc, QString()));
        } catch (const Killed&) {
        }
        FileOps::setFaultHook({});
        const QString journal = root() + u'/' + MapSave::transactionName() + u"/journal"_s;
        ASSERT_FALSE(QFileInfo::exists(folder()));
        const QByteArray bytes = broken(readBytes(journal));
        {
            QFile f(journal);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }

        const MapSave::Result r = MapSave::save(request(doc, QString()));
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        ASSERT_EQ(r.setAside.folders.size(), 1);
        EXPECT_TRUE(r.setAside.mapPath.isEmpty());
        EXPECT_FALSE(r.setAside.reason.isEmpty());
        const QString visible = QDir::fromNativeSeparators(r.setAside.folders.first());
        EXPECT_EQ(QFileInfo(visible).absolutePath(), root());
        const auto kept = filesOf(visible);
        EXPECT_EQ(kept.at(u"journal"_s), bytes);
        EXPECT_EQ(kept.at(u"old/00.bmp"_s), "zero");
        EXPECT_EQ(kept.at(u"old/01.bmp"_s), "one");
        expectNoLeftovers(true);
        MapSave::SetAside again;
        EXPECT_TRUE(MapSave::recover(root(), nullptr, nullptr, &again));
        EXPECT_TRUE(again.isEmpty()) << "told once";
    }
}

// Two spellings of one folder are one folder (a Save As that only changes the case of the name, on
// a volume that ignores case): the save takes the folder along instead of setting it aside as
// another's and then missing it.
TEST_F(MapSaveTest, SaveAsUnderAnotherSpellingOfTheSameFolder)
{
    put(u"00.bmp"_s, "zero");
    put(u"01.bmp"_s, "one");
    put(u"x.txt"_s, "other", u"M"_s);
    const QString alias = dir.path() + u"alias"_s;
    ASSERT_EQ(::symlink(QFile::encodeName(root()).constData(), QFile::encodeName(alias).constData()), 0);
    EXPECT_TRUE(MapSave::sameFolder(folder(), alias + u"/m"_s));
    EXPECT_TRUE(MapSave::sameFolder(folder(u"new"_s), folder(u"new"_s)));
    EXPECT_FALSE(MapSave::sameFolder(folder(), folder(u"M"_s))) << "two folders on a volume that keeps case";

    MapDocument doc;
    doc.rows[0][MapDocument::Picture] = u"00.bmp"_s;
    doc.rows[1][MapDocument::Picture] = u"01.bmp"_s;
    writeMap(doc, QString());
    std::swap(doc.rows[0], doc.rows[1]);
    MapSave::Request r = request(doc, QString(), u"M"_s);
    r.newFolder = alias + u"/m"_s;
    const MapSave::Result saved = MapSave::save(r);
    ASSERT_TRUE(saved.ok) << saved.error.toStdString();
    const auto opened = open(mapPath(u"M"_s), folder());
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->view.at(u"d0"_s), "one");
    EXPECT_EQ(opened->view.at(u"d1"_s), "zero");
    EXPECT_EQ(filesOf(folder(u"M"_s)).size(), 1u);
    expectNoLeftovers();
}

// The same on a real volume that ignores case, where one can be had (as root, with exFAT tools).
TEST_F(MapSaveTest, CaseOnlySaveAsOnExfat)
{
    auto run = [](const QString& program, const QStringList& arguments, QByteArray* out = nullptr) {
        QProcess p;
        p.start(program, arguments);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return false;
        if (out)
            *out = p.readAllStandardOutput().trimmed();
        return true;
    };
    const QString image = dir.path() + u"exfat.img"_s, mount = dir.path() + u"volume"_s;
    QDir().mkpath(mount);
    QByteArray device;
    if (::geteuid() != 0 || !run(u"truncate"_s, {u"-s"_s, u"16M"_s, image}) || !run(u"mkfs.exfat"_s, {image})
        || !run(u"losetup"_s, {u"-f"_s, u"--show"_s, image}, &device))
        GTEST_SKIP() << "no exFAT volume can be made here";
    const auto detach = qScopeGuard([&] { run(u"losetup"_s, {u"-d"_s, QString::fromLocal8Bit(device)}); });
    if (!run(u"mount.exfat-fuse"_s, {QString::fromLocal8Bit(device), mount}))
        GTEST_SKIP() << "the exFAT volume cannot be mounted here";
    const auto unmount = qScopeGuard([&] { run(u"umount"_s, {mount}); });
    m_base = mount + u'/';

    put(u"00.bmp"_s, "zero", u"test"_s);
    put(u"01.bmp"_s, "one", u"test"_s);
    MapDocument doc;
    doc.rows[0][MapDocument::Picture] = u"00.bmp"_s;
    doc.rows[1][MapDocument::Picture] = u"01.bmp"_s;
    writeMap(doc, QString(), u"test"_s);
    std::swap(doc.rows[0], doc.rows[1]);
    MapSave::Request r = request(doc, QString(), u"TEST"_s);
    r.pictureFolder = folder(u"test"_s);
    r.mapPicturePath.clear();
    const MapSave::Result saved = MapSave::save(r);
    ASSERT_TRUE(saved.ok) << saved.error.toStdString();
    EXPECT_EQ(QDir(root()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{u"test"_s})
        << "the folder keeps its name";
    const auto opened = open(mapPath(u"TEST"_s), folder(u"TEST"_s));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->view.at(u"d0"_s), "one");
    EXPECT_EQ(opened->view.at(u"d1"_s), "zero");
    m_base.clear();
}

// The map editor tells of a save it could neither finish nor undo once, naming where its folders
// went, and goes on opening and saving maps.
using RecoveryAtStartUp = AtlasFixture;

TEST_F(RecoveryAtStartUp, WhatIsPutAsideIsToldOnceAndSavesGoOn)
{
    const QString transaction = MapFolders::mapPictureRoot() + u'/' + MapSave::transactionName();
    writePicture(transaction + u"/old/00.bmp"_s, {400, 225}, QColor(255, 0, 0));
    {
        QFile journal(transaction + u"/journal"_s);
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write("{\"phase\": \"sw");
    }
    const size_t before = prompter->asked.size();
    startAtlas({});
    QStringList told;
    for (size_t i = before; i < prompter->asked.size(); ++i)
        told << prompter->asked[i].text;
    ASSERT_EQ(told.size(), 1) << told.join(u"\n"_s).toStdString();
    const QStringList visible = QDir(MapFolders::mapPictureRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QString aside;
    for (const QString& name : visible)
        if (MapSave::isLeftoverName(name))
            aside = MapFolders::mapPictureRoot() + u'/' + name;
    ASSERT_FALSE(aside.isEmpty());
    EXPECT_TRUE(told.first().contains(QDir::toNativeSeparators(aside))) << told.first().toStdString();
    EXPECT_EQ(pictureColour(aside + u"/old/00.bmp"_s), QColor(255, 0, 0));

    const size_t opened = prompter->asked.size();
    const QString path = installGolden();
    ASSERT_TRUE(f1().LoadMapFile(path));
    f1().SaveMapFile(mapPath(u"again.map"_s), QString());
    EXPECT_TRUE(f1().SaveSucceeded) << prompter->lastText().toStdString();
    EXPECT_EQ(prompter->asked.size(), opened);
}

std::string faultName(const FaultCase& c)
{
    static const char* const starts[] = {"", "FromMovedFolder", "FromCopiedFolder", "WithMapVolumeAway"};
    return std::string(c.kill ? "Kill" : "Fail") + (c.saveAs ? "SaveAs" : "Overwrite")
           + (c.mapInside ? "MapInsideFolder" : "") + (c.sameBytes ? "SameBytes" : "") + starts[int(c.next)];
}

void PrintTo(const FaultCase& c, std::ostream* out)
{
    *out << faultName(c);
}

class MapSaveFaultTest : public MapSaveTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    bool kill() const { return GetParam().kill; }
    bool saveAs() const { return GetParam().saveAs; }
    NextStart next() const { return GetParam().next; }
    QString target() const { return saveAs() ? u"other"_s : u"m"_s; }
    QString theMap(const QString& name) const
    {
        return GetParam().mapInside ? folder(name) + u'/' + name + u".map"_s : mapPath(name);
    }
    MapSave::Request requestTo(const MapDocument& doc, const QString& mapPicture, const QString& to) const
    {
        MapSave::Request r = request(doc, mapPicture, to);
        r.mapPath = theMap(to);
        return r;
    }

    // The saved map: rows 0 and 1 swapped since it was saved, the map picture replaced by a
    // working copy, a new rare treasure; Save As goes to a name whose folder is left over.
    MapDocument prepare(QString& mapPicture)
    {
        QDir(dir.path()).removeRecursively();
        m_base = dir.path() + u"STICK/"_s;
        QDir().mkpath(maps());
        MapDocument saved;
        put(u"00.bmp"_s, "zero");
        put(u"01.bmp"_s, "one");
        put(u"map.bmp"_s, "old map");
        put(u"t01.bmp"_s, "treasure");
        saved.rows[0][MapDocument::Picture] = u"00.bmp"_s;
        saved.rows[1][MapDocument::Picture] = u"01.bmp"_s;
        saved.rows[0][MapDocument::Title1] = u"零"_s;
        saved.rows[1][MapDocument::Title1] = u"一"_s;
        saved.treasures[0] = u"t01.bmp"_s;
        EXPECT_TRUE(FileOps::writeFileAtomic(theMap(u"m"_s), MapFile::write(saved, u"map.bmp"_s)));
        if (saveAs())
            put(u"00.bmp"_s, "left over", u"other"_s);

        MapDocument doc = saved;
        if (GetParam().sameBytes) {
            put(u"00_001.bmp"_s, "zero, edited");
            doc.rows[0][MapDocument::Picture] = u"00_001.bmp"_s;
            mapPicture = u"map.bmp"_s;
            return doc;
        }
        std::swap(doc.rows[0], doc.rows[1]);
        put(u"map_000.bmp"_s, "new map");
        put(u"r_001.bmp"_s, "rare");
        doc.treasures[5] = u"r_001.bmp"_s;
        mapPicture = u"map_000.bmp"_s;
        return doc;
    }

    // Takes the program folder to where the next start-up finds it.
    void leave()
    {
        const QString here = QDir::cleanPath(base());
        if (next() == NextStart::Moved || next() == NextStart::Copied) {
            const QString there = dir.path() + (next() == NextStart::Moved ? u"STICK1"_s : u"COPY"_s);
            if (next() == NextStart::Moved)
                ASSERT_TRUE(QDir().rename(here, there));
            else
                ASSERT_EQ(QProcess::execute(u"cp"_s, {u"-a"_s, here, there}), 0);
            m_base = there + u'/';
        }
        if (next() == NextStart::MapVolumeAway) {
            ASSERT_TRUE(QDir().rename(maps(), maps() + u".away"_s));
        }
    }
    void comeBack()
    {
        if (next() == NextStart::MapVolumeAway) {
            ASSERT_TRUE(QDir().rename(maps() + u".away"_s, maps()));
        }
    }
};

TEST_P(MapSaveFaultTest, ReopensOldOrNewWhole)
{
    QString mapPicture;
    const MapDocument doc0 = prepare(mapPicture);
    const Opened old = *open(theMap(u"m"_s), folder());
    const QByteArray oldBytes = readBytes(theMap(u"m"_s));
    const std::optional<Opened> oldTarget = saveAs() ? std::nullopt : std::optional(old);
    Opened fresh{viewOf(doc0, mapPicture, folder()), {}};
    for (const MapDocument::Row& row : doc0.rows)
        fresh.texts << row[MapDocument::Title1];

    int operations = 0;
    for (int stopAt = 1;; ++stopAt) {
        SCOPED_TRACE(stopAt);
        prepare(mapPicture);
        int count = 0;
        stopAtOperation(stopAt, kill(), &count);
        MapSave::Result r;
        try {
            r = MapSave::save(requestTo(doc0, mapPicture, target()));
        } catch (const Killed&) {
        }
        FileOps::setFaultHook({});
        if (count < stopAt) {
            ASSERT_TRUE(r.ok);
            if (GetParam().sameBytes) {
                EXPECT_EQ(readBytes(theMap(target())), oldBytes) << "the map file cannot tell";
            }
            operations = count;
            break;
        }
        // The next start-up or open.
        const Tree original = snapshotTree(base());
        const QString left = base();
        leave();
        QString why;
        MapSave::SetAside aside;
        ASSERT_TRUE(MapSave::recover(root(), &why, nullptr, &aside)) << why.toStdString();
        comeBack();
        if (next() == NextStart::Copied) {
            EXPECT_EQ(snapshotTree(left), original) << "a copy's recovery leaves the original alone";
        }
        const auto now = open(theMap(target()), folder(target()));
        if (!aside.isEmpty()) {
            // Only a map file that was not there leaves the save undecided; then nothing is lost.
            EXPECT_EQ(next(), NextStart::MapVolumeAway);
            EXPECT_EQ(aside.mapPath, QDir::toNativeSeparators(theMap(target())));
            for (const QString& f : aside.folders)
                EXPECT_EQ(QFileInfo(QDir::fromNativeSeparators(f)).absolutePath(), root());
            const bool isNew = now && now->texts == fresh.texts;
            EXPECT_TRUE(isNew || (saveAs() ? !now : now && now->texts == old.texts));
            // Every picture of the map as the file shows it, old or new.
            QSet<QByteArray> kept;
            for (const auto& [name, bytes] : filesOf(root()))
                kept << bytes;
            for (const auto& [slot, picture] : (isNew ? fresh : old).view)
                EXPECT_TRUE(picture.isEmpty() || kept.contains(picture)) << slot.toStdString();
            const MapSave::Result again = MapSave::save(requestTo(doc0, mapPicture, target()));
            ASSERT_TRUE(again.ok) << again.error.toStdString();
            EXPECT_TRUE(again.setAside.isEmpty());
        } else if (r.ok) {
            EXPECT_EQ(now, fresh);
        } else {
            const bool isOld = saveAs() ? !now.has_value() && open(theMap(u"m"_s), folder()) == old : now == oldTarget;
            const bool isNew = now == fresh;
            EXPECT_TRUE(isOld || isNew);
            if (!kill()) {
                // A plain failure says so and leaves the old map; once room is made the save goes through.
                EXPECT_TRUE(isOld);
                EXPECT_FALSE(r.error.isEmpty());
                const MapSave::Result again = MapSave::save(requestTo(doc0, mapPicture, target()));
                ASSERT_TRUE(again.ok) << again.error.toStdString();
                EXPECT_EQ(open(theMap(target()), folder(target())), fresh);
            }
            if (saveAs() && QFileInfo::exists(mapPath(target()))) {
                EXPECT_FALSE(QFileInfo::exists(folder())) << "the old map keeps no picture folder";
            }
        }
        expectNoLeftovers(next() == NextStart::MapVolumeAway);
    }
    EXPECT_GT(operations, 10);
}

// The save in a program of its own, killed with SIGKILL at random moments of its run (seeded; more
// runs with MAP_SAVE_KILLS): what opens next is the old map or the new one, whole.
TEST_F(MapSaveTest, KilledAtRandomMomentsOpensOldOrNewWhole)
{
    for (int n = 0; n < 20; ++n)
        put(u"%1_001.bmp"_s.arg(n, 2, 10, QLatin1Char('0')), QByteArray(20000 + n, char('a' + n)));
    put(u"m_001.jpg"_s, "the map");
    put(u"t_001.bmp"_s, "a treasure");
    MapDocument doc;
    for (int n = 0; n < 20; ++n)
        doc.rows[n][MapDocument::Picture] = u"%1_001.bmp"_s.arg(n, 2, 10, QLatin1Char('0'));
    doc.treasures[3] = u"t_001.bmp"_s;
    writeMap(doc, u"m_001.jpg"_s);

    // A run: the child starts, says it is ready, saves on a word from us; killed after `delay`
    // (none: it runs to the end). Returns the microseconds from the word to its end.
    auto run = [&](std::optional<qint64> delayUs) {
        QProcess child;
        child.start(QStringLiteral(MAP_SAVE_CHILD), {mapPath(), folder()});
        EXPECT_TRUE(child.waitForStarted(10000));
        while (!child.canReadLine() && child.waitForReadyRead(10000))
            ;
        QElapsedTimer timer;
        timer.start();
        child.write("go\n");
        child.waitForBytesWritten(1000);
        if (delayUs) {
            while (timer.nsecsElapsed() / 1000 < *delayUs && child.state() == QProcess::Running)
                ;
            if (child.state() == QProcess::Running)
                ::kill(pid_t(child.processId()), SIGKILL);
        }
        EXPECT_TRUE(child.waitForFinished(10000));
        return timer.nsecsElapsed() / 1000;
    };
    auto current = [&] { return open(mapPath(), folder()); };
    auto turned = [](const Opened& o) {
        Opened t = o;
        for (int n = 0; n < MapDocument::DestinationCount; ++n) {
            const int from = (n + 1) % MapDocument::DestinationCount;
            t.view[u"d%1"_s.arg(n)] = o.view.at(u"d%1"_s.arg(from));
            t.texts[n] = o.texts[from];
        }
        return t;
    };

    const Opened first = *current();
    const qint64 whole = run(std::nullopt);
    ASSERT_EQ(current(), turned(first)) << "an uncut run saves";

    const int runs = qEnvironmentVariableIntValue("MAP_SAVE_KILLS") > 0 ? qEnvironmentVariableIntValue("MAP_SAVE_KILLS") : 20;
    std::mt19937 random(7);
    int changed = 0;
    for (int i = 0; i < runs; ++i) {
        SCOPED_TRACE(i);
        const Opened before = *current();
        run(qint64(random() % quint64(whole + 1)));
        ASSERT_TRUE(MapSave::recover(root()));
        const auto after = current();
        ASSERT_TRUE(after.has_value());
        EXPECT_TRUE(*after == before || *after == turned(before));
        changed += *after != before;
        expectNoLeftovers();
    }
    RecordProperty("saved", changed);
    if (qEnvironmentVariableIsSet("MAP_SAVE_KILLS"))
        std::printf("%d of %d killed saves had taken effect\n", changed, runs);
}

// Whatever the disk holds around a map: its picture folder a link (absolute or relative), its
// map file a link or kept inside the picture folder, and in the folder entries of every kind and
// name. A save, a save again and a Save As keep every entry, leave links links, change nothing
// outside the map's own files and leave nothing of their own behind.
enum class FolderKind { Plain, LinkedAbsolute, LinkedRelative };
enum class MapKind { Plain, Linked, InsideFolder };

class MapSaveHostileTest : public MapSaveTest, public ::testing::WithParamInterface<std::tuple<FolderKind, MapKind>> {
protected:
    FolderKind folderKind() const { return std::get<0>(GetParam()); }
    MapKind mapKind() const { return std::get<1>(GetParam()); }
    QString elsewhere() const { return dir.path() + u"elsewhere"_s; }
    QString realFolder() const { return folderKind() == FolderKind::Plain ? folder() : elsewhere() + u"/trip"_s; }
    QString theMapPath() const { return mapKind() == MapKind::InsideFolder ? folder() + u"/m.map"_s : mapPath(); }
    std::string key(const QString& path) const
    {
        return QFile::encodeName(QDir(dir.path()).relativeFilePath(path)).toStdString();
    }

    MapSave::Request request(const MapDocument& doc, const QString& to) const
    {
        MapSave::Request r = MapSaveTest::request(doc, u"map.bmp"_s, to);
        if (to == u"m"_s)
            r.mapPath = theMapPath();
        return r;
    }

    // Everything outside the map's folder and file as it was.
    void expectOutsideUnchanged(const Tree& before, const QStringList& changed)
    {
        Tree now = snapshotTree(dir.path());
        auto strip = [&](Tree& t) {
            for (auto it = t.begin(); it != t.end();) {
                bool mine = false;
                for (const QString& c : changed)
                    mine = mine || it->first == key(c) || it->first.rfind(key(c) + '/', 0) == 0;
                it = mine ? t.erase(it) : std::next(it);
            }
        };
        Tree then = before;
        strip(then);
        strip(now);
        EXPECT_EQ(now, then);
    }
};

TEST_P(MapSaveHostileTest, EveryEntryStaysAndLinksStayLinks)
{
    QDir().mkpath(root());
    QDir().mkpath(elsewhere());
    const QString outside = dir.write(u"elsewhere/outside.txt"_s, "outside");
    if (folderKind() != FolderKind::Plain) {
        QDir().mkpath(realFolder());
        const QString text = folderKind() == FolderKind::LinkedAbsolute ? realFolder() : u"../elsewhere/trip"_s;
        ASSERT_EQ(::symlink(QFile::encodeName(text).constData(), QFile::encodeName(folder()).constData()), 0);
    }
    const Tree survivors = plantHostileEntries(realFolder(), outside);
    put(u"00.bmp"_s, "zero");
    put(u"01.bmp"_s, "one");
    put(u"map.bmp"_s, "map");
    MapDocument doc;
    doc.rows[0][MapDocument::Picture] = u"00.bmp"_s;
    doc.rows[1][MapDocument::Picture] = u"01.bmp"_s;
    QDir().mkpath(dir.path() + u"maps"_s);
    QString mapTarget = theMapPath();
    if (mapKind() == MapKind::Linked) {
        mapTarget = elsewhere() + u"/real.map"_s;
        ASSERT_EQ(::symlink("../elsewhere/real.map", QFile::encodeName(mapPath()).constData()), 0);
    }
    ASSERT_TRUE(FileOps::writeFileAtomic(theMapPath(), MapFile::write(doc, u"map.bmp"_s)));
    const Tree before = snapshotTree(dir.path());
    const std::string folderLink = before.count(key(folder())) ? before.at(key(folder())) : std::string();

    std::swap(doc.rows[0], doc.rows[1]);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const MapSave::Result r = MapSave::save(request(doc, u"m"_s));
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_TRUE(r.leftovers.isEmpty());
        const auto opened = open(theMapPath(), folder());
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->view.at(u"d0"_s), "one");
        EXPECT_EQ(opened->view.at(u"d1"_s), "zero");
        EXPECT_EQ(opened->view.at(u"map"_s), "map");
        doc = r.doc;

        const Tree now = snapshotTree(dir.path());
        const Tree inFolder = subTree(now, key(realFolder()) + '/');
        for (const auto& [name, what] : survivors)
            EXPECT_EQ(inFolder.count(name) ? inFolder.at(name) : "missing", what) << name;
        EXPECT_FALSE(inFolder.count(".~wrAbC123")) << "a killed write's leftover goes";
        if (!folderLink.empty()) {
            EXPECT_EQ(now.at(key(folder())), folderLink) << "the picture folder stays a link";
        }
        if (mapKind() == MapKind::Linked) {
            EXPECT_EQ(now.at(key(mapPath())), "link ../elsewhere/real.map");
        }
        for (const auto& [name, what] : now)
            EXPECT_TRUE(name.find(".~sv") == std::string::npos
                        && name.find(MapSave::transactionName().toStdString()) == std::string::npos)
                << name;
        expectOutsideUnchanged(before, {realFolder(), mapTarget});
    }

    // Save As elsewhere, under a name of 247 bytes: a linked folder is left as it is; a folder of
    // the root goes with the map.
    const QString longName = QString(81, u'長');
    const Tree beforeSaveAs = snapshotTree(realFolder());
    const MapSave::Result r = MapSave::save(request(doc, longName));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    const auto opened = open(mapPath(longName), folder(longName));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->view.at(u"d0"_s), "one");
    EXPECT_EQ(subTree(snapshotTree(folder(longName)), "sub/"), subTree(survivors, "sub/"));
    if (folderKind() == FolderKind::Plain)
        EXPECT_FALSE(QFileInfo::exists(folder()));
    else
        EXPECT_EQ(snapshotTree(realFolder()), beforeSaveAs);
}

std::string hostileName(const ::testing::TestParamInfo<std::tuple<FolderKind, MapKind>>& info)
{
    static const char* const folders[] = {"PlainFolder", "AbsoluteLink", "RelativeLink"};
    static const char* const maps[] = {"PlainMap", "LinkedMap", "MapInsideFolder"};
    return std::string(folders[int(std::get<0>(info.param))]) + maps[int(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Disks, MapSaveHostileTest,
                         ::testing::Combine(::testing::Values(FolderKind::Plain, FolderKind::LinkedAbsolute,
                                                              FolderKind::LinkedRelative),
                                            ::testing::Values(MapKind::Plain, MapKind::Linked, MapKind::InsideFolder)),
                         hostileName);

// What the clearing away after a committed save cannot delete is moved where the user sees it and
// named once; the next save goes on.
TEST_F(MapSaveTest, ClearingAwayNeverBlocksTheNextSave)
{
    put(u"00.bmp"_s, "zero");
    MapDocument doc;
    doc.rows[0][MapDocument::Picture] = u"00.bmp"_s;
    writeMap(doc, QString());
    FileOps::setFaultHook([](FileOps::Op op, const QString& path) {
        return op == FileOps::Op::DeleteFolder && path.endsWith(u"/old"_s);
    });
    std::swap(doc.rows[0], doc.rows[1]);
    const MapSave::Result r = MapSave::save(request(doc, QString()));
    FileOps::setFaultHook({});
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    ASSERT_EQ(r.leftovers.size(), 1);
    EXPECT_TRUE(QFileInfo(QDir::fromNativeSeparators(r.leftovers.first())).isDir());
    EXPECT_EQ(QFileInfo(QDir::fromNativeSeparators(r.leftovers.first())).absolutePath(), root());
    EXPECT_EQ(open(mapPath(), folder())->view.at(u"d1"_s), "zero");
    expectNoLeftovers();
    MapDocument again = r.doc;
    std::swap(again.rows[0], again.rows[1]);
    const MapSave::Result next = MapSave::save(request(again, QString()));
    ASSERT_TRUE(next.ok) << next.error.toStdString();
    EXPECT_TRUE(next.leftovers.isEmpty());
    EXPECT_EQ(open(mapPath(), folder())->view.at(u"d0"_s), "zero");
}

INSTANTIATE_TEST_SUITE_P(KillOrFail, MapSaveFaultTest,
                         ::testing::Values(FaultCase{false, false}, FaultCase{false, true}, FaultCase{true, false},
                                           FaultCase{true, true}, FaultCase{false, false, NextStart::Here, true},
                                           FaultCase{true, false, NextStart::Here, true},
                                           FaultCase{true, false, NextStart::Here, false, true},
                                           FaultCase{true, false, NextStart::Here, true, true}),
                         [](const auto& info) { return faultName(info.param); });

INSTANTIATE_TEST_SUITE_P(
    NextStart, MapSaveFaultTest,
    ::testing::Values(FaultCase{true, false, NextStart::Moved}, FaultCase{true, true, NextStart::Moved},
                      FaultCase{true, false, NextStart::Moved, true}, FaultCase{true, false, NextStart::Copied},
                      FaultCase{true, true, NextStart::Copied}, FaultCase{true, false, NextStart::MapVolumeAway},
                      FaultCase{true, true, NextStart::MapVolumeAway}),
    [](const auto& info) { return faultName(info.param); });

} // namespace
