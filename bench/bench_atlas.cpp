// How long the map editor takes for what users wait on: reading and writing a full map file, and
// start-up to a painted main window. Prints figures only; the targets live in README.md.
#include "AtlasForms.h"
#include "BenchHarness.h"
#include "BenchStartup.h"
#include "BmpPicture.h"
#include "Cp932.h"
#include "DescriptionRenderer.h"
#include "JpegPicture.h"
#include "MapDocument.h"
#include "MapFile.h"
#include "MapGeometry.h"
#include "MapPainter.h"
#include "MapPictures.h"
#include "MyRichEdit.h"
#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "Unit1.h"
#include "Unit3.h"
#include "UnitCity.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Bench;

namespace {

// As atlas's main names itself.
const QString ApplicationName = u"マップエディタ"_s;

// ---- The sample map ------------------------------------------------------------------------

// Description pieces as authors write them: Japanese with ASCII, the game's "\n" line breaks,
// markup, and the commas and quotes that make the file quote the item.
const QString DescriptionPieces[] = {
    u"この町は古くから港町として栄え、江戸時代には北前船の寄港地でした。"_s,
    u"\\n"_s,
    u"毎年8月には\"みなと祭り\"が開かれ、約12,000人が訪れます。"_s,
    u"名物は「焼きそば」と「たこ焼き」, それに地酒です。"_s,
    u"\\n\\n"_s,
    u"Population: 123,456 (2020). The old harbour is 2.5 km from the station. "_s,
    u"<r>赤い文字</r>で強調し、{*作者のメモ*}は表示されません。"_s,
    u"[必答] 次の問いに答えなさい：この町の名前は？ "_s,
    u"ｶﾀｶﾅの看板も多く、English signs are common near the \"new\" pier. "_s,
    u"駅前の商店街には100年以上続く老舗が並び、朝市は午前6時から始まります。"_s,
};

// About 4 KB of code page 932 text, different for each destination.
QString description(int index)
{
    QString text;
    const int n = int(std::size(DescriptionPieces));
    for (int i = index; Cp932::byteLength(text) < 4000; ++i)
        text += DescriptionPieces[i % n];
    return text;
}

QString twoDigits(int n) { return u"%1"_s.arg(n, 2, 10, QLatin1Char('0')); }

MapDocument sampleMap()
{
    MapDocument doc;
    doc.islands = {u"120,45"_s, u"300,200"_s, u"710,388"_s};
    doc.colours = {ColourText::clNavy, ColourText::clRed, ColourText::clYellow};
    for (int r = 0; r < MapDocument::DestinationCount; ++r) {
        MapDocument::Row& row = doc.rows[r];
        row[MapDocument::Position] = u"%1,%2"_s.arg(20 + (r * 37) % 920).arg(15 + (r * 53) % 400);
        row[MapDocument::Title1] = u"旅行地%1"_s.arg(r);
        row[MapDocument::Title2] = u"Town %1, the \"best\" stop"_s.arg(r);
        // Names no file, so loading keeps nothing to copy and saving moves no picture.
        row[MapDocument::Picture] = twoDigits(r) + u".bmp"_s;
        row[MapDocument::Speech1] = u"ようこそ、%1番目の町へ！"_s.arg(r + 1);
        row[MapDocument::Speech2] = u"Hello, traveller"_s;
        row[MapDocument::Description] = description(r);
    }
    doc.treasures[0] = u"t01.bmp"_s;
    doc.treasures[1] = u"t02.bmp"_s;
    for (int t = 2; t < MapDocument::TreasureCount; ++t)
        doc.treasures[t] = u"r"_s + twoDigits(t - 1) + u".bmp"_s;
    return doc;
}

const QString SampleMapPicture = u"map.bmp"_s;

QString mapFilePathIn(const QString& programFolder)
{
    return programFolder + u"画像と音声/マップファイル/bench.map"_s;
}

// The bench map and its (empty) picture folder in a program folder; the path of the map file.
QString installSampleMap(const QString& programFolder)
{
    const QString path = mapFilePathIn(programFolder);
    QDir().mkpath(programFolder + u"画像と音声/マップファイル"_s);
    QDir().mkpath(programFolder + u"画像と音声/マップ画像/bench"_s);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(MapFile::write(sampleMap(), SampleMapPicture)) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
    return path;
}

// ---- Measuring -----------------------------------------------------------------------------

// Reported in the note column, and the first question on stderr: a prompt means the run did not
// take the path it was meant to measure.
std::string promptNote(const ScriptedPrompter& prompter, size_t before)
{
    if (prompter.asked.size() == before)
        return {};
    std::fprintf(stderr, "unexpected message: %s\n", qPrintable(prompter.asked[before].text));
    return "UNEXPECTED MESSAGES: " + std::to_string(prompter.asked.size() - before);
}

// ---- Map file and form benchmarks ----------------------------------------------------------

std::vector<Figure> benchMapFile()
{
    std::vector<Figure> out;
    const MapDocument doc = sampleMap();
    const QByteArray bytes = MapFile::write(doc, SampleMapPicture);
    if (bytes.isEmpty()) {
        std::fprintf(stderr, "the sample map cannot be written as code page 932\n");
        std::exit(2);
    }

    // The figures only count if the file reads back as what was written.
    QString why;
    const std::optional<MapFile::Content> back = MapFile::parse(bytes, &why);
    bool same = back && back->mapPictureName == SampleMapPicture && back->islands == doc.islands;
    for (int r = 0; same && r < MapDocument::DestinationCount; ++r)
        same = back->rows[r].mid(0, MapDocument::ColumnCount)
               == QStringList(doc.rows[r].begin(), doc.rows[r].end());
    if (!same)
        std::fprintf(stderr, "the sample map does not read back as written: %s\n", qPrintable(why));

    const std::string size = std::to_string(bytes.size()) + " bytes";
    qsizetype sink = 0;
    out.push_back(measure("MapFile::write (full map)", [&] { sink += MapFile::write(doc, SampleMapPicture).size(); },
                          size));
    out.push_back(measure("MapFile::parse (full map)", [&] { sink += MapFile::parse(bytes, nullptr).has_value(); },
                          same ? size : size + ", READ BACK DIFFERS"));
    out.push_back(measure("MapFile::text (modified test)", [&] { sink += MapFile::text(doc, SampleMapPicture).size(); }));
    if (sink == 42)
        std::printf(" ");
    return out;
}

std::vector<Figure> benchForm()
{
    std::vector<Figure> out;
    QTemporaryDir dir;
    ProgramFolder::setOverride(dir.path());
    ScriptedPrompter prompter;
    AtlasForms forms;
    forms.create({});
    TForm1& form = *forms.form1;
    form.show();
    QCoreApplication::processEvents();

    const QString path = installSampleMap(ProgramFolder::path());
    const std::string size = std::to_string(QFileInfo(path).size()) + " bytes";
    size_t asked = prompter.asked.size();
    bool loaded = true;
    Figure load = measure("TForm1::LoadMapFile", [&] { loaded &= form.LoadMapFile(path); },
                          [] { QCoreApplication::processEvents(); });
    load.note = loaded ? size : "LOAD FAILED";
    if (const std::string n = promptNote(prompter, asked); !n.empty())
        load.note += ", " + n;
    out.push_back(load);

    asked = prompter.asked.size();
    Figure loadPaint = measure("TForm1::LoadMapFile + repaint", [&] {
        loaded &= form.LoadMapFile(path);
        QCoreApplication::processEvents();
    });
    loadPaint.note = promptNote(prompter, asked);
    out.push_back(loadPaint);

    // Loading drops the names of pictures that do not exist, so what is saved is the map without
    // picture names: the text, the renamer's pass over no pictures, the file and the history.
    asked = prompter.asked.size();
    bool saved = true;
    Figure save = measure("TForm1::SaveMapFile (same path)", [&] {
        form.SaveMapFile(path, QString());
        saved &= form.SaveSucceeded;
    }, [] { QCoreApplication::processEvents(); });
    save.note = saved ? std::to_string(QFileInfo(path).size()) + " bytes" : "SAVE FAILED";
    if (const std::string n = promptNote(prompter, asked); !n.empty())
        save.note += ", " + n;
    out.push_back(save);

    // Every slot with a picture (a 30 KB file each): the save stages 164 pictures by hard links
    // beside the folder's other files, writes the map file and swaps both in.
    const QByteArray pictureBytes(30000, 'p');
    auto picture = [&](const QString& name) {
        QFile f(form.PictureFolder + u'/' + name);
        if (f.open(QIODevice::WriteOnly))
            f.write(pictureBytes);
        return name;
    };
    for (int n = 0; n < MapDocument::DestinationCount; ++n)
        form.Doc.rows[n][MapDocument::Picture] = picture(u"%1_001.bmp"_s.arg(n, 2, 10, QLatin1Char('0')));
    for (int t = 0; t < MapDocument::TreasureCount; ++t)
        form.Doc.treasures[t] = picture(u"tr%1_001.jpg"_s.arg(t));
    form.MapPicturePath = form.PictureFolder + u'/' + picture(u"map_001.bmp"_s);
    saved = true;
    Figure savePictures = measure("TForm1::SaveMapFile (164 pictures)", [&] {
        form.SaveMapFile(path, QString());
        saved &= form.SaveSucceeded;
    }, [] { QCoreApplication::processEvents(); });
    savePictures.note = saved ? std::to_string(QDir(form.PictureFolder).count() - 2) + " files in the folder"
                              : "SAVE FAILED";
    out.push_back(savePictures);

    // The treasure form with all 101 slots holding real 300 x 300 pictures, the map behind them.
    {
        QImage treasure(300, 300, QImage::Format_RGB32);
        treasure.fill(Qt::darkYellow);
        for (const QString& name : form.Doc.treasures)
            if (!name.isEmpty())
                PictureFile::save(form.PictureFolder + u'/' + barePictureName(name), treasure,
                                  JpegPicture::DefaultQuality);
        TForm3& form3 = *forms.form3;
        form3.ReadNamesFromMap();
        form3.cbShowBack->setChecked(true);
        out.push_back(measure("TForm3 shown (101 filled slots)", [&] {
            form3.ShowTreasurePicture();
            form3.show();
            QCoreApplication::processEvents();
        }, [&] {
            form3.hide();
            QCoreApplication::processEvents();
        }));
        form3.show();
        int row = 0;
        out.push_back(measure("TForm3 row selected, picture over the map", [&] {
            form3.SelectRow(++row % 101 + 1);
            form3.sg3Click();
            QCoreApplication::processEvents();
        }, "select + show + repaint"));
        form3.hide();
    }

    // One recorded step: snapshot, comparison with the current step, ring, label and buttons.
    // The title alternates so that every push records.
    int step = 0;
    Figure push = measure("TForm1::PushUndo (full map)", [&] {
        form.Doc.rows[0][MapDocument::Title1] = (++step % 2) ? u"a"_s : u"b"_s;
        form.PushUndo(QString());
    });
    push.note = form.CanUndo() ? "" : "NO STEP RECORDED";
    out.push_back(push);

    forms.form1->hide();
    return out;
}

// ---- Map canvas ----------------------------------------------------------------------------

// The canvas as the form composes it on every change: every destination and island placed, the
// route to destination 30 shown and highlighted.
std::vector<Figure> benchPainter()
{
    const MapDocument doc = sampleMap();
    QImage picture(960, 435, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x / 4, 120 + y / 4, (x + y) % 256));
    QImage buffer(picture.size(), QImage::Format_RGB32);

