#include "ShapeRecord.h"

#include "BmpPicture.h"
#include "Cp932.h"

#include <QPainter>
#include <QPolygon>
#include <QtEndian>

#include <algorithm>
#include <cmath>

void ShapeRecord::copyAnchors() {
    for (int i = 0; i < 6; ++i)
        Anchors[size_t(i) + 6] = Anchors[size_t(i)];
}

namespace Shapes {

namespace {

void putI32(QByteArray& out, qint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void putPoint(QByteArray& out, QPoint p, int dx, int dy) {
    putI32(out, p.x() + dx);
    putI32(out, p.y() + dy);
}

void putString(QByteArray& out, const QString& s) {
    const QByteArray bytes = Cp932::encode(s);
    putI32(out, qint32(bytes.size()));
    out.append(bytes);
}

bool carriesPoints(const ShapeRecord& r) {
    return r.ShapeType == Pen || r.ShapeType == Fill || r.FreeForm;
}

// The order in which the twelve anchors are stored.
constexpr int AnchorOrder[12] = {0, 3, 1, 4, 2, 5, 6, 9, 7, 10, 8, 11};

qint32 toRoundAway(double x) {
    return qint32(x >= 0 ? std::trunc(x + 0.9) : std::trunc(x - 0.9));
}

} // namespace

std::unique_ptr<ShapeRecord> makeStamp(const QImage& picture, QPoint at, ColourText::TColor penColor,
                                       const QString& fileName) {
    auto r = std::make_unique<ShapeRecord>();
    r->ShapeType = Stamp;
    r->PenMode = 4;
    r->PenColor = r->AltColor = r->BrushColor = penColor;
    r->Anchors[0] = at;
    r->Anchors[3] = at;
    r->copyAnchors();
    r->StampPicture = shareStamp(picture.convertToFormat(QImage::Format_RGB32));
    r->StampFileName = fileName;
    r->Extremes = {at, at, at + QPoint(picture.width(), picture.height()),
                   at + QPoint(picture.width(), picture.height())};
    r->RefPoint = ShapeRefPoint(*r);
    return r;
}

QPoint ShapeRefPoint(const ShapeRecord& r) {
    switch (r.ShapeType) {
    case Line:
    case Pen:
        return r.Anchors[0];
    case Stamp:
        return r.Anchors[3] + QPoint(r.StampPicture.width() / 2, r.StampPicture.height() / 2);
    case Rectangle:
    case Ellipse:
    case Fill:
        return {toRoundAway((r.Anchors[0].x() + r.Anchors[3].x()) / 2.0),
                toRoundAway((r.Anchors[0].y() + r.Anchors[3].y()) / 2.0)};
    default:
        return {};
    }
}

qint32 StampStreamSize(const QImage& picture)
{
    if (picture.isNull())
        return 0;
    const qint64 stride = (qint64(picture.width()) * 3 + 3) / 4 * 4;
    return qint32(54 + stride * picture.height());
}

namespace {

std::vector<QImage>& stampPool()
{
    static std::vector<QImage> pool;
    return pool;
}

} // namespace

void dropUnsharedStamps()
{
    std::erase_if(stampPool(), [](QImage& held) { return held.isDetached(); });
}

QImage shareStamp(const QImage& picture)
{
    // Entries only the pool still holds are dropped on the way.
    dropUnsharedStamps();
    std::vector<QImage>& pool = stampPool();
    for (const QImage& held : pool)
        if (held == picture)
            return held;
    pool.push_back(picture);
    return picture;
}

void WriteShapeRecord(QByteArray& out, const ShapeRecord& r, int dx, int dy, std::vector<StampRef>* stamps)
{
    putI32(out, r.ShapeType);
    putI32(out, r.PenMode);
    out.append(char(r.FreeForm));
    out.append(char(r.ReservedFlag));
    for (qint32 v : {r.PenColor, r.AltColor, r.BrushColor, r.LineKind, r.LineWidth, r.Curvature, r.ScaleKind,
                     r.Reserved})
        putI32(out, v);
    for (int i : AnchorOrder)
        putPoint(out, r.Anchors[size_t(i)], dx, dy);
    putPoint(out, r.RefPoint, dx, dy);
    for (const QPoint& p : r.Extremes)
        putPoint(out, p, dx, dy);
    for (qint32 m : r.Margins)
        putI32(out, m);
    putString(out, r.FontName);
    putString(out, r.StampFileName);
    if (carriesPoints(r)) {
        putI32(out, qint32(r.Points.size()));
        for (const QPoint& p : r.Points)
            putPoint(out, p, dx, dy);
    }
    if (r.ShapeType == Stamp) {
        if (stamps) {
            putI32(out, StampStreamSize(r.StampPicture));
            if (!r.StampPicture.isNull())
                stamps->push_back({out.size(), r.StampPicture});
            return;
        }
        const QByteArray bmp = r.StampPicture.isNull() ? QByteArray() : BmpPicture::write24(r.StampPicture);
        putI32(out, qint32(bmp.size()));
        out.append(bmp);
    }
}

bool SnapshotReader::readI32(qint32& value) {
    if (m_pos < 0 || m_pos + 4 > m_bytes.size()) return false;
    value = qFromLittleEndian<qint32>(m_bytes.constData() + m_pos);
    m_pos += 4;
    return true;
}

bool SnapshotReader::readU8(quint8& value) {
    if (m_pos < 0 || m_pos + 1 > m_bytes.size()) return false;
    value = quint8(m_bytes.at(m_pos));
    ++m_pos;
    return true;
}

bool SnapshotReader::readPoint(QPoint& value) {
    qint32 x = 0, y = 0;
    if (!readI32(x) || !readI32(y)) return false;
    value = QPoint(x, y);
    return true;
}

bool SnapshotReader::readPart(qint32 length, QByteArray& part) {
    if (length < 0 || m_declared < logical(m_pos) + length || m_pos + length > m_bytes.size())
        return false;
    part = m_bytes.mid(m_pos, length);
    m_pos += length;
    return true;
}

bool SnapshotReader::readStamp(qint32 length, QImage& picture)
{
    if (length == 0) {
        picture = QImage();
        return true;
    }
    if (length < 0 || m_declared < logical(m_pos) + length)
        return false;
    if (m_stamps) {
        if (m_nextStamp >= m_stamps->size())
            return false;
        const StampRef& ref = (*m_stamps)[m_nextStamp];
        if (ref.offset != m_pos || StampStreamSize(ref.picture) != length)
            return false;
        ++m_nextStamp;
        picture = ref.picture;
        m_skipped += length;
        return true;
    }
    QByteArray bmp;
    if (!readPart(length, bmp))
        return false;
    picture = BmpPicture::read(bmp).convertToFormat(QImage::Format_RGB32);
    if (picture.isNull())
        return false;
    picture = shareStamp(picture);
    return true;
}

bool ReadShapeRecord(SnapshotReader& in, ShapeRecord& r) {
    qint32 colours[8];
    if (!in.readI32(r.ShapeType) || !in.readI32(r.PenMode) || !in.readU8(r.FreeForm) ||
        !in.readU8(r.ReservedFlag))
        return false;
    for (qint32& v : colours)
        if (!in.readI32(v)) return false;
    r.PenColor = colours[0];
    r.AltColor = colours[1];
    r.BrushColor = colours[2];
    r.LineKind = colours[3];
    r.LineWidth = colours[4];
    r.Curvature = colours[5];
    r.ScaleKind = colours[6];
    r.Reserved = colours[7];
    for (int i : AnchorOrder)
        if (!in.readPoint(r.Anchors[size_t(i)])) return false;
    if (!in.readPoint(r.RefPoint)) return false;
    for (QPoint& p : r.Extremes)
        if (!in.readPoint(p)) return false;
    for (qint32& m : r.Margins)
        if (!in.readI32(m)) return false;

    qint32 length = 0;
    QByteArray part;
    if (!in.readI32(length) || !in.readPart(length, part)) return false;
    r.FontName = Cp932::decode(part);
    if (!in.readI32(length) || !in.readPart(length, part)) return false;
    r.StampFileName = Cp932::decode(part);

    if (carriesPoints(r)) {
        qint32 count = 0;
        if (!in.readI32(count) || count < 0 || qint64(count) * 8 > INT32_MAX || !in.readPart(count * 8, part))
            return false;
        r.Points.resize(size_t(count));
        for (qint32 i = 0; i < count; ++i)
            r.Points[size_t(i)] = QPoint(qFromLittleEndian<qint32>(part.constData() + 8 * i),
                                         qFromLittleEndian<qint32>(part.constData() + 8 * i + 4));
    }
    if (r.ShapeType == Stamp)
        if (!in.readI32(length) || !in.readStamp(length, r.StampPicture))
            return false;
    r.Selected = false;
    return true;
}

} // namespace Shapes
