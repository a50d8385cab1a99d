#pragma once

#include "ColourText.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QString>
#include <array>
#include <memory>
#include <vector>

// One shape of the picture document. The canvas is always rebuilt from the background and the
// list of these, so the fields keep their places in the undo snapshots even where nothing reads
// them yet (the snapshots are compared byte for byte).
struct ShapeRecord {
    qint32 ShapeType = 0;
    qint32 PenMode = 0;
    quint8 FreeForm = 0;
    quint8 ReservedFlag = 0;
    ColourText::TColor PenColor = 0, AltColor = 0, BrushColor = 0;
    qint32 LineKind = 0, LineWidth = 0, Curvature = 0, ScaleKind = 0, Reserved = 0;
    std::array<QPoint, 12> Anchors{};
    QPoint RefPoint;
    std::array<QPoint, 4> Extremes{}; // leftmost, topmost, rightmost, bottommost
    std::array<qint32, 4> Margins{};  // left, top, right, bottom
    QString FontName, StampFileName;
    std::vector<QPoint> Points;
    QImage StampPicture; // type 51 only
    bool Selected = false;

    // Anchors 6 to 11 repeat 0 to 5.
    void copyAnchors();
};

using ShapeRecordList = std::vector<std::unique_ptr<ShapeRecord>>;

namespace Shapes {

constexpr qint32 Rectangle = 11, Ellipse = 12, Line = 14, Pen = 17, Fill = 23, RangeOutline = 31, Stamp = 51;
// Pure white: the canvas's transparent colour, and the eraser's.
constexpr ColourText::TColor TransparentWhite = 0xFFFFFF;
// The smallest record in a snapshot: everything up to and including the two string lengths.
constexpr int FixedRecordSize = 202;

// A picture stamp with its top-left at a canvas point. A stamp in any colour but transparent white
// lets its white pixels show what lies beneath; one in transparent white covers with them.
std::unique_ptr<ShapeRecord> makeStamp(const QImage& picture, QPoint at, ColourText::TColor penColor,
                                       const QString& fileName = QString());

// The point used for picking and range tests.
QPoint ShapeRefPoint(const ShapeRecord& record);

// The picture's bytes in the BMP stream of a snapshot, without writing them.
qint32 StampStreamSize(const QImage& picture);

// An equal picture already held by a record or a snapshot, or this one, from now on the one
// every equal stamp shares: a full-canvas eraser stamped thirty times costs one picture.
QImage shareStamp(const QImage& picture);
// Lets go of the pictures no record or snapshot holds any more.
void dropUnsharedStamps();

// A stamp's picture left out of snapshot bytes: where it belongs and what it is.
struct StampRef {
    qsizetype offset = 0;
    QImage picture;
};

// Appends one record in the snapshot layout, little-endian, offsets added to every coordinate
// except the margins. With `stamps`, a stamp's picture bytes are left out (its length stays) and
// the picture is listed there instead.
void WriteShapeRecord(QByteArray& out, const ShapeRecord& record, int dx = 0, int dy = 0,
                      std::vector<StampRef>* stamps = nullptr);

// Reads snapshot bytes from a position on. Every length and count is checked against the size the
// snapshot declares and against the bytes there are. Positions count as if the pictures left
// out of the bytes (taken from `stamps`, in order) were there.
class SnapshotReader {
public:
    SnapshotReader(const QByteArray& bytes, qint64 declaredSize, const std::vector<StampRef>* stamps = nullptr)
        : m_bytes(bytes)
        , m_declared(declaredSize)
        , m_stamps(stamps)
    {
    }
    bool readI32(qint32& value);
    bool readU8(quint8& value);
    bool readPoint(QPoint& value);
    // Bytes of a variable part, refused when they would run past the declared size or the end.
    bool readPart(qint32 length, QByteArray& part);
    bool readStamp(qint32 length, QImage& picture);
    qint64 position() const { return m_pos; }
    void setPosition(qint64 pos) { m_pos = pos; }

private:
    qint64 logical(qint64 pos) const { return pos + m_skipped; }

    const QByteArray& m_bytes;
    qint64 m_declared;
    const std::vector<StampRef>* m_stamps;
    size_t m_nextStamp = 0;
    qint64 m_pos = 0, m_skipped = 0;
};

// Reads one record; false when it is cut short or its parts do not fit the declared size.
bool ReadShapeRecord(SnapshotReader& in, ShapeRecord& record);

} // namespace Shapes