    MapView view;
    view.showCurrent = true;
    view.selectedRow = 30;
    view.highlight = true;
    const QFontMetrics metrics(view.labelFont);
    view.labelHalfWidth = metrics.horizontalAdvance(MapGeometry::IslandLabelText(1)) / 2;
    view.labelHalfHeight = metrics.height() / 2;

    int placed = 0;
    for (const MapDocument::Row& row : doc.rows)
        placed += MapGeometry::parsePosition(row[MapDocument::Position]).has_value();
    for (const QString& island : doc.islands)
        placed += MapGeometry::parsePosition(island).has_value();
    const std::string note = placed == MapDocument::DestinationCount + MapDocument::IslandCount
                                 ? "960x435"
                                 : "ONLY " + std::to_string(placed) + " OF 65 PLACED";
    return {measure("MapPainter::paint (62 points, 3 labels)",
                    [&] { MapPainter::paint(buffer, picture, doc, view); }, note)};
}

// ---- Map pictures ---------------------------------------------------------------------------

// What opening a map or undoing a picture step costs: reading a map picture and checking its size.
std::vector<Figure> benchMapPictures()
{
    QImage picture(960, 435, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x / 4, 120 + y / 4, (x * y) % 256));
    QTemporaryDir dir;
    std::vector<Figure> out;
    for (const char* name : {"map.jpg", "map.bmp"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        PictureFile::save(path, picture, JpegPicture::DefaultQuality);
        QImage loaded;
        bool ok = true;
        Figure f = measure(std::string("MapPictures::LoadPictureChecked 960x435 ") + (name[4] == 'j' ? "JPEG" : "BMP"),
                           [&] { ok &= MapPictures::LoadPictureChecked(MapPictures::MapKind, path, &loaded); });
        f.note = ok ? std::to_string(QFileInfo(path).size()) + " bytes" : "NOT LOADED";
        out.push_back(f);
    }
    return out;
}

