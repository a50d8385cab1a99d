// Random sequences of the map editor's own operations, each seed one sequence: pictures brought
// into slots and edited in the picture tool (changed or not), rows moved, inserted and deleted,
// undo and redo in the main window, the treasure form and the destination editor, New, Open,
// Save and Save As, and drags on the map cut short by a key, a second button, Ctrl+Z or a modal
// window; the backup pictures deleted, then undo and redo. After every step each picture a slot
// shows, and each picture a state of an undo ring names, is on disk, the former with the bytes it
// showed, and after every save, and when the saved map is opened again, each slot shows the bytes
// it showed before the save. The disk turns hostile on the way: entries of every kind and name
// planted in a map's picture folder, the folder turned into a link; and a second program holds a
// map meanwhile, which this one then can neither open nor save over; another program rewrites the
// open map file between steps, and the next save over it asks (No by default) and, declined,
// leaves that program's bytes as they are. The treasure form stays usable
// while its tool runs: another row is selected and undo tried meanwhile. A drag moves the point it
// grabbed and is one undo step. MAP_WALK_SEEDS=<n> walks more seeds.
#include "AtlasFixture.h"
#include "HostileFolder.h"
#include "MapCanvas.h"
#include "MapFile.h"
#include "MapGeometry.h"
#include "MapSave.h"
#include "Unit2.h"
#include "Unit3.h"
#include "UnitToolSet.h"

#include <QCryptographicHash>
#include <QDialog>
#include <QMouseEvent>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <array>
#include <cmath>
#include <map>
#include <random>

using namespace Qt::StringLiterals;
using Prompter::Answer;

namespace {

constexpr int Rows = MapDocument::DestinationCount;
constexpr int Treasures = MapDocument::TreasureCount;

// What every slot shows, as the hash of its file's bytes; empty for no picture.
struct Shown {
    std::array<QByteArray, Rows> rows;
    std::array<QByteArray, Treasures> treasures;
    QByteArray map;
    bool operator==(const Shown&) const = default;
};

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "missing: " + path.toUtf8();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex();
}

std::string describe(const Shown& expected, const Shown& got)
{
    std::string out;
    auto compare = [&](const std::string& slot, const QByteArray& e, const QByteArray& g) {
        if (e != g)
            out += slot + ": expected " + (e.isEmpty() ? "nothing" : e.left(12).toStdString()) + ", shows "
                   + (g.isEmpty() ? "nothing" : g.toStdString()) + "\n";
    };
    for (int n = 0; n < Rows; ++n)
        compare("destination " + std::to_string(n), expected.rows[n], got.rows[n]);
    for (int t = 0; t < Treasures; ++t)
        compare("treasure " + std::to_string(t + 1), expected.treasures[t], got.treasures[t]);
    compare("map picture", expected.map, got.map);
    return out;
}

} // namespace

class MapEditingWalk : public AtlasFixture {
protected:
    void SetUp() override
    {
        // The tool's receivers live in a folder of the test's own.
        ASSERT_TRUE(runtime.isValid());
        savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        AtlasFixture::SetUp();
        const QString tool = program.path() + u"easel_fake"_s;
        ASSERT_TRUE(QFile::copy(QStringLiteral(FAKE_PICTURE_TOOL), tool));
        QFile::setPermissions(tool, QFile::permissions(QStringLiteral(FAKE_PICTURE_TOOL)));
        registerTool();
    }

    void TearDown() override
    {
        AtlasFixture::TearDown();
        qunsetenv("FAKE_TOOL_CHANGE");
        qunsetenv("FAKE_TOOL_NOTIFY");
        qunsetenv("FAKE_TOOL_WAIT_FOR");
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
    }

    void registerTool()
    {
        forms->formToolSet->setEntries({u"Picture=easel_fake"_s});
        forms->formToolSet->BuildToolsMenu(f1().tbpTools);
    }

    TForm2& f2() { return *forms->form2; }
    TForm3& f3() { return *forms->form3; }

