#include "PictureDocument.h"

#include "BmpPicture.h"

#include <QPainter>
#include <QtEndian>

#include <algorithm>
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

namespace {

// What a re-render draws first, for a document's or a snapshot's state alike.
const QImage& drawnFirstFrom(const QImage& baked, bool backgroundCleared, const QImage& backgroundPicture)
{
    static const QImage none;
    if (!baked.isNull())
        return baked;
    return backgroundCleared ? none : backgroundPicture;
}

} // namespace

const QImage& PictureDocument::drawnFirst() const
{
    return drawnFirstFrom(BakedBackground, BackgroundCleared, BackgroundPicture);
}

QImage drawnFirstOf(const CanvasSnapshot& snapshot, const QImage& backgroundPicture)
{
    return drawnFirstFrom(snapshot.baked, snapshot.backgroundCleared, backgroundPicture);
}

bool PictureDocument::SetCanvasSize(QSize size) {
    if (size.width() < 1 || size.height() < 1) return false;
    const QImage& first = drawnFirst();
    if (!first.isNull() && first.size() == size && first.format() == QImage::Format_RGB32) {
        CanvasBitmap = first;
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
    const QImage& first = drawnFirst();
    if (!first.isNull() && first.size() == CanvasBitmap.size() && first.format() == QImage::Format_RGB32) {
        CanvasBitmap = first;
    } else {
        ClearCanvas();
        if (!first.isNull()) {
            QPainter p(&CanvasBitmap);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(0, 0, first);
        }
    }
    for (const auto& record : ShapeList)
        if (!leaveOutSelected || !record->Selected)
            Shapes::RenderShape(CanvasBitmap, *record, Style);
}

void PictureDocument::FreeShapeList() {
    ShapeList.clear();
    // Baked records are records too.
    BakedBackground = QImage();
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
    snap.baked = BakedBackground;
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
                  ShapeRecordList& list, std::vector<qsizetype>* recordEnds)
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
    if (recordEnds)
        recordEnds->clear();
    for (qint32 i = 0; i < count; ++i) {
        auto record = std::make_unique<ShapeRecord>();
        if (!Shapes::ReadShapeRecord(records, *record))
            return false;
        list.push_back(std::move(record));
        if (recordEnds)
            recordEnds->push_back(qsizetype(records.position()));
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
    BakedBackground = snapshot.baked;
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
    // The whole layout: every record there is, over the background picture alone.
    BackgroundCleared = false;
    BakedBackground = QImage();
    if (size.width() < 1 || size.height() < 1 || size == CanvasBitmap.size() || !SetCanvasSize(size))
        RerenderCanvas();
    return true;
}

bool CanvasSnapshot::operator==(const CanvasSnapshot& other) const
{
    if (bytes != other.bytes || stamps.size() != other.stamps.size() || backgroundCleared != other.backgroundCleared
        || !(baked == other.baked))
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

void PictureDocument::BakeLeading(int count)
{
    count = std::clamp(count, 0, int(ShapeList.size()));
    if (count == 0)
        return;
    const QImage& first = drawnFirst();
    QImage baked(CanvasBitmap.size(), QImage::Format_RGB32);
    if (baked.isNull())
        return;
    baked.fill(PureWhite);
    if (!first.isNull()) {
        QPainter p(&baked);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, first);
    }
    for (int i = 0; i < count; ++i)
        Shapes::RenderShape(baked, *ShapeList[size_t(i)], Style);
    BakedBackground = std::move(baked);
    ShapeList.erase(ShapeList.begin(), ShapeList.begin() + count);
}

namespace {

// Where each record of a snapshot ends in its bytes, and the canvas size it holds; false when it
// cannot be read.
bool recordEnds(const CanvasSnapshot& snapshot, std::vector<qsizetype>& ends, QSize& size)
{
    ShapeRecordList list;
    return ReadSnapshot(snapshot.bytes, &snapshot.stamps, size, list, &ends);
}

constexpr qsizetype HeaderSize = 16;

// How many leading records two snapshots have alike, as far as `limit`.
int leadingAlike(const CanvasSnapshot& a, const std::vector<qsizetype>& aEnds, const CanvasSnapshot& b,
                 const std::vector<qsizetype>& bEnds, int limit)
{
    limit = std::min({limit, int(aEnds.size()), int(bEnds.size())});
    size_t stamp = 0;
    for (int i = 0; i < limit; ++i) {
        const qsizetype from = i == 0 ? HeaderSize : aEnds[size_t(i) - 1];
        if (aEnds[size_t(i)] != bEnds[size_t(i)]
            || QByteArrayView(a.bytes).sliced(from, aEnds[size_t(i)] - from)
                   != QByteArrayView(b.bytes).sliced(from, aEnds[size_t(i)] - from))
            return i;
        for (; stamp < a.stamps.size() && a.stamps[stamp].offset <= aEnds[size_t(i)]; ++stamp)
            if (stamp >= b.stamps.size() || b.stamps[stamp].offset != a.stamps[stamp].offset
                || !(b.stamps[stamp].picture == a.stamps[stamp].picture))
                return i;
        if (stamp < b.stamps.size() && b.stamps[stamp].offset <= aEnds[size_t(i)])
            return i;
    }
    return limit;
}

// The snapshot without its first `count` records, over the picture they were baked into; laid out
// as the document without them writes itself.
CanvasSnapshot withoutLeading(const CanvasSnapshot& s, const std::vector<qsizetype>& ends, QSize size, int count,
                              const QImage& baked)
{
    CanvasSnapshot out;
    const qsizetype cut = ends[size_t(count) - 1];
    writeHeader(out.bytes, size, qsizetype(ends.size()) - count);
    out.bytes.append(QByteArrayView(s.bytes).sliced(cut));
    qint64 pictures = 0;
    for (const Shapes::StampRef& ref : s.stamps)
        if (ref.offset > cut) {
            out.stamps.push_back({ref.offset - cut + HeaderSize, ref.picture});
            pictures += Shapes::StampStreamSize(ref.picture);
        }
    putI32At(out.bytes, 0, qint32(out.bytes.size() + pictures));
    out.backgroundCleared = s.backgroundCleared;
    out.baked = baked;
    return out;
}

} // namespace

int CanvasUndo::BakeUnreachable(PictureDocument& doc)
{
    // While the ring still holds every step since the history began, nothing has gone out of reach.
    if (m_ring.last() - m_ring.first() < SlotCount - 1)
        return 0;
    // A copy: the ring's own is rewritten below, before the baseline is compared with it.
    const CanvasSnapshot current = m_ring.currentState();
    std::vector<qsizetype> currentEnds;
    QSize size;
    if (!recordEnds(current, currentEnds, size) || currentEnds.empty())
        return 0;
    // Baked at one size over one picture, so only what every step draws alike, from the same start.
    const QImage first = drawnFirstOf(current, doc.BackgroundPicture);
    if (size != doc.canvasSize() || !(first == doc.drawnFirst()))
        return 0;
    std::vector<std::vector<qsizetype>> ends(size_t(m_ring.last() - m_ring.first() + 1));
    int count = int(currentEnds.size());
    for (qint64 p = m_ring.first(); p <= m_ring.last() && count > 0; ++p) {
        const CanvasSnapshot& state = m_ring.at(p);
        std::vector<qsizetype>& stateEnds = ends[size_t(p - m_ring.first())];
        QSize stateSize;
        if (!recordEnds(state, stateEnds, stateSize) || stateSize != size
            || !(drawnFirstOf(state, doc.BackgroundPicture) == first))
            return 0;
        count = leadingAlike(current, currentEnds, state, stateEnds, count);
    }
    // The document shows the current step, whose records it holds.
    if (count == 0 || !(doc.Snapshot() == current))
        return 0;
    doc.BakeLeading(count);
    if (doc.BakedBackground.isNull() || doc.ShapeList.size() != currentEnds.size() - size_t(count))
        return 0;
    const QImage baked = doc.BakedBackground;
    for (qint64 p = m_ring.first(); p <= m_ring.last(); ++p)
        m_ring.at(p) = withoutLeading(m_ring.at(p), ends[size_t(p - m_ring.first())], size, count, baked);
    // A baseline that begins alike can still be met again (undoing to an equal step); one that does
    // not can only be met by a step over its own start, which it keeps.
    std::vector<qsizetype> savedEnds;
    QSize savedSize;
    if (recordEnds(SavedSnapshot, savedEnds, savedSize) && savedSize == size
        && drawnFirstOf(SavedSnapshot, doc.BackgroundPicture) == first
        && leadingAlike(current, currentEnds, SavedSnapshot, savedEnds, count) == count)
        SavedSnapshot = withoutLeading(SavedSnapshot, savedEnds, size, count, baked);
    Shapes::dropUnsharedStamps();
    return count;
}
