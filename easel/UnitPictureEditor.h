#pragma once

#include "CanvasView.h"
#include "ColourText.h"
#include "DocumentFile.h"
#include "FileOps.h"
#include "PictureDocument.h"
#include "SavedPictureNotice.h"

#include <QImage>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

class QAbstractButton;
class QAction;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QRadioButton;
class QLineEdit;
class QMenu;
class QPainter;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTimer;
class CanvasScrollBox;
class QGroupBox;
class TMyOpenPictureDialog;
class TMySavePictureDialog;

// The picture editor's main window: owner of the picture document for the whole run. It shows
// the canvas zoomed in a scroll box, opens and saves pictures, and hands every saved (or
// menu-opened) file name back to the waiting map-editor form: the receiver named in the
// environment, else the class name on the command line.
class TFormPictureEditor : public QMainWindow {
    Q_OBJECT

public:
    // Runs FormCreate with the program's arguments (without the program name): the picture to
    // open, then the class name of the map-editor form to notify.
    explicit TFormPictureEditor(const QStringList& arguments, QWidget* parent = nullptr);
    ~TFormPictureEditor() override;

    // "画像エディタ", the colour count when there is one, and " ～ " with the file name.
    static QString TitleText(int paletteEntryCount, const QString& path);

    // The document: the background, the shapes and the canvas built from them.
    PictureDocument Doc;
    QImage ResultPicture;
    QString PictureFileName;
    // The picture file as this program last opened or saved it: a save over it asks when it
    // changed since.
    DocumentFile PictureFileContent{FileOps::ReadLimit::Picture};
    // The hold on the file shown, by which other programs tell that it is open here.
    FileOps::FileHold PictureHold;
    QString CallerClassName;
    // The socket of the waiting form's receiver, as the map editor named it in the environment;
    // empty when it named none.
    QString CallerReceiver;
    int PaletteEntryCount = 0;
    ColourText::TColor OpaqueWhite = 0, SecondWhite = 0;
    CanvasUndo Undo;
    int DrawMode = 17, ToolMode = 17;
    // What the hidden OK and Cancel give.
    int ModalResult = 0;

    // The range (view coordinates). A range is never empty: it has width and height and lies on
    // the canvas.
    bool RangeExists = false;
    bool FreeFormSelection = false;
    CanvasView::Bounds SelectionRect;
    std::vector<QPoint> SelectionPoints;
    int SelectedCount = 0;
    // Deep copies of the records being dragged, and their ghosts (view coordinates), both alive
    // from the start of a shape drag to its end.
    ShapeRecordList ShapeClipboard;
    struct ShapeGhost {
        QImage picture; // white shows through
        QRect rect;     // where it lies before the drag moves it
    };
    std::vector<ShapeGhost> GhostImages;
    // Where a pasted picture is shown: picture coordinates, so that it outlives a zoom change.
    QPoint PasteOrigin;
    QAbstractButton* PreviousToolButton = nullptr;
    bool CtrlHeld = false;

    // The floating layers, drawn over the view from this state. Tag 1 the copied picture (or
    // text), Tag 2 the imported picture; Tag 0 is the tracing picture's slot.
    struct FloatingLayer {
        int Tag = 0;
        QImage Picture;
        bool Visible = false;
        QRect Geometry; // view coordinates: where the picture is stretched to
        // Shown instead of the picture while a stamp flashes.
        QImage Flash;
        QImage keyed; // the picture with its white see-through, made when first painted
    };
    FloatingLayer imPaste, imFace;
    // The tracing picture at full strength while it is being placed (Tag 0).
    FloatingLayer imMihon;
    FloatingLayer* CurrentLayer = nullptr;
    std::array<QPoint, 3> LayerPos{};
    std::array<QSize, 3> LayerSize{};
    std::array<double, 3> LayerAngle{};
    std::array<int, 3> LayerLastOperation{};
    QSize FaceFixedSize;
    bool FaceDrawn = false;
    bool TextPasteRequested = false;
    bool LayerMoving = false;
    QPoint LayerDragStart, LayerStartPos; // view, picture
    // What the next picture stamp carries.
    QImage StampBitmap;
    QString StampFileName;

