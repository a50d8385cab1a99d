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

// Draws one record onto the canvas (24-bit, transparent white as its clear colour). Picture
// stamps are drawn; other kinds are left to the drawing tools.
void RenderShape(QImage& canvas, const ShapeRecord& record);

// Appends one record in the snapshot layout, little-endian, offsets added to every coordinate
// except the margins.
void WriteShapeRecord(QByteArray& out, const ShapeRecord& record, int dx = 0, int dy = 0);

// Reads snapshot bytes from a position on. Every variable part is checked against the size the
// snapshot declares, every fixed part against the bytes there are.
class SnapshotReader {
public:
    SnapshotReader(const QByteArray& bytes, qint64 declaredSize) : m_bytes(bytes), m_declared(declaredSize) {}
    bool readI32(qint32& value);
    bool readU8(quint8& value);
    bool readPoint(QPoint& value);
    // Bytes of a variable part, refused when they would run past the declared size.
    bool readPart(qint32 length, QByteArray& part);
    qint64 position() const { return m_pos; }
    void setPosition(qint64 pos) { m_pos = pos; }

private:
    const QByteArray& m_bytes;
    qint64 m_declared;
    qint64 m_pos = 0;
};

// Reads one record; false when it is cut short or its parts do not fit the declared size.
bool ReadShapeRecord(SnapshotReader& in, ShapeRecord& record);

} // namespace Shapes
