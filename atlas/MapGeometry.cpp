#include "MapGeometry.h"

using namespace Qt::StringLiterals;

namespace MapGeometry {

namespace {

// The n-th piece as a view: painting parses every position on every repaint, so no allocations.
std::optional<QStringView> piece(QChar separator, QStringView text, int n)
{
    if (text.isEmpty() || n < 0)
        return std::nullopt;
    qsizetype from = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype at = text.indexOf(separator, from);
        if (at < 0)
            return std::nullopt;
        from = at + 1;
    }
    const qsizetype end = text.indexOf(separator, from);
    return text.sliced(from, (end < 0 ? text.size() : end) - from);
}

std::optional<int> decimal(std::optional<QStringView> text)
{
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int value = text->trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// Wide enough that boxes around positions near the int limits cannot overflow.
bool inBox(qint64 v, qint64 from, qint64 to) { return from <= v && v < to; }

} // namespace

QString PickCommaField(QChar separator, const QString& text, int n)
{
    const std::optional<QStringView> p = piece(separator, text, n);
    return p ? p->toString() : QString();
}

std::optional<QPoint> parsePosition(const QString& text)
{
    // A third piece is ignored, as the original read only the first two.
    const std::optional<int> x = decimal(piece(u',', text, 0));
    const std::optional<int> y = decimal(piece(u',', text, 1));
    if (!x || !y)
        return std::nullopt;
    return QPoint(*x, *y);
}

QString positionText(int x, int y) { return QString::number(x) + u',' + QString::number(y); }

QString IslandLabelText(int n)
{
    static constexpr char16_t Digits[] = u"１２３";
    const QChar digit = n >= 1 && n <= 3 ? QChar(Digits[n - 1]) : QChar(u'？');
    return u"■"_s + digit + u"位のプレイヤーの島■"_s;
}

int hitIsland(const MapDocument& doc, QPoint p, int labelHalfWidth, int labelHalfHeight)
{
    for (int j = 0; j < MapDocument::IslandCount; ++j) {
        const std::optional<QPoint> at = parsePosition(doc.islands[j]);
        if (at && inBox(p.x(), at->x(), at->x() + 2 * qint64(labelHalfWidth))
            && inBox(p.y(), at->y(), at->y() + 2 * qint64(labelHalfHeight)))
            return j;
    }
    return -1;
}

int hitPoint(const MapDocument& doc, QPoint p)
{
    for (int r = 0; r < MapDocument::DestinationCount; ++r) {
        const std::optional<QPoint> at = parsePosition(doc.rows[r][MapDocument::Position]);
        if (at && inBox(p.x(), qint64(at->x()) - PointBefore, qint64(at->x()) + PointAfter)
            && inBox(p.y(), qint64(at->y()) - PointBefore, qint64(at->y()) + PointAfter))
            return r;
    }
    return -1;
}

} // namespace MapGeometry
