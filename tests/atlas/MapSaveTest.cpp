#include "MapSave.h"

#include "AtlasFixture.h"
#include "HostileFolder.h"
#include "FileOps.h"
#include "MapFile.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>

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

    QString root() const { return dir.path() + u"root"_s; }
    QString folder(const QString& name = u"m"_s) const { return root() + u'/' + name; }
    QString mapPath(const QString& name = u"m"_s) const { return dir.path() + u"maps/"_s + name + u".map"_s; }
    QString put(const QString& name, const QByteArray& bytes, const QString& in = u"m"_s) const
    {
        return dir.write(u"root/"_s + in + u'/' + name, bytes);
    }

    MapSave::Request request(const MapDocument& doc, const QString& mapPicture, const QString& to = u"m"_s) const
    {
        QDir().mkpath(dir.path() + u"maps"_s);
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
        QDir().mkpath(dir.path() + u"maps"_s);
        ASSERT_TRUE(FileOps::writeFileAtomic(mapPath(name), MapFile::write(doc, mapPicture)));
    }

    // Nothing of the transaction is left once a save ended or was recovered.
    void expectNoLeftovers()
    {
        EXPECT_FALSE(QFileInfo::exists(root() + u'/' + MapSave::transactionName()));
        for (const QString& name : QDir(dir.path() + u"maps"_s).entryList(QDir::Files | QDir::Hidden))
            EXPECT_TRUE(name.endsWith(u".map"_s) && !name.startsWith(u'.')) << name.toStdString();
    }

    TempFolder dir;
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
// full disk; what opens afterwards is the old map or the new one, whole.
class MapSaveFaultTest : public MapSaveTest, public ::testing::WithParamInterface<std::tuple<bool, bool>> {
protected:
    bool kill() const { return std::get<0>(GetParam()); }
    bool saveAs() const { return std::get<1>(GetParam()); }
    QString target() const { return saveAs() ? u"other"_s : u"m"_s; }

    // The saved map: rows 0 and 1 swapped since it was saved, the map picture replaced by a
    // working copy, a new rare treasure; Save As goes to a name whose folder is left over.
    MapDocument prepare(QString& mapPicture)
    {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
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
        writeMap(saved, u"map.bmp"_s);
        if (saveAs())
            put(u"00.bmp"_s, "left over", u"other"_s);

        MapDocument doc = saved;
        std::swap(doc.rows[0], doc.rows[1]);
        put(u"map_000.bmp"_s, "new map");
        put(u"r_001.bmp"_s, "rare");
        doc.treasures[5] = u"r_001.bmp"_s;
        mapPicture = u"map_000.bmp"_s;
        return doc;
    }
};

TEST_P(MapSaveFaultTest, ReopensOldOrNewWhole)
{
    QString mapPicture;
    const MapDocument doc0 = prepare(mapPicture);
    const Opened old = *open(mapPath(), folder());
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
            r = MapSave::save(request(doc0, mapPicture, target()));
        } catch (const Killed&) {
        }
        FileOps::setFaultHook({});
        if (count < stopAt) {
            ASSERT_TRUE(r.ok);
            operations = count;
            break;
        }
        // The next start-up or open.
        ASSERT_TRUE(MapSave::recover(root()));
        const auto now = open(mapPath(target()), folder(target()));
        if (r.ok) {
            EXPECT_EQ(now, fresh);
        } else {
            const bool isOld = saveAs() ? !now.has_value() && open(mapPath(), folder()) == old : now == oldTarget;
            const bool isNew = now == fresh;
            EXPECT_TRUE(isOld || isNew);
            if (!kill()) {
                // A plain failure says so and leaves the old map; once room is made the save goes through.
                EXPECT_TRUE(isOld);
                EXPECT_FALSE(r.error.isEmpty());
                const MapSave::Result again = MapSave::save(request(doc0, mapPicture, target()));
                ASSERT_TRUE(again.ok) << again.error.toStdString();
                EXPECT_EQ(open(mapPath(target()), folder(target())), fresh);
            }
        }
        expectNoLeftovers();
        if (saveAs() && QFileInfo::exists(mapPath(target()))) {
            EXPECT_FALSE(QFileInfo::exists(folder())) << "the old map keeps no picture folder";
        }
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

INSTANTIATE_TEST_SUITE_P(KillOrFail, MapSaveFaultTest, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Kill" : "Fail")
                                    + (std::get<1>(info.param) ? "SaveAs" : "Overwrite");
                         });

} // namespace