    // The hash a path showed when it was first shown; a path never seen gives a mark that matches
    // nothing.
    QByteArray known(const QString& path) const
    {
        if (path.isEmpty())
            return {};
        const auto it = m_known.find(QFileInfo(path).absoluteFilePath());
        return it == m_known.end() ? "unknown: " + path.toUtf8() : it->second;
    }
    void learn(const QString& path) { m_known[QFileInfo(path).absoluteFilePath()] = hashOf(path); }

    QString slotPath(const QString& name) { return f1().ResolvePicturePath(name, false); }

    Shown shownNow()
    {
        Shown s;
        for (int n = 0; n < Rows; ++n)
            if (const QString p = slotPath(f1().Doc.rows[n][MapDocument::Picture]); !p.isEmpty())
                s.rows[n] = hashOf(p);
        for (int t = 0; t < Treasures; ++t)
            if (const QString p = slotPath(f1().Doc.treasures[t]); !p.isEmpty())
                s.treasures[t] = hashOf(p);
        if (!f1().MapPicturePath.isEmpty())
            s.map = hashOf(f1().MapPicturePath);
        return s;
    }

    // After a save, an open or New every file the map names is taken as it is now.
    void relearn()
    {
        m_known.clear();
        for (const auto& row : f1().Doc.rows)
            if (const QString p = slotPath(row[MapDocument::Picture]); !p.isEmpty())
                learn(p);
        for (const QString& t : f1().Doc.treasures)
            if (const QString p = slotPath(t); !p.isEmpty())
                learn(p);
        if (!f1().MapPicturePath.isEmpty())
            learn(f1().MapPicturePath);
    }

    // A picture of the kind's size in a colour of its own, outside the picture folder.
    QString freshPicture(QSize size)
    {
        const QString path = program.path() + u"in/p%1.bmp"_s.arg(++m_pictures);
        writePicture(path, size, QColor::fromHsv(int(m_pictures * 37 % 360), 200, 40 + int(m_pictures * 13 % 200)));
        return path;
    }

    // Opens the destination editor on a row (1-based) and runs `inside` while it is shown; OK.
    // The editor's picture undo goes on where it left off when the same destination of the same
    // map is shown again with nothing in between that moved rows or replaced the map.
    void inEditor(int row, const std::function<void(TForm2&)>& inside)
    {
        if (m_editorRow == row - 1)
            pushEditorStep(m_expected->rows[row - 1]);
        else
            m_editorRing.reset(m_expected->rows[row - 1]);
        m_editorRow = row - 1;
        f1().selectRow(row);
        prompter->modals.push_back([&](QDialog& d) {
            inside(static_cast<TForm2&>(d));
            return int(QDialog::Accepted);
        });
        f1().bbCityInfoEditClick();
        prompter->answers.clear();
    }

    // The tool names its picture back half of the time, also when it changed nothing (an open).
    void runTool(bool change, bool notify)
    {
        qputenv("FAKE_TOOL_CHANGE", change ? "1" : "0");
        qputenv("FAKE_TOOL_NOTIFY", notify ? "1" : "0");
    }

    // A mouse event on the map as the window system gives it, through the application's filters:
    // at an exact point in the window, which on a scaled display lies between logical pixels, and
    // with the map's position of it rounded to a whole pixel, as Qt hands it on.
    void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        const QWidget* map = f1().imMap;
        const QPointF inWindow = at + QPointF(map->mapTo(map->window(), QPoint(0, 0)));
        QMouseEvent e(type, at.toPoint(), inWindow, map->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(f1().imMap, &e);
    }