    // The view.
    bool GridShown = false;
    int GridCellWidth = 20, GridCellHeight = 20;
    ColourText::TColor GridColor = 0xC0C0C0;
    QImage TracingPicture;
    bool TracingPictureShown = false;
    QPoint TracingPictureOrigin;
    QString TracingFileName;
    QPoint TracingGrabOffset;
    static constexpr int TracingPlacing = 55;
    static const QString TracingHint;
    bool AutoScrollMoved = false;
    bool MouseDragging = false;
    QPoint DragPoint;

    // Drawing (UnitPictureEditorDraw.cpp). Points while the mouse is down are paint-box points.
    ShapeRecord* CurrentShape = nullptr;
    QPoint DragStart, MousePoint, AxisOrigin;
    int MoveAxisLock = 0; // 0 undecided, 1 horizontal, 2 vertical
    bool PopupJustClosed = false;
    bool ShiftHeld = false;
    // The rubber band of a rectangle, ellipse or line, drawn over the view from this record.
    bool PreviewShown = false;
    ShapeRecord PreviewShape;

    // Palette, tools and deform (UnitPictureEditorTools.cpp).
    static constexpr int PaletteSize = 19;
    std::array<ColourText::TColor, PaletteSize> PaletteColors{};
    int PaletteIndex = 0;
    bool PaletteClicked = false;
    int PenPaletteIndex = 0, FillPaletteIndex = 0;
    int LineKind = 0;
    QAbstractButton* ToolButton = nullptr; // the remembered tool
    bool EyedropperActive = false;
    bool DeformAvailable = false, DeformOn = false, DeformPending = false;
    int CanvasCursor = 0;

    // Widgets the handlers and tests reach by their names.
    QWidget* pnImage = nullptr;
    CanvasScrollBox* ScrollBox1 = nullptr;
    // The paint box: the scroll box's viewport shows the part of it in view.
    QWidget* Image1 = nullptr;
    QSpinBox* UpDown1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* cbIncrement = nullptr;
    QPushButton* bt100 = nullptr;
    QSpinBox* udWidth = nullptr;
    QSpinBox* udHeight = nullptr;
    QLineEdit* edWidth = nullptr;
    QLineEdit* edHeight = nullptr;
    QPushButton *sbShowMasu = nullptr, *sbShowMihon = nullptr, *sbClearAll = nullptr, *sbUndo = nullptr,
                *sbRedo = nullptr, *btClose = nullptr, *btOK = nullptr, *btCancel = nullptr;
    QCheckBox* cbChangeWhite = nullptr;
    QWidget* pnPallet = nullptr;
    std::array<QLabel*, PaletteSize> pnC{};
    QLabel *lbR = nullptr, *lbG = nullptr, *lbB = nullptr;
    QWidget* pnPenStyle = nullptr;
    std::array<QLabel*, 3> pnP{};
    QPushButton *sbPen = nullptr, *sbLine = nullptr, *sbCircle = nullptr, *sbFloodFill = nullptr, *sbSpoit = nullptr,
                *sbPallet = nullptr;
    QRadioButton *rbRect = nullptr, *rbEllip = nullptr;
    QButtonGroup* ToolGroup = nullptr;
    QSpinBox *udPen = nullptr, *udLine = nullptr;
    QLineEdit *edPen = nullptr, *edLine = nullptr;
    QLabel* pnLastReform = nullptr;
    QPushButton *sbRange = nullptr, *sbCopy = nullptr, *sbCut = nullptr, *sbDelete = nullptr,
                *sbTrimming = nullptr;
    QRadioButton *rbRectRange = nullptr, *rbFreeRange = nullptr;
    QPushButton *sbPasteShow = nullptr, *sbPasteByouga = nullptr, *sbMoji = nullptr, *sbGenten = nullptr,
                *sbFaceSelect = nullptr, *sbFaceShow = nullptr, *sbFaceByouga = nullptr;
    QCheckBox* cbHalfTone = nullptr;
    QRadioButton *rbBairituHendou = nullptr, *rbBairituKotei = nullptr;
    QLabel *lbByouga = nullptr, *lbRange = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QMenu *mmFile = nullptr, *mmEdit = nullptr;
    // The canvas's pop-up menu; the Edit menu is refilled with copies of its items at each opening.
    QMenu* PopupMenu1 = nullptr;
    QAction *mmRange = nullptr, *mmUndo = nullptr, *mmRedo = nullptr, *mmSelectAll = nullptr, *pmMojiByouga = nullptr,
            *pmPaste2 = nullptr, *pmClose2 = nullptr, *pmByouga2 = nullptr, *B5 = nullptr, *mmCut = nullptr,
            *mmCopy = nullptr, *mmDelete = nullptr, *B6 = nullptr, *pmPaste = nullptr, *pmClose = nullptr,
            *pmByouga = nullptr, *B7 = nullptr, *pmGenten = nullptr, *pmReform = nullptr, *pmRotate = nullptr,
            *pmReverse = nullptr;
    // How many times the Edit menu was refilled.
    int EditMenuBuilds = 0;
    QAction *mmFileNew = nullptr, *mmPicOpen = nullptr, *mmPicSave = nullptr, *mmPicSaveAs = nullptr,
            *mmOK = nullptr, *mmCancel = nullptr, *Exit3 = nullptr;