// ---- Story preview --------------------------------------------------------------------------

// One tick of the arrival scene: the picture, six walkers, the guest and a balloon composed into
// the stage picture (frame 10, which has all of them).
std::vector<Figure> benchCity()
{
    TFormCity city;
    city.imCityHaikei = QImage(400, 225, QImage::Format_RGB32);
    for (int y = 0; y < 225; ++y)
        for (int x = 0; x < 400; ++x)
            city.imCityHaikei.setPixel(x, y, qRgb(x / 2, 100 + y / 3, (x + y) % 256));
    city.SpeechText1 = u"♪ようこそ、港町へ♪"_s;
    city.SpeechText2 = u"♪ゆっくりしていってね♪"_s;
    city.FormShow();
    city.Timer1->stop();
    return {measure(
        "TFormCity::ComposeFrame (frame 10)", [&] { city.ComposeFrame(10); }, "400x225")};
}

// Descriptions rendered into the preview's description box and shown, with their tags in one long
// paragraph, nested, or spread over lines.
std::vector<Figure> benchPreviewDescription()
{
    TFormCity city;
    city.show();
    city.memoCity->show();
    const auto pairs = [](int n, const QString& between) {
        QString text;
        for (int i = 0; i < n; ++i)
            text += u"<r>赤い</r>文字と<b>太い</b>字"_s + between;
        return text;
    };
    QString redWords;
    for (int i = 0; Cp932::byteLength(redWords) < 7500; ++i)
        redWords += (i % 3 == 0 ? u"<r>赤</r>"_s : u"地の文です。"_s);
    QString nested;
    for (int i = 0; i < 3000; ++i)
        nested += u"<w>白"_s;
    for (int i = 0; i < 3000; ++i)
        nested += u"</w>"_s;
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"preview description, 7.5 KB paragraph, red words", redWords},
        {"preview description, 1,000 tag pairs, one paragraph", pairs(500, QString())},
        {"preview description, 3,000 tag pairs, one paragraph", pairs(1500, QString())},
        {"preview description, 3,000 tag pairs, a line each", pairs(1500, u"\n"_s)},
        {"preview description, 3,000 nested <w>", nested},
    };
    std::vector<Figure> out;
    for (const auto& c : cases) {
        out.push_back(measure(
            c.name,
            [&] {
                DescriptionRenderer::render(c.text, *city.memoCity->document());
                city.memoCity->repaint();
            },
            std::to_string(Cp932::byteLength(c.text)) + " bytes", 5, 50));
    }
    return out;
}

