#include "PictureDocument.h"

#include "BmpPicture.h"

#include <QPainter>
#include <QtEndian>

#include <vector>

namespace {

constexpr QRgb PureWhite = 0xFFFFFFFF;

void putI32At(QByteArray& out, qsizetype at, qint32 v) {
    qToLittleEndian(v, out.data() + at);
}

void putI32(QByteArray& out, qint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

} // namespace

PictureDocument::PictureDocument() {
    CanvasBitmap = QImage(600, 400, QImage::Format_RGB32);
    ClearCanvas();
}

bool PictureDocument::SetCanvasSize(QSize size) {
    if (size.width() < 1 || size.height() < 1) return false;
    if (backgroundShown() && BackgroundPicture.size() == size) {
        CanvasBitmap = BackgroundPicture;
    } else {
        QImage canvas(size, QImage::Format_RGB32);
        if (canvas.isNull())
            return false;
        // Moved, so that no second reference makes the fill below copy the fresh pixels first.
        CanvasBitmap = std::move(canvas);
    }
    RerenderCanvas();
    return true;
}

void PictureDocument::ClearCanvas() {
    // Pixels shared with the background are left to it: the canvas gets its own instead of a copy
    // it would only overwrite.
    if (!CanvasBitmap.isDetached())
        CanvasBitmap = QImage(CanvasBitmap.size(), QImage::Format_RGB32);
    CanvasBitmap.fill(PureWhite);
}

void PictureDocument::RerenderCanvas(bool leaveOutSelected) {
    if (backgroundShown() && BackgroundPicture.size() == CanvasBitmap.size()
        && BackgroundPicture.format() == QImage::Format_RGB32) {
        CanvasBitmap = BackgroundPicture;
    } else {
        ClearCanvas();
        if (backgroundShown()) {
            QPainter p(&CanvasBitmap);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(0, 0, BackgroundPicture);
        }
    }
    for (const auto& record : ShapeList)
        if (!leaveOutSelected || !record->Selected)
            Shapes::RenderShape(CanvasBitmap, *record, Style);
}

void PictureDocument::FreeShapeList() {
    ShapeList.clear();
}

ShapeRecord& PictureDocument::CommitShape(std::unique_ptr<ShapeRecord> record, bool measure)
{
    if (measure && record->ShapeType != Shapes::Fill) {
        Shapes::StoreExtents(*record, Shapes::MeasureShape(*record, Style));
    }
    ShapeList.push_back(std::move(record));
    Shapes::RenderShape(CanvasBitmap, *ShapeList.back(), Style);
    return *ShapeList.back();
}

namespace {

void writeHeader(QByteArray& out, QSize size, qsizetype count)
{
    putI32(out, 0); // the total size, written last
    putI32(out, size.width());
    putI32(out, size.height());
    putI32(out, qint32(count));
}

} // namespace

CanvasSnapshot PictureDocument::Snapshot() const
{
    CanvasSnapshot snap;
    writeHeader(snap.bytes, CanvasBitmap.size(), qsizetype(ShapeList.size()));
    qint64 left = 0;
    for (const auto& record : ShapeList)
        Shapes::WriteShapeRecord(snap.bytes, *record, 0, 0, &snap.stamps);
    for (const Shapes::StampRef& ref : snap.stamps)
        left += Shapes::StampStreamSize(ref.picture);
    putI32At(snap.bytes, 0, qint32(snap.bytes.size() + left));
    snap.backgroundCleared = BackgroundCleared;
    return snap;
}

QByteArray PictureDocument::WriteShapeList(int dx, int dy) const
{
    QByteArray out;
    writeHeader(out, CanvasBitmap.size(), qsizetype(ShapeList.size()));
    for (const auto& record : ShapeList)
        Shapes::WriteShapeRecord(out, *record, dx, dy);
    putI32At(out, 0, qint32(out.size()));
    return out;
}

bool ReadSnapshot(const QByteArray& bytes, const std::vector<Shapes::StampRef>* stamps, QSize& canvasSize,
                  ShapeRecordList& list)
{
    Shapes::SnapshotReader in(bytes, 0);
    qint32 declared = 0, width = 0, height = 0, count = 0;
    if (!in.readI32(declared) || !in.readI32(width) || !in.readI32(height) || !in.readI32(count) || count < 0)
        return false;
    Shapes::SnapshotReader records(bytes, declared, stamps);
    records.setPosition(in.position());
    list.clear();
    // Each record takes at least its fixed part, so a count the bytes cannot hold is refused at once.
    if (count > 0 && (qint64(count) * Shapes::FixedRecordSize > qint64(declared) - in.position()))
        return false;
    list.reserve(size_t(count));
    for (qint32 i = 0; i < count; ++i) {
        auto record = std::make_unique<ShapeRecord>();
        if (!Shapes::ReadShapeRecord(records, *record))
            return false;
        list.push_back(std::move(record));
    }
    canvasSize = QSize(width, height);
    return true;
}

bool PictureDocument::RestoreSnapshot(const CanvasSnapshot& snapshot)
{
    QSize size;
    ShapeRecordList list;
    if (!ReadSnapshot(snapshot.bytes, &snapshot.stamps, size, list))
        return false;
    ShapeList.swap(list);
    BackgroundCleared = snapshot.backgroundCleared;
    if (size.width() < 1 || size.height() < 1 || size == CanvasBitmap.size() || !SetCanvasSize(size))
        RerenderCanvas();
    return true;
}

bool PictureDocument::RestoreSnapshot(const QByteArray& logicalBytes)
{
    QSize size;
    ShapeRecordList list;
    if (!ReadSnapshot(logicalBytes, nullptr, size, list))
        return false;
    ShapeList.swap(list);
    BackgroundCleared = false;
    if (size.width() < 1 || size.height() < 1 || size == CanvasBitmap.size() || !SetCanvasSize(size))
        RerenderCanvas();
    return true;
}

bool CanvasSnapshot::operator==(const CanvasSnapshot& other) const
{
    if (bytes != other.bytes || stamps.size() != other.stamps.size() || backgroundCleared != other.backgroundCleared)
        return false;
    for (size_t i = 0; i < stamps.size(); ++i)
        if (stamps[i].offset != other.stamps[i].offset || !(stamps[i].picture == other.stamps[i].picture))
            return false;
    return true;
}

QByteArray CanvasSnapshot::logical() const
{
    QByteArray out;
    qsizetype from = 0;
    for (const Shapes::StampRef& ref : stamps) {
        out.append(bytes.mid(from, ref.offset - from));
        out.append(BmpPicture::write24(ref.picture));
        from = ref.offset;
    }
    out.append(bytes.mid(from));
    return out;
}

void ConvertInnerWhite(QImage& picture, QRgb opaqueWhite) {
    if (picture.isNull()) return;
    if (picture.format() != QImage::Format_RGB32) picture = picture.convertToFormat(QImage::Format_RGB32);
    const QRgb opaque = opaqueWhite | 0xFF000000;
    const int w = picture.width(), h = picture.height();
    auto at = [&](int x, int y) -> QRgb& { return reinterpret_cast<QRgb*>(picture.scanLine(y))[x]; };
    // Both whites form one surface; the part of it that reaches the border (through the margin
    // of opaque white the picture is framed in) becomes transparent, the rest opaque.
    auto isSurface = [&](QRgb c) {
        c |= 0xFF000000;
        return c == PureWhite || c == opaque;
    };

    std::vector<quint8> outside(size_t(w) * size_t(h), 0);
    std::vector<QPoint> stack;
    auto seed = [&](int x, int y) {
        quint8& seen = outside[size_t(y) * size_t(w) + size_t(x)];
        if (!seen && isSurface(at(x, y))) {
            seen = 1;
            stack.emplace_back(x, y);
        }
    };
    for (int x = 0; x < w; ++x) {
        seed(x, 0);
        seed(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        seed(0, y);
        seed(w - 1, y);
    }
    while (!stack.empty()) {
        const QPoint p = stack.back();
        stack.pop_back();
        if (p.x() > 0) seed(p.x() - 1, p.y());
        if (p.x() < w - 1) seed(p.x() + 1, p.y());
        if (p.y() > 0) seed(p.x(), p.y() - 1);
        if (p.y() < h - 1) seed(p.x(), p.y() + 1);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            QRgb& c = at(x, y);
            if (outside[size_t(y) * size_t(w) + size_t(x)])
                c = PureWhite;
            else if ((c | 0xFF000000) == PureWhite)
                c = opaque;
        }
}

QImage WithSecondWhiteAsWhite(const QImage& canvas, QRgb secondWhite) {
    QImage out = canvas.convertToFormat(QImage::Format_RGB32);
    const QRgb second = secondWhite | 0xFF000000;
    for (int y = 0; y < out.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] | 0xFF000000) == second) line[x] = PureWhite;
    }
    return out;
}

bool CanvasUndo::Push(const CanvasSnapshot& snapshot)
{
    if (snapshot == m_ring.currentState()) return false;
    m_ring.push(snapshot);
    return true;
}
