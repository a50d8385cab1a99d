#include "PictureRenamer.h"

#include "FileOps.h"
#include "MapFolders.h"

#include <QFileInfo>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Extensions are lower-cased so that the fixed names are the same on every file system.
QString extensionOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? QString() : u'.' + suffix.toLower();
}

QString twoDigits(int n) { return u"%1"_s.arg(n, 2, 10, QLatin1Char('0')); }

bool sameFile(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

PictureRenamer::PictureRenamer(const QString& pictureFolder, const MapDocument& doc,
                               const QString& mapPicturePath)
    : m_folder(pictureFolder), m_doc(doc), m_mapPicturePath(mapPicturePath)
{
}

QString& PictureRenamer::cell(const Move& m)
{
    return m.treasure ? m_doc.treasures[m.index] : m_doc.rows[m.index][MapDocument::Picture];
}

bool PictureRenamer::run()
{
    const MapDocument before = m_doc;
    std::vector<Move> moves;

    // Pass 1 plan: every picture that exists gets a temporary name; every picture cell is emptied.
    for (int n = 0; n < MapDocument::DestinationCount; ++n) {
        QString& c = m_doc.rows[n][MapDocument::Picture];
        const QString source = MapFolders::resolvePicturePath(m_folder, c, true);
        c.clear();
        if (!source.isEmpty())
            moves.push_back({false, n, source, u"temp2_"_s + twoDigits(n) + extensionOf(source), {}});
    }
    int rare = 0;
    for (int r = 0; r < MapDocument::TreasureCount; ++r) {
        QString& c = m_doc.treasures[r];
        const QString source = MapFolders::resolvePicturePath(m_folder, c, true);
        c.clear();
        if (source.isEmpty())
            continue;
        const QString ext = extensionOf(source);
        // The rare treasures close ranks: the k-th one found becomes "r0k" in row k + 2.
        Move m{true, r, source, u"temp3_"_s + twoDigits(r + 1) + ext, {}};
        if (r < 2) {
            m.target = u"t0"_s + QString::number(r + 1) + ext;
        } else {
            ++rare;
            m.index = rare + 1;
            m.target = u"r"_s + twoDigits(rare) + ext;
        }
        moves.push_back(m);
    }
    for (Move& m : moves)
        if (!m.treasure)
            m.target = twoDigits(m.index) + extensionOf(m.source);

    // Pass 1: only these copies are taken up by pass 2, so files that an interrupted earlier
    // save left under temporary names are never mistaken for pictures of this map.
    for (size_t i = 0; i < moves.size(); ++i) {
        QString why;
        if (!FileOps::copyFile(moves[i].source, path(moves[i].temp), &why)) {
            m_error = u"画像ファイルをコピーできませんでした。\r\n%1\r\n%2"_s.arg(moves[i].source, why);
            for (size_t j = 0; j < i; ++j)
                FileOps::deleteFile(path(moves[j].temp));
            m_doc = before;
            return false;
        }
    }

    // From here on a cell names the temporary copy until the picture reaches its fixed name, so a
    // failure part way still leaves every cell naming the right picture.
    for (const Move& m : moves)
        cell(m) = m.temp;
    for (const Move& m : moves) {
        QString why;
        if (!FileOps::copyFile(path(m.temp), path(m.target), &why)) {
            m_error = u"画像ファイルの名前を変更できませんでした。\r\n%1\r\n%2"_s.arg(path(m.target), why);
            m_namesChanged = m_doc != before;
            return false;
        }
        cell(m) = m.target;
        FileOps::deleteFile(path(m.temp));
    }

    if (!m_mapPicturePath.isEmpty()) {
        if (!QFileInfo(m_mapPicturePath).isFile()) {
            m_mapPicturePath.clear();
        } else {
            const QString target = path(u"map"_s + extensionOf(m_mapPicturePath));
            QString why;
            if (!sameFile(m_mapPicturePath, target) && !FileOps::copyFile(m_mapPicturePath, target, &why)) {
                m_error = u"地図画像をコピーできませんでした。\r\n%1\r\n%2"_s.arg(target, why);
                m_namesChanged = m_doc != before;
                return false;
            }
            m_mapPicturePath = target;
        }
    }
    m_namesChanged = m_doc != before;
    return true;
}