// ---- Start-up ------------------------------------------------------------------------------

// The child is given the program folder, so that the map installed in it is the one it opens.
std::vector<Figure> benchStartup(int runs, const QString& label, bool withMap)
{
    QTemporaryDir folder;
    const QString programFolder = folder.path() + u'/';
    QStringList arguments{u"--folder"_s, programFolder};
    if (withMap)
        arguments << installSampleMap(programFolder);
    return startupFigures(runs, label, arguments, StartupRows::EveryPhase);
}

const char* const Usage = "usage: bench_atlas [--only-startup] [--startup-runs N]\n"
                          "       bench_atlas --startup [--folder PROGRAMFOLDER] [MAPFILE]   (one start-up)\n";

} // namespace

int main(int argc, char** argv)
{
    markMainStart();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    const StartupOptions options = readStartupOptions(argc, argv, Usage, [&](const QStringList& rest) {
        QString folder, map;
        for (qsizetype j = 0; j < rest.size(); ++j) {
            if (rest[j] == u"--folder"_s && j + 1 < rest.size())
                folder = rest[++j];
            else
                map = rest[j];
        }
        return runStartupOnce(argc, argv, ApplicationName, folder, [&map] {
            auto forms = std::make_shared<AtlasForms>();
            forms->create(map.isEmpty() ? QStringList() : QStringList{map});
            // The main window's pointer keeps all nine forms alive.
            return std::shared_ptr<QWidget>(forms, forms->form1.get());
        });
    });
    if (options.exitCode)
        return *options.exitCode;

    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationName);
    std::printf("platform: %s\n\n", qPrintable(QGuiApplication::platformName()));

    std::vector<Figure> figures;
    if (!options.onlyStartup) {
        for (Figure& f : benchMapFile())
            figures.push_back(std::move(f));
        for (Figure& f : benchForm())
            figures.push_back(std::move(f));
        for (Figure& f : benchPainter())
            figures.push_back(std::move(f));
        for (Figure& f : benchMapPictures())
            figures.push_back(std::move(f));
        for (Figure& f : benchCity())
            figures.push_back(std::move(f));
        for (Figure& f : benchPreviewDescription())
            figures.push_back(std::move(f));
    }
    for (Figure& f : benchStartup(options.runs, QString(), false))
        figures.push_back(std::move(f));
    for (Figure& f : benchStartup(options.runs, u" with bench.map"_s, true))
        figures.push_back(std::move(f));
    printTable(figures);
    return 0;
}