    std::unique_ptr<TMyOpenPictureDialog> MyOpenPictureDialog2;
    std::unique_ptr<TMySavePictureDialog> MySavePictureDialog2;
    std::unique_ptr<TMyOpenPictureDialog> MyOpenPictureDialog3;

    // Start-up and the window.
    void FormCreate(const QStringList& arguments);
    void FormShow();
    // The close question; false keeps the window open.
    bool FormClose();
    void Exit3Click();
    void btCloseClick();
    void UpdateTitle(const QString& path = QString());
    QString hintOf(const QObject* component) const;
    // The picture folder the dialogs start in.
    static QString PictureFolder();

    // New, Open, Save (UnitPictureEditorFile.cpp).
    void mmFileNewClick();
    void mmPicOpenClick();
    void mmPicSaveClick();
    void mmPicSaveAsClick();
    // Loads a picture as the background and canvas; false (with the warning shown, the previous
    // document untouched) when it cannot be read.
    bool OpenPictureFile(const QString& path);
    // Writes the canvas; false (with the reason shown, nothing sent) when nothing was written.
    bool SavePictureFile(const QString& path);
    bool SaveAsDialog();
    // True when the caller may go on: nothing changed, the user saved, or declined to save.
    bool ConfirmSaveChanges(bool ask);
    void ResetDocument(bool dropBackground, bool clearCanvas, bool resetUndo);
    // Hands the name back to the waiting form, if any, as a picture saved or only opened; a name
    // that cannot be handed back is told to the user.
    void NotifyCaller(const QString& path, SavedPictureNotice::Notice notice);
    // Whether a map-editor form waits for the names (a class name or a receiver was given).
    bool HasCaller() const { return !CallerClassName.isEmpty() || !CallerReceiver.isEmpty(); }
    bool MySavePictureDialog2CanClose(const QString& fileName);
    // The name in the save dialog after the user picked a file type (1 BMP, 2 JPEG, 3 both).
    static QString MySavePictureDialog2TypeChange(int filterIndex, const QString& fileName);
    // How many notices went out (after saves and menu opens).
    int NoticesSent = 0;

    // Clear all and the hidden modal mode.
    void sbClearAllClick();
    void btOKClick();
    void btCancelClick();
    void CopySelectionToBitmap(QImage& dest, const QImage& source, ColourText::TColor fillColor,
                               bool useSelection);

    // Undo.
    void ResetUndo();
    void PushUndoSnapshot();
    // False, with the error shown and the document as it was, when the snapshot cannot be read.
    bool RestoreUndoSnapshot();
    bool IsChangedSinceSave(int mode);
    bool CanUndo() const { return Undo.CanUndo(); }
    bool CanRedo() const { return Undo.CanRedo(); }
    void sbUndoClick();
    void sbRedoClick();

