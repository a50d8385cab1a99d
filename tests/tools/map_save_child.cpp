// Saves a map once, as the map editor does, for a test that kills it part way: the map file's
// destinations are turned round by one row (every picture changes its fixed name) and saved over
// the same path, once a line arrives on standard input (so that start-up is not part of the
// moments the test picks). Usage: map_save_child <map file> <picture folder>
// As a second map editor holding a map: map_save_child --hold <program folder> <picture folder>
// says "held" or "busy" and keeps what it holds until a line arrives or its input closes.
#include "MapFile.h"
#include "MapFolders.h"
#include "MapSave.h"
#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QStringLiteral("--hold")) {
        ProgramFolder::setOverride(args.at(2));
        const MapFolders::MapLock lock(args.at(3));
        std::fputs(lock.held() ? "held\n" : "busy\n", stdout);
        std::fflush(stdout);
        char line[8];
        [[maybe_unused]] const char* ignored = std::fgets(line, sizeof line, stdin);
        return 0;
    }
    if (args.size() != 3)
        return 2;
    QFile file(args.at(1));
    if (!file.open(QIODevice::ReadOnly))
        return 3;
    const auto content = MapFile::parse(file.readAll(), nullptr);
    if (!content)
        return 4;
    MapDocument doc;
    for (int n = 0; n < MapDocument::DestinationCount; ++n) {
        const QStringList& items = content->rows[(n + 1) % MapDocument::DestinationCount];
        for (int i = 0; i < MapDocument::ColumnCount && i < items.size(); ++i)
            doc.rows[n][i] = items.at(i);
    }
    for (int t = 0; t < MapDocument::TreasureCount && t < content->treasureLines.size(); ++t)
        doc.treasures[t] = content->treasureLines.at(t);

    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    char go[8];
    if (!std::fgets(go, sizeof go, stdin))
        return 5;

    MapSave::Request request;
    request.mapPath = args.at(1);
    request.pictureFolder = args.at(2);
    request.newFolder = args.at(2);
    request.doc = doc;
    request.mapPicturePath =
        content->mapPictureName.isEmpty() ? QString() : args.at(2) + u'/' + content->mapPictureName;
    request.bytes = [](const MapDocument& d, const QString& name) { return MapFile::write(d, name); };
    return MapSave::save(request).ok ? 0 : 1;
}