    // The files that a state some undo ring can bring back names, and that are gone: the map's
    // ring, the treasure ring and, while it goes on, the destination editor's.
    QStringList goneFromRings()
    {
        QStringList gone;
        auto check = [&](const QString& ring, const QString& path) {
            if (!path.isEmpty() && !QFileInfo(path).isFile())
                gone << ring + u": "_s + path;
        };
        const UndoRing<MapSnapshot>& map = f1().Undo.ring();
        for (qint64 p = map.first(); p <= map.last(); ++p) {
            if (map.at(p).empty)
                continue;
            for (const MapDocument::Row& row : map.at(p).rows)
                check(u"map"_s, slotPath(row[MapDocument::Picture]));
            check(u"map"_s, map.at(p).picturePath);
        }
        for (qint64 p = f3().Undo.first(); p <= f3().Undo.last(); ++p)
            for (const QString& name : f3().Undo.at(p).names)
                check(u"treasure"_s, slotPath(name));
        if (m_editorRow >= 0)
            for (qint64 p = f2().PictureUndo.first(); p <= f2().PictureUndo.last(); ++p)
                check(u"destination editor"_s, f2().PictureUndo.at(p));
        return gone;
    }

    void pushEditorStep(const QByteArray& shown)
    {
        if (m_editorRing.currentState() != shown)
            m_editorRing.push(shown);
    }
    void forgetEditorSteps() { m_editorRow = -1; }

    QTemporaryDir runtime{u"/tmp/atl-XXXXXX"_s};
    QByteArray savedRuntime;
    std::map<QString, QByteArray> m_known;
    int m_pictures = 0;
    Shown* m_expected = nullptr;
    // What the destination editor's picture undo should hold, and for which destination.
    UndoRing<QByteArray> m_editorRing{21};
    int m_editorRow = -1;
};