    // The view (UnitPictureEditorView.cpp).
    int zoom() const;
    int ImageToScreen(int v) const { return CanvasView::ImageToScreen(v, zoom()); }
    int ScreenToImage(int v) const { return CanvasView::ScreenToImage(v, zoom()); }
    QPoint ScreenToImagePoint(QPoint p) const { return CanvasView::ScreenToImagePoint(p, zoom()); }
    CanvasView::Bounds ScreenToImageRect(const CanvasView::Bounds& r) const {
        return CanvasView::ScreenToImageRect(r, zoom());
    }
    // The view point the tools take for the pointer at an exact paint-box point.
    QPoint ToolPoint(QPointF exact) const { return CanvasView::ViewPointAt(exact, zoom()); }
    bool PointerOverCanvasPanel(QPoint& screenPoint) const;
    void UpDown1Click();
    void SetZoom(int zoom);
    void cbIncrementClick();
    void bt100Click();
    // Gives the canvas a size (any size a picture may have) and keeps the view where it was.
    void SetCanvasSize(int width, int height);
    // A size box, typed or stepped: the canvas takes the size that box shows for its side.
    void edWidthChange(Qt::Orientation side);
    CanvasView::ViewState viewState() const;
    void PaintCanvasView(QPainter& painter, const QRect& exposed);
    // A wheel turn at a screen point; false when the pointer is not over the scroll box.
    bool CMMouseWheel(QPoint screenPoint, int delta);
    // An arrow key for the form; false when it goes on to the default handling.
    bool CMDialogKey(CanvasView::Arrow arrow, Qt::KeyboardModifiers modifiers);
    void SetMouseDragging(bool dragging);
    void IdleAutoScroll();
    void sbShowMasuClick();

    // The tracing picture (UnitPictureEditorMihon.cpp).
    void sbShowMihonClick();
    // False, with the reason shown, when the file gives no picture.
    bool LoadSamplePicture(const QString& fileName);
    void imMihonMouseDown(Qt::MouseButton button, QPoint point);
    void imMihonMouseMove(QPoint point);
    void imMihonMouseUp(Qt::MouseButton button);
    // Ends placing: the picture stays where it lies (a tool chosen meanwhile, a release of the drag).
    void PlaceTracingPicture();

    // Keys the form takes before the focused control; true when consumed.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void FormKeyUp(int key);
    // Menus (UnitPictureEditorKeys.cpp).
    void mmEditClick();
    void PopupMenu1Popup();
    void BuildEditMenu(QMenu* target, QMenu* popup);
    // Opens the pop-up menu at a screen point.
    void ShowPopupMenu(QPoint screenPoint);
    // The scroll bars moved one increment in an arrow's direction.
    void ScrollByArrow(CanvasView::Arrow arrow);

