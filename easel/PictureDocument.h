#pragma once

#include "ShapeRecord.h"
#include "ShapeRender.h"
#include "UndoRing.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

// The document as an undo step: the snapshot layout with every stamp's picture held by reference
// (shared with the records) instead of as BMP bytes. Equal exactly when the full layout would be
// equal byte for byte, since equal pictures give equal BMP streams.
struct CanvasSnapshot {
    QByteArray bytes;
    std::vector<Shapes::StampRef> stamps;
    // Not in the layout: the document's BackgroundCleared and BakedBackground.
    bool backgroundCleared = false;
    QImage baked;

    bool operator==(const CanvasSnapshot& other) const;
    bool isEmpty() const { return bytes.isEmpty(); }
    // The full layout, every stamp as its BMP stream.
    QByteArray logical() const;
};

// The picture being edited: an optional background picture and the ordered shape list, from
// which the canvas is always rebuilt. The canvas is 24-bit (Format_RGB32); pure white on it is
// the transparent white.
class PictureDocument {
public:
    PictureDocument();

    // Shares the background's pixels while nothing else is drawn on it (an opened picture costs
    // one copy of its pixels, not two); a drawing gives it pixels of its own.
    QImage CanvasBitmap;
    QImage BackgroundPicture; // null: none (a new picture)
    // Clear all leaves the background out of the canvas until the canvas changes size, when it is
    // drawn again.
    bool BackgroundCleared = false;
    // What the shapes no undo step reaches any more left of the background: drawn first in its
    // place while set, and taken for it by a clear all only as far as the undo steps go.
    QImage BakedBackground;
    ShapeRecordList ShapeList;
    // How dashed and dotted shapes are drawn (the second near-white along their middle).
    Shapes::RenderStyle Style;

    QSize canvasSize() const { return CanvasBitmap.size(); }
    bool hasBackground() const { return !BackgroundPicture.isNull(); }
    // What a re-render draws first.
    bool backgroundShown() const { return hasBackground() && !BackgroundCleared; }
    // The picture a re-render starts from (null: none, the canvas stays transparent white).
    const QImage& drawnFirst() const;
    bool isEmpty() const { return ShapeList.empty() && !hasBackground() && BakedBackground.isNull(); }

    // A new canvas of that size, rebuilt from the document; false (canvas unchanged) when a
    // canvas that large cannot be had.
    bool SetCanvasSize(QSize size);
    // All of the canvas becomes transparent white.
    void ClearCanvas();
    // Background, then every record in order, on a cleared canvas; selected records are left out
    // when asked (they show as ghosts while dragged).
    void RerenderCanvas(bool leaveOutSelected = false);
    // Every record goes, those baked into the background too.
    void FreeShapeList();
    // Appends a record and draws it onto the canvas as it stands; with `measure`, its extremes and
    // margins are measured first.
    ShapeRecord& CommitShape(std::unique_ptr<ShapeRecord> record, bool measure = false);

    // The document as an undo snapshot: total size, canvas width and height, record count, the
    // records. The size is the canvas's own, which may exceed what the size boxes allow.
    CanvasSnapshot Snapshot() const;
    // The full layout of Snapshot() (WriteShapeList with offsets).
    QByteArray WriteShapeList(int dx = 0, int dy = 0) const;
    // The shape list and canvas size from a snapshot, then a re-render. A snapshot that cannot be
    // read whole changes nothing (false).
    bool RestoreSnapshot(const CanvasSnapshot& snapshot);
    bool RestoreSnapshot(const QByteArray& logicalBytes);

    // The first `count` records become part of BakedBackground, drawn at the canvas's size, and
    // leave the list. The canvas itself does not change.
    void BakeLeading(int count);
};

// The picture a snapshot's re-render starts from, in a document with that background picture.
QImage drawnFirstOf(const CanvasSnapshot& snapshot, const QImage& backgroundPicture);

// Reads a snapshot (with its pictures left out and listed, or whole when `stamps` is null) into a
// separate list; false, with `list` undefined, when any part is cut short or does not fit.
// `recordEnds`, when given, receives where each record ends in the bytes.
bool ReadSnapshot(const QByteArray& bytes, const std::vector<Shapes::StampRef>* stamps, QSize& canvasSize,
                  ShapeRecordList& list, std::vector<qsizetype>* recordEnds = nullptr);

// White enclosed by the picture becomes the opaque white; white (and opaque white) connected to
// the border stays or becomes transparent white.
void ConvertInnerWhite(QImage& picture, QRgb opaqueWhite);

// The canvas as it is saved: every pixel of the second near-white turned into pure white.
QImage WithSecondWhiteAsWhite(const QImage& canvas, QRgb secondWhite);

// The canvas undo ring (31 slots, 30 steps back) and the baseline of the changed test.
class CanvasUndo {
public:
    static constexpr int SlotCount = 31;

    // The history starts anew at the document as it stands (after a save, an open, a new picture), so
    // that undo goes back to it and no further.
    void Reset(const CanvasSnapshot& current) { m_ring.reset(current); }
    // Records a snapshot unless it equals the current one; true when it recorded.
    bool Push(const CanvasSnapshot& snapshot);
    bool CanUndo() const { return m_ring.canUndo(); }
    bool CanRedo() const { return m_ring.canRedo(); }
    bool Undo() { return m_ring.undo(); }
    bool Redo() { return m_ring.redo(); }
    const CanvasSnapshot& Current() const { return m_ring.currentState(); }
    const UndoRing<CanvasSnapshot>& ring() const { return m_ring; }

    CanvasSnapshot SavedSnapshot;
    void StoreBaseline(const CanvasSnapshot& snapshot) { SavedSnapshot = snapshot; }
    bool IsChanged(const CanvasSnapshot& snapshot) const { return !(snapshot == SavedSnapshot); }

    // After a push that let the oldest step go: the records every step still held in the ring
    // begins with are baked into the document's background and left out of every step (and of the
    // baseline, when it begins with them too), so that what the ring cannot reach costs neither
    // memory nor re-rendering. The number of records baked.
    int BakeUnreachable(PictureDocument& doc);

private:
    UndoRing<CanvasSnapshot> m_ring{SlotCount};
};