TEST_F(MapEditingWalk, EveryPictureStaysWithItsSlotThroughSavesAndUndo)
{
    const int seeds = std::max(1, qEnvironmentVariableIntValue("MAP_WALK_SEEDS"));
    const int firstSeed = 1 + qEnvironmentVariableIntValue("MAP_WALK_FIRST_SEED");
    constexpr int Steps = 45;
    const QStringList names = {u"m1"_s, u"m2"_s, u"m3"_s};
    TempFolder linkHome; // where a second program's link to this program folder lies

    for (int seed = firstSeed; seed < firstSeed + std::max(seeds, 6); ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return int(random() % unsigned(n)); };
        startAtlas({});
        registerTool();
        m_known.clear();
        Shown expected;
        m_expected = &expected;
        forgetEditorSteps();
        std::map<QString, Shown> saved; // what each saved map file showed
        std::map<QString, Tree> planted; // the hostile entries in each map file's folder
        // What another program wrote into a map file since this one last read or wrote it; its own
        // sequence, so that the steps stay those of the seed.
        std::map<QString, QByteArray> outside;
        std::mt19937 outsideRandom(7919u * unsigned(seed));
        QStringList log;
        auto linked = [](const QString& path) { return QFileInfo(MapFolders::pictureFolderOfMap(path)).isSymLink(); };

        for (int step = 0; step < Steps; ++step) {
            // Rows and treasure slots in a small range, so that operations meet one another.
            const int row = 1 + pick(5);
            const int treasure = 1 + pick(4);
            int op = pick(22);
            // The disk turns hostile under a saved map: an unsaved one is saved first.
            if ((op == 17 || op == 18) && (f1().MapFilePath.isEmpty() || (op == 18 && linked(f1().MapFilePath))))
                op = 16;
            prompter->answers.clear();
            prompter->files.clear();
            QString what;
            switch (op) {
            case 0:
            case 1: {
                what = u"import into destination %1"_s.arg(row - 1);
                const QString source = freshPicture({400, 225});
                inEditor(row, [&](TForm2& f) { f.ImportDestinationPicture(source, true, false); });
                expected.rows[row - 1] = hashOf(source);
                pushEditorStep(expected.rows[row - 1]);
                learn(slotPath(f1().Doc.rows[row - 1][MapDocument::Picture]));
                break;
            }
            case 2: {
                what = u"import into treasure %1"_s.arg(treasure);
                const QString source = freshPicture({300, 300});
                f3().SelectRow(treasure);
                f3().ImportTreasurePicture(source, true, false);
                expected.treasures[treasure - 1] = hashOf(source);
                learn(slotPath(f1().Doc.treasures[treasure - 1]));
                break;
            }
            case 3: {
                what = u"import the map picture"_s;
                const QString source = freshPicture({960, 435});
                f1().ImportMapPicture(source, true);
                expected.map = hashOf(source);
                learn(f1().MapPicturePath);
                break;
            }
            case 4: {
                const bool change = pick(2);
                what = u"tool run on destination %1, %2"_s.arg(row - 1).arg(change ? u"saving" : u"changing nothing");
                runTool(change, pick(2));
                inEditor(row, [&](TForm2& f) { f.btEditCityPicClick(); });
                if (change) {
                    const QString now = slotPath(f1().Doc.rows[row - 1][MapDocument::Picture]);
                    EXPECT_NE(hashOf(now), expected.rows[row - 1]) << "the tool's picture was taken in";
                    learn(now);
                    expected.rows[row - 1] = known(now);
                    pushEditorStep(expected.rows[row - 1]);
                }
                break;
            }
            case 5: {
                const bool change = pick(2);
                const int other = 1 + pick(4);
                const bool tryUndo = pick(2);
                what = u"tool run on treasure %1, %2, row %3 selected meanwhile%4"_s.arg(treasure)
                           .arg(change ? u"saving" : u"changing nothing")
                           .arg(other)
                           .arg(tryUndo ? u" and undo tried" : u"");
                runTool(change, pick(2));
                // The tool holds until the row is changed under it.
                const QString goAhead = program.path() + u"go-%1-%2"_s.arg(seed).arg(step);
                qputenv("FAKE_TOOL_WAIT_FOR", QFile::encodeName(goAhead));
                bool meanwhile = false;
                QTimer during;
                during.setSingleShot(true);
                QObject::connect(&during, &QTimer::timeout, [&] {
                    meanwhile = f1().ToolRunning;
                    f3().SelectRow(other);
                    if (tryUndo)
                        f3().bbUndoClick();
                    program.write(QFileInfo(goAhead).fileName(), "go");
                });
                during.start(0);
                f3().SelectRow(treasure);
                f3().btEditClick();
                qunsetenv("FAKE_TOOL_WAIT_FOR");
                EXPECT_TRUE(meanwhile) << "the selection changed while the tool ran";
                if (change) {
                    const QString now = slotPath(f1().Doc.treasures[treasure - 1]);
                    learn(now);
                    expected.treasures[treasure - 1] = known(now);
                }
                break;
            }
            case 6: {
                const bool change = pick(2);
                what = u"tool run on the map picture, %1"_s.arg(change ? u"saving" : u"changing nothing");
                runTool(change, pick(2));
                f1().mmEditMapPicClick();
                if (change) {
                    learn(f1().MapPicturePath);
                    expected.map = known(f1().MapPicturePath);
                }
                break;
            }
            case 7:
                what = u"move destination %1 up"_s.arg(row - 1);
                f1().selectRow(row);
                f1().bbUpClick();
                if (row > 1) {
                    std::swap(expected.rows[row - 2], expected.rows[row - 1]);
                    forgetEditorSteps();
                }
                break;
            case 8:
                what = u"move destination %1 down"_s.arg(row - 1);
                f1().selectRow(row);
                f1().bbDownClick();
                std::swap(expected.rows[row - 1], expected.rows[row]);
                forgetEditorSteps();
                break;
            case 9:
                what = u"insert at %1"_s.arg(row - 1);
                f1().selectRow(row);
                prompter->answers = {Answer::Yes};
                f1().bbInsertClick();
                std::rotate(expected.rows.begin() + row - 1, expected.rows.end() - 1, expected.rows.end());
                forgetEditorSteps();
                break;
            case 10:
                what = u"delete %1"_s.arg(row - 1);
                f1().selectRow(row);
                prompter->answers = {Answer::Yes};
                f1().bbDeleteClick();
                std::rotate(expected.rows.begin() + row - 1, expected.rows.begin() + row, expected.rows.end());
                expected.rows.back() = QByteArray();
                forgetEditorSteps();
                break;
            case 11: {
                const bool undo = pick(3) != 0;
                what = undo ? u"undo"_s : u"redo"_s;
                const qint64 before = f1().Undo.ring().current();
                undo ? f1().bbUndoClick() : f1().bbRedoClick();
                if (f1().Undo.ring().current() != before)
                    forgetEditorSteps();
                const MapSnapshot& s = f1().Undo.current();
                for (int n = 0; n < Rows; ++n)
                    expected.rows[n] = s.empty ? QByteArray() : known(slotPath(s.rows[n][MapDocument::Picture]));
                expected.map = known(s.picturePath);
                break;
            }
            case 12: {
                const bool undo = pick(3) != 0;
                what = undo ? u"treasure undo"_s : u"treasure redo"_s;
                undo ? f3().bbUndoClick() : f3().bbRedoClick();
                const TForm3::TreasureSnapshot& s = f3().Undo.currentState();
                for (int t = 0; t < Treasures; ++t)
                    expected.treasures[t] = known(slotPath(s.names[t]));
                break;
            }
            case 13: {
                what = u"picture undo in destination %1"_s.arg(row - 1);
                inEditor(row, [&](TForm2& f) { f.bbUndoClick(); });
                m_editorRing.undo();
                expected.rows[row - 1] = m_editorRing.currentState();
                break;
            }
            case 14: {
                what = u"new map"_s;
                prompter->answers = {Answer::No};
                f1().mmNewClick();
                expected = Shown();
                m_known.clear();
                forgetEditorSteps();
                break;
            }
            case 15: {
                // A saved map, as the open dialog would choose it; one whose pictures moved away with
                // a Save As under another name cannot be opened and leaves the map as it was.
                const QString path = mapPath(names.at(pick(int(names.size()))) + u".map"_s);
                what = u"open "_s + QFileInfo(path).fileName();
                if (!saved.count(path))
                    continue;
                prompter->answers = {Answer::No};
                prompter->files = {path};
                f1().mmOpenClick();
                if (f1().MapFilePath == path && QFileInfo(MapFolders::pictureFolderOfMap(path)).isDir()) {
                    expected = saved[path];
                    relearn();
                    forgetEditorSteps();
                    outside.erase(path);
                }
                break;
            }
            case 17: {
                // Entries of every kind and name in the open map's picture folder.
                what = u"plant hostile entries"_s;
                const QString folder = MapSave::realFolder(f1().PictureFolder);
                const Tree before = snapshotTree(folder);
                plantHostileEntries(folder, program.write(u"outside.txt"_s, "outside"));
                Tree& kept = planted[f1().MapFilePath];
                for (const auto& [name, entry] : snapshotTree(folder))
                    if (!before.count(name) && name != ".~wrAbC123")
                        kept[name] = entry;
                break;
            }
            case 18: {
                // The open map's picture folder moved elsewhere and linked back, absolutely or not.
                what = u"link the picture folder"_s;
                const QString real = program.path() + u"elsewhere/%1-%2"_s.arg(seed).arg(step);
                QDir().mkpath(program.path() + u"elsewhere"_s);
                ASSERT_TRUE(QDir().rename(f1().PictureFolder, real));
                const QString text = pick(2) ? real : u"../../elsewhere/"_s + QFileInfo(real).fileName();
                ASSERT_EQ(
                    ::symlink(QFile::encodeName(text).constData(), QFile::encodeName(f1().PictureFolder).constData()),
                    0);
                break;
            }
            case 19: {
                // A second program holds one of the maps: this one can neither open nor save over it,
                // and the second cannot have the map this one has open.
                // It reaches the map by another path as often as by the same: through a link to the
                // program folder, or with the folder's name in another case.
                const QString path = mapPath(names.at(pick(int(names.size()))) + u".map"_s);
                const int road = pick(3);
                what = u"second program holds "_s + QFileInfo(path).fileName()
                       + (road == 1 ? u" through a linked program folder"_s : road == 2 ? u" in another case"_s : QString());
                QString secondProgram = program.path();
                QString secondFolder = MapFolders::pictureFolderOfMap(path);
                if (road == 1) {
                    const QString link = linkHome.file(u"program"_s);
                    if (!QFileInfo(link).isSymLink())
                        ASSERT_TRUE(QFile::link(QDir::cleanPath(program.path()), link));
                    secondProgram = link + u'/';
                    secondFolder = link + secondFolder.mid(QDir::cleanPath(program.path()).size());
                } else if (road == 2) {
                    QString name = QFileInfo(secondFolder).fileName();
                    for (QChar& c : name)
                        c = c.isLower() && c.unicode() < 128 ? c.toUpper() : c;
                    secondFolder = QFileInfo(secondFolder).absolutePath() + u'/' + name;
                }
                QProcess second;
                second.start(QStringLiteral(MAP_SAVE_CHILD), {u"--hold"_s, secondProgram, secondFolder});
                ASSERT_TRUE(second.waitForStarted(10000));
                while (!second.canReadLine() && second.waitForReadyRead(10000))
                    ;
                const QByteArray said = second.readLine().trimmed();
                const bool mine = f1().MapFilePath == path;
                EXPECT_EQ(said, mine ? "busy" : "held") << what.toStdString();
                if (!mine) {
                    const QByteArray file = readBytes(path);
                    const QString open = f1().MapFilePath;
                    if (saved.count(path) && QFileInfo(MapFolders::pictureFolderOfMap(path)).isDir()) {
                        EXPECT_FALSE(f1().LoadMapFile(path));
                        EXPECT_EQ(f1().MapFilePath, open);
                    }
                    f1().SaveMapFile(path, QString());
                    EXPECT_FALSE(f1().SaveSucceeded);
                    EXPECT_EQ(readBytes(path), file);
                    EXPECT_EQ(f1().MapFilePath, open);
                }
                second.write("\n");
                second.closeWriteChannel();
                EXPECT_TRUE(second.waitForFinished(10000));
                break;
            }
            case 20: {
                // Three points to meet; placing them is a step of its own.
                for (int r = 0; r < 3; ++r)
                    if (f1().Doc.rows[r][MapDocument::Position].isEmpty())
                        f1().Doc.rows[r][MapDocument::Position] = u"%1,%2"_s.arg(200 + 150 * r).arg(100 + 80 * r);
                f1().PushUndo(QString());
                const int grab = pick(3);
                const QPoint start = *MapGeometry::parsePosition(f1().Doc.rows[grab][MapDocument::Position]);
                const QPoint at = start + QPoint(pick(5) - 2, pick(5) - 2);
                const int grabbed = MapGeometry::hitPoint(f1().Doc, at);
                const QPoint grabbedAt = *MapGeometry::parsePosition(f1().Doc.rows[grabbed][MapDocument::Position]);
                f1().selectRow(1 + pick(5));
                // Each part of the drag moves the point.
                const QPoint middle = at + QPoint(1 + pick(300), pick(200) - 100);
                const QPoint end = middle + QPoint(pick(200) - 100, 1 + pick(100));
                const int cut = pick(5);
                const char* cuts[] = {"none", "a key", "a second button", "Ctrl+Z", "a modal window"};
                what = u"drag destination %1 cut short by %2"_s.arg(grabbed).arg(QString::fromLatin1(cuts[cut]));
                const MapDocument before = f1().Doc;
                // Where the drag's step lands: after the undone states, which a new step after
                // undoing appends again first.
                const UndoRing<MapSnapshot>& ring = f1().Undo.ring();
                const qint64 steps = ring.last() + (ring.last() - ring.current());

                // The pointer on any device pixel of the map pixel, on a display at any scale: the
                // drag goes by the map pixels it crossed.
                const double scale = std::array{1.0, 1.25, 1.5, 1.75, 2.0}[size_t(pick(5))];
                auto onDevicePixel = [&](QPoint p) {
                    const int within = int(std::ceil(scale));
                    const int x = pick(within), y = pick(within);
                    return QPointF(p) + QPointF(x, y) / scale;
                };
                what += u" at %1 %"_s.arg(scale * 100);
                mouse(QEvent::MouseButtonPress, onDevicePixel(at), Qt::LeftButton, Qt::LeftButton);
                ASSERT_TRUE(f1().imMap->dragging()) << what.toStdString();
                mouse(QEvent::MouseMove, onDevicePixel(middle), Qt::NoButton, Qt::LeftButton);
                switch (cut) {
                case 1:
                    QTest::keyClick(f1().sg1, Qt::Key_Down);
                    break;
                case 2:
                    mouse(QEvent::MouseButtonPress, onDevicePixel(middle), Qt::RightButton,
                          Qt::LeftButton | Qt::RightButton);
                    mouse(QEvent::MouseButtonRelease, onDevicePixel(middle), Qt::RightButton, Qt::LeftButton);
                    break;
                case 3:
                    // The key ends the drag before its shortcut, which is the undo button's click.
                    QTest::keyClick(f1().sg1, Qt::Key_Z, Qt::ControlModifier);
                    f1().bbUndoClick();
                    break;
                case 4: {
                    QDialog modal(&f1());
                    modal.setModal(true);
                    modal.show();
                    modal.close();
                    break;
                }
                default:
                    break;
                }
                EXPECT_EQ(f1().imMap->dragging(), cut == 0) << what.toStdString();
                mouse(QEvent::MouseMove, onDevicePixel(end), Qt::NoButton, Qt::LeftButton);
                mouse(QEvent::MouseButtonRelease, onDevicePixel(end), Qt::LeftButton, Qt::NoButton);

                MapDocument expectedDoc = before;
                const QPoint dropped = (cut == 0 ? end : middle) - at + grabbedAt;
                expectedDoc.rows[grabbed][MapDocument::Position] = MapGeometry::positionText(dropped.x(), dropped.y());
                if (cut == 3) {
                    // Undone whole, since the drag was one step, and redone whole.
                    EXPECT_EQ(f1().Doc.rows, before.rows) << what.toStdString();
                    EXPECT_EQ(f1().Undo.ring().current(), steps) << what.toStdString();
                    f1().bbRedoClick();
                    forgetEditorSteps();
                }
                EXPECT_EQ(f1().Doc.rows, expectedDoc.rows) << what.toStdString();
                EXPECT_EQ(f1().Undo.ring().current(), steps + 1) << what.toStdString();
                break;
            }
            case 21: {
                // The backups go between undo and redo in the main window and the treasure form:
                // the states redo brings back name working copies the map itself no longer names.
                const int back = 1 + pick(4);
                what = u"%1 undo, delete the working copies, redo"_s.arg(back);
                const qint64 before = f1().Undo.ring().current();
                for (int i = 0; i < back; ++i) {
                    f1().bbUndoClick();
                    f3().bbUndoClick();
                }
                prompter->asked.clear();
                prompter->answers = {Answer::Yes};
                f1().mmDeleteTempClick();
                EXPECT_EQ(goneFromRings(), QStringList()) << what.toStdString();
                prompter->asked.clear();
                for (int i = 0; i < back - pick(2); ++i) {
                    f1().bbRedoClick();
                    f3().bbRedoClick();
                }
                EXPECT_TRUE(prompter->asked.empty())
                    << what.toStdString() << ": " << prompter->lastText().toStdString();
                if (f1().Undo.ring().current() != before)
                    forgetEditorSteps();
                const MapSnapshot& s = f1().Undo.current();
                for (int n = 0; n < Rows; ++n)
                    expected.rows[n] = s.empty ? QByteArray() : known(slotPath(s.rows[n][MapDocument::Picture]));
                expected.map = known(s.picturePath);
                const TForm3::TreasureSnapshot& t = f3().Undo.currentState();
                for (int n = 0; n < Treasures; ++n)
                    expected.treasures[n] = known(slotPath(t.names[n]));
                break;
            }
            default: {
                // Save As one of a few names, or the overwrite save under the map's own name.
                const bool own = !f1().MapFilePath.isEmpty() && pick(2);
                const QString path = own ? f1().MapFilePath : mapPath(names.at(pick(int(names.size()))) + u".map"_s);
                what = u"save as "_s + QFileInfo(path).fileName();
                const QString before = f1().MapFilePath;
                // A linked folder stays with the map file it belongs to.
                const bool movesFolder = !before.isEmpty() && !linked(before)
                                         && QFileInfo(before).completeBaseName() != QFileInfo(path).completeBaseName();
                // Over another program's bytes in the map's own file the save asks first.
                const bool asks = path == f1().MapFilePath && outside.count(path);
                const bool replace = asks && outsideRandom() % 2;
                if (asks)
                    prompter->answers = {replace ? Answer::Yes : Answer::No};
                const size_t askedBefore = prompter->asked.size();
                f1().SaveMapFile(path, QString());
                const QString question = u"マップファイル \""_s + QFileInfo(path).fileName()
                                         + u"\" は，開いた後に，ほかで変更されています。\r\n上書き保存しますか。"_s;
                const auto asked = std::find_if(prompter->asked.begin() + askedBefore, prompter->asked.end(),
                                                [&](const auto& a) { return a.text == question; });
                EXPECT_EQ(asked != prompter->asked.end(), asks) << what.toStdString();
                if (asks && asked != prompter->asked.end()) {
                    EXPECT_EQ(asked->defaultAnswer, Answer::No);
                }
                if (asks && !replace) {
                    what += u", declined over another program's change"_s;
                    EXPECT_FALSE(f1().SaveSucceeded) << what.toStdString();
                    EXPECT_EQ(readBytes(path), outside[path]) << what.toStdString();
                    break;
                }
                ASSERT_TRUE(f1().SaveSucceeded) << what.toStdString() << ": " << prompter->lastText().toStdString();
                if (asks) {
                    EXPECT_NE(readBytes(path), outside[path]) << what.toStdString();
                }
                outside.erase(path);
                // The rare treasures close ranks behind r01.
                std::stable_partition(expected.treasures.begin() + 2, expected.treasures.end(),
                                      [](const QByteArray& h) { return !h.isEmpty(); });
                {
                    const Shown got = shownNow();
                    ASSERT_EQ(got, expected) << "seed " << seed << " after " << what.toStdString() << "\n"
                                             << log.join(u'\n').toStdString() << "\n"
                                             << describe(expected, got);
                }
                saved[path] = expected;
                // A Save As over another map replaces its folder.
                if (planted.count(before))
                    planted[path] = planted[before];
                else if (path != before)
                    planted.erase(path);
                if (movesFolder) {
                    saved.erase(before);
                    if (before != path)
                        planted.erase(before);
                }
                // Opened again, the map shows the same.
                ASSERT_TRUE(f1().LoadMapFile(path));
                relearn();
                forgetEditorSteps();
                break;
            }
            }
            log << u"%1: %2"_s.arg(step).arg(what);
            if (planted.count(f1().MapFilePath)) {
                const Tree now = snapshotTree(MapSave::realFolder(f1().PictureFolder));
                for (const auto& [name, entry] : planted[f1().MapFilePath])
                    ASSERT_EQ(now.count(name) ? now.at(name) : "missing", entry)
                        << name << " in the picture folder, seed " << seed << " after step " << step << "\n"
                        << log.join(u'\n').toStdString();
            }
            ASSERT_EQ(goneFromRings(), QStringList()) << "seed " << seed << " after step " << step << "\n"
                                                      << log.join(u'\n').toStdString();
            const Shown got = shownNow();
            ASSERT_EQ(got, expected) << "seed " << seed << " after step " << step << "\n"
                                     << log.join(u'\n').toStdString() << "\n"
                                     << describe(expected, got);

            // Another program rewrites a destination of the open map file.
            if (const QString path = f1().MapFilePath;
                !path.isEmpty() && QFileInfo(path).isFile() && outsideRandom() % 5 == 0) {
                const QByteArray bytes =
                    withDestinationRewritten(readBytes(path), 1, u"名古屋%1"_s.arg(step), u"ほかで書いた説明"_s);
                ASSERT_TRUE(FileOps::writeFileAtomic(path, bytes));
                outside[path] = bytes;
                log << u"%1: another program rewrites %2"_s.arg(step).arg(QFileInfo(path).fileName());
            }
        }
    }
}