    // Drawing with the mouse (UnitPictureEditorDraw.cpp).
    // A gesture belongs to what the left button grabbed: the canvas (a shape, a range, dragged
    // shapes), a floating picture, the tracing picture or a handle.
    bool GestureUnderWay() const;
    // Ends the gesture under way as the release of its button where the pointer last was, so that
    // the view, the document and a save agree; false when there was none. Called whenever anything
    // else takes the mouse or the keyboard: another button, a key, a menu, a dialog, a save, a close.
    bool EndMouseGesture();
    void Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint point);
    void Image1MouseMove(Qt::KeyboardModifiers modifiers, QPoint point);
    void Image1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint point);
    // A work record for DrawMode from the current settings, anchored at DragStart and DragPoint.
    ShapeRecord NewShapeRecord(ColourText::TColor colour) const;
    // The work record in picture coordinates, measured, appended and drawn.
    ShapeRecord& CommitShape(const ShapeRecord& work);
    QPoint ShiftConstrain(QPoint point, bool shift);
    ColourText::TColor PaletteColor() const { return PaletteColors[size_t(PaletteIndex)]; }
    // The eraser's transparent white shows as light grey while it is dragged out.
    ColourText::TColor PreviewColor() const;
    // The rubber band and the pen stroke being drawn, over the view.
    void PaintDrawingOverlay(QPainter& painter, const QRect& exposed);

    // Palette, tools, cursors and deform (UnitPictureEditorTools.cpp).
    void SelectPaletteEntry(int index);
    void SetPaletteColor(int index, ColourText::TColor colour);
    void ShowPaletteRGB();
    void SelectLineKind(int kind);
    void pnC00MouseDown(int tag);
    void sbPalletClick();
    void sbSpoitMouseDown();
    void sbSpoitClick();
    void imP0MouseDown(int tag);
    void sbPenClick();
    void sbLineClick();
    void sbCircleClick();
    void rbRectClick();
    void sbFloodFillClick();
    void udPenClick();
    void pnLastReformClick();
    void SetCanvasCursor(int n);
    void UpdateToolCursor();
    void SetDeformState(bool available, bool on);
    void CommitPendingDeform(bool deselect);
    // The colour the view shows at a paint-box point (zoom, tracing picture, grid and floating
    // pictures included).
    ColourText::TColor ViewColorAt(QPoint point);

    // The range, shape picking and the shape clipboard (UnitPictureEditorRange.cpp).
    void sbRangeClick();
    void rbRectRangeClick();
    void sbCopyClick();
    // Cut when `cut`, else erase (sbDelete and the delete command): only cut fills the clipboard.
    void sbCutClick(bool cut = true);
    void sbTrimmingClick();
    void mmSelectAllClick();
    void ClearSelection();
    void ClearSelectionFlags();
    bool PointInFreeSelection(QPoint point) const;
    // The number of records selected; a point that is not positive only deselects.
    int PickShapesAt(QPoint point);
    bool ShapeInRange(const ShapeRecord& record) const;
    // A picture point inside the range (rectangle or polygon); false when there is no range.
    bool PointInRange(QPoint point) const;
    void EndShapeDrag(int x, int y, bool showPopup);
    void MakeShapeGhost(const ShapeRecord& record);
    void CopyShapeToClipboard(const ShapeRecord& record);
    void ClearShapeClipboard();
    // Offsets in view pixels.
    void OffsetShape(ShapeRecord& record, int dx, int dy) const;
    void PasteShapeClipboard(int dx, int dy);
    // The canvas from the document; selected records are left out while they are dragged.
    void RerenderCanvas(bool force);
    void RangeMouseDown();
    void RangeMouseMove(QPoint point, bool shift);
    void RangeMouseUp(Qt::KeyboardModifiers modifiers);
    // The range as picture pixels on the canvas; empty when there is none.
    QRect RangeInPicture() const;
    void PaintRangeOverlay(QPainter& painter, const QRect& exposed);

    // Floating pictures and text (UnitPictureEditorLayer.cpp).
    void sbFaceSelectClick();
    // The hook the import form calls with its result picture (w x h already chosen).
    void PlaceImportedPicture(const QImage& picture, const QString& fileName);
    void sbFaceShowClick();
    void sbFaceByougaClick();
    void sbPasteShowClick();
    void sbPasteByougaClick();
    void sbMojiClick();
    void sbGentenClick();
    void rbBairituHendouClick();
    void mmRangeClick(bool shift);
    void mmDeleteClick(bool ctrl, bool shift);
    void DrawLayerOntoCanvas();
    void RestoreRememberedTool();
    void UpdateModeIndicator();
    // Transforms by handles (UnitPictureEditorHandles.cpp).
    void PlaceLayerHandles();
    void pmReformClick();
    void pmRotateClick();
    void pmReverseClick();
    // A transform mode button of either layer's group was pressed.
    void LayerModeClick(QAbstractButton* button);
    void imReformHLMouseDown(int tag, Qt::MouseButton button, QPoint screenPoint);
    void imReformHLMouseMove(QPoint screenPoint);
    void imReformHLMouseUp();
    void imRotateRTMouseDown(int index, Qt::MouseButton button, QPoint screenPoint);
    void imRotateRTMouseMove(QPoint screenPoint);
    void imRotateRTMouseUp();
    void imReverseHLMouseDown(int tag);
    void TrimLayerToContent();
    bool LayerModePressed(const FloatingLayer& layer) const;
    // The mode buttons: imported picture (with the move button that only releases the group),
    // then copied picture.
    QPushButton *sbFaceReform = nullptr, *sbFaceRotate = nullptr, *sbFaceReverse = nullptr, *sbPicMove = nullptr,
                *sbRgReform = nullptr, *sbRgRotate = nullptr, *sbRgReverse = nullptr;
    // The red handles, children of the view; their Tag is their place in the array for stretching
    // (left, right, top, bottom edge, then the corners), the mirror axis for flipping.
    std::array<QWidget*, 8> imReform{};
    std::array<QWidget*, 4> imRotate{};  // RT, RB, LT, LB
    std::array<QWidget*, 4> imReverse{}; // HL, HR, VT, VB
    std::array<QImage, 3> RotationSource;
    bool LayerStretching = false, LayerRotating = false, LayerRotated = false;
    struct TransformDrag {
        QPoint mouseStart, lastAccepted;
        QRect layerStart;
        double ratio = 1;
        QPoint handleStart;
        QPoint centre, centreOnScreen;
        QPoint centreInPicture;
        int left = 0, top = 0, width = 0, height = 0; // the stretched bounds, signed
    } LayerDrag;
    // Lays the layers out from LayerPos and LayerSize at the current zoom.
    void LayoutLayers();
    // LayerPos and LayerSize, in picture pixels, are a floating picture's truth; its view rectangle
    // follows them. Moving keeps the size, placing sets both.
    void MoveLayer(FloatingLayer& layer, QPoint inPicture);
    void PlaceLayer(FloatingLayer& layer, const QRect& inPicture);
    // Where a stamp of the layer lands, in picture pixels.
    QRect LayerInPicture(const FloatingLayer& layer) const;
    // A rectangle of picture pixels as a layer shows it on the view (at least one pixel each way).
    QRect LayerOnView(const QRect& inPicture) const;
    FloatingLayer* LayerAt(QPoint point);
    void imFaceMouseDown(FloatingLayer& layer, Qt::MouseButton button, QPoint point);
    void imFaceMouseMove(QPoint point, bool shift);
    void imFaceMouseUp();
    void PaintLayers(QPainter& painter, const QRect& exposed);
    // The part of the view a layer and its frame cover.
    static QRect LayerArea(const FloatingLayer& layer);
    QString PictureSelectFileName;
    // The hint of the floating picture under the pointer (the view's own hint elsewhere).
    void ShowLayerHint(QPoint point);
    // The cursor of the pressed tool, the range tool's included.
    void ResetToolCursor();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void buildHandlers();
    void buildToolPanel(QWidget* parent, class QVBoxLayout* column);
    void buildRangePanel(QWidget* parent, class QVBoxLayout* rows);
    void buildPopupMenu();
    void buildLayerHandles();
    void finishTransform(int operation);
    void setRangeHints();
    void hideLayer(FloatingLayer& layer);
    void toolClick(int mode, QAbstractButton* button);
    void startPenPreview();
    void extendPenPreview(QPoint from, QPoint to);
    void setHints();
    // The size boxes show the canvas size, within what they allow, without resizing anything.
    void showCanvasSizeInBoxes();
    // After the canvas changed size: the zoom applied again, the scroll position kept.
    void canvasSizeChanged(QPoint keptScroll);
    void updateUndoButtons();
    bool ownsWidget(QObject* object) const;

    QTimer* m_autoScroll = nullptr;
    bool m_endingGesture = false;
    // The press that ended a gesture does nothing else, its pop-up menu included.
    bool m_pressEndedGesture = false;
    // The mouse went down on the tracing picture; its moves and release are the picture's.
    bool m_mihonPressed = false;
    const FloatingLayer* m_hintLayer = nullptr;
    // The pen stroke being drawn, kept over the part of the view it started in, so that each move
    // draws one segment instead of the whole path.
    QImage m_penPreview;
    QPoint m_penPreviewOrigin;
    // How far along the stroke the preview has drawn (view pixels), where the dash pattern goes on.
    double m_penPreviewLength = 0;
};
