#pragma once

#include "ShapeRecord.h"
#include "UndoRing.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

// The picture being edited: an optional background picture and the ordered shape list, from
// which the canvas is always rebuilt. The canvas is 24-bit (Format_RGB32); pure white on it is
// the transparent white.
class PictureDocument {
public:
    PictureDocument();

    QImage CanvasBitmap;
    QImage BackgroundPicture; // null: none (a new picture)
    ShapeRecordList ShapeList;

    QSize canvasSize() const { return CanvasBitmap.size(); }
    bool hasBackground() const { return !BackgroundPicture.isNull(); }
    bool isEmpty() const { return ShapeList.empty() && !hasBackground(); }

    // A new canvas of that size, rebuilt from the document; false (canvas unchanged) when a
    // canvas that large cannot be had.
    bool SetCanvasSize(QSize size);
    // All of the canvas becomes transparent white.
    void ClearCanvas();
    // Background, then every record in order, on a cleared canvas.
    void RerenderCanvas();
    void FreeShapeList();
    // Appends a record and draws it onto the canvas as it stands.
    ShapeRecord& CommitShape(std::unique_ptr<ShapeRecord> record);

    // The document as an undo snapshot: total size, canvas width and height, record count, the
    // records. The size is the canvas's own, which may exceed what the size boxes allow.
    QByteArray Snapshot() const;
    // The shape list and canvas size from a snapshot, then a re-render. A damaged record stops the
    // reading (false); the records before it and the size stay.
    bool RestoreSnapshot(const QByteArray& snapshot);
};

// The snapshot that starts an empty ring: 0, width, height, 0 (its size field is 0, so the first
// push after it always records).
QByteArray ResetSnapshot(QSize canvasSize);

// White enclosed by the picture becomes the opaque white; white (and opaque white) connected to
// the border stays or becomes transparent white.
void ConvertInnerWhite(QImage& picture, QRgb opaqueWhite);

// The canvas as it is saved: every pixel of the second near-white turned into pure white.
QImage WithSecondWhiteAsWhite(const QImage& canvas, QRgb secondWhite);

// The canvas undo ring (31 slots, 30 steps back) and the baseline of the changed test.
class CanvasUndo {
public:
    static constexpr int SlotCount = 31;

    void Reset(QSize canvasSize) { m_ring.reset(ResetSnapshot(canvasSize)); }
    // Records a snapshot unless it equals the current one; true when it recorded.
    bool Push(const QByteArray& snapshot);
    bool CanUndo() const { return m_ring.canUndo(); }
    bool CanRedo() const { return m_ring.canRedo(); }
    bool Undo() { return m_ring.undo(); }
    bool Redo() { return m_ring.redo(); }
    const QByteArray& Current() const { return m_ring.currentState(); }
    const UndoRing<QByteArray>& ring() const { return m_ring; }

    QByteArray SavedSnapshot;
    void StoreBaseline(const QByteArray& snapshot) { SavedSnapshot = snapshot; }
    bool IsChanged(const QByteArray& snapshot) const { return snapshot != SavedSnapshot; }

private:
    UndoRing<QByteArray> m_ring{SlotCount};
};
