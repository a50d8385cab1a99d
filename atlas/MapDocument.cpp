#include "MapDocument.h"

using namespace Qt::StringLiterals;

const QStringList& MapDocument::columnLabels()
{
    static const QStringList labels{u"座標 (x,y)"_s,   u"タイトル１行目"_s, u"タイトル２行目"_s, u"作業用画像名"_s,
                                    u"せりふ１行目"_s, u"せりふ２行目"_s,   u"説明文"_s};
    return labels;
}

bool MapDocument::isFree(int row) const
{
    for (const QString& cell : rows[row])
        if (!cell.isEmpty())
            return false;
    return true;
}

void MapDocument::deleteRow(int row)
{
    for (int r = row; r < DestinationCount - 1; ++r)
        rows[r] = rows[r + 1];
    rows[DestinationCount - 1].fill(QString());
}

bool MapDocument::insertRow(int row)
{
    if (!isFree(DestinationCount - 1))
        return false;
    for (int r = DestinationCount - 1; r > row; --r)
        rows[r] = rows[r - 1];
    rows[row].fill(QString());
    return true;
}

void MapDocument::clearContent()
{
    for (Row& r : rows)
        r.fill(QString());
    islands.fill(QString());
    treasures.fill(QString());
}

QString destinationNumber(int index) { return u" %1"_s.arg(index, 2, 10, QLatin1Char('0')); }

QString barePictureName(const QString& cell)
{
    QString name = cell;
    name.remove(QString::fromUtf16(ChangedMarker));
    return name.trimmed();
}
