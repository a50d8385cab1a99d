#include "FixedColumnTableView.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

FixedColumnTableView::FixedColumnTableView(QWidget* parent)
    : QTableView(parent), m_fixed(new QTableView(this)) {
    // The table keeps the keyboard; a press on the fixed column hands it back.
    m_fixed->setFocusPolicy(Qt::NoFocus);
    m_fixed->setFrameShape(QFrame::NoFrame);
    m_fixed->verticalHeader()->hide();
    m_fixed->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fixed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->stackUnder(m_fixed);
    // Sideways in pixels, so that a cell brought into view can lie just right of the fixed column.
    setHorizontalScrollMode(ScrollPerPixel);

    connect(m_fixed->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_fixed->verticalScrollBar(),
            &QAbstractSlider::setValue);
    // The fixed column's range follows its height only after it was laid out.
    connect(m_fixed->verticalScrollBar(), &QAbstractSlider::rangeChanged, this,
            [this] { m_fixed->verticalScrollBar()->setValue(verticalScrollBar()->value()); });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section == 0 && m_fixed->columnWidth(0) != size) {
            m_fixed->setColumnWidth(0, size);
            placeFixedColumn();
        }
    });
    connect(m_fixed->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                if (section == 0 && columnWidth(0) != size) setColumnWidth(0, size);
            });
    connect(verticalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) { m_fixed->setRowHeight(section, size); });
    m_fixed->viewport()->installEventFilter(this);
}

void FixedColumnTableView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    m_fixed->setModel(model);
    m_fixed->setSelectionModel(selectionModel());
    m_fixed->setSelectionBehavior(selectionBehavior());
    m_fixed->setSelectionMode(selectionMode());
    m_fixed->setEditTriggers(NoEditTriggers);
    m_fixed->setWordWrap(false);
    m_fixed->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    for (int c = 1; model && c < model->columnCount(); ++c)
        m_fixed->setColumnHidden(c, true);
    m_fixed->setColumnWidth(0, columnWidth(0));
    placeFixedColumn();
}

void FixedColumnTableView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const int sideways = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    if (!index.isValid()) return;
    if (index.column() == 0) {
        // The fixed column is always in view; only the row needs bringing into view.
        horizontalScrollBar()->setValue(sideways);
        return;
    }
    const int hidden = m_fixed->width() - visualRect(index).left();
    if (hidden > 0) horizontalScrollBar()->setValue(horizontalScrollBar()->value() - hidden);
}

bool FixedColumnTableView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_fixed->viewport()) return QTableView::eventFilter(watched, event);
    const QPoint offset = viewport()->mapFrom(this, m_fixed->viewport()->mapTo(this, QPoint(0, 0)));
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        // A press on the fixed column reaches whoever watches the table's cells, as a press on a
        // fixed cell reaches the grid's mouse handlers; the table itself selects nothing for it
        // and stays where it was scrolled.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress) setFocus(Qt::MouseFocusReason);
        const int sideways = horizontalScrollBar()->value();
        QMouseEvent forwarded(mouse->type(), mouse->position() + offset, mouse->scenePosition(),
                              mouse->globalPosition(), mouse->button(), mouse->buttons(), mouse->modifiers());
        m_forwarding = true;
        QCoreApplication::sendEvent(viewport(), &forwarded);
        m_forwarding = false;
        horizontalScrollBar()->setValue(sideways);
        return true;
    }
    case QEvent::MouseMove:
        return true;
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        QWheelEvent forwarded(wheel->position() + offset, wheel->globalPosition(), wheel->pixelDelta(),
                              wheel->angleDelta(), wheel->buttons(), wheel->modifiers(), wheel->phase(),
                              wheel->inverted());
        QCoreApplication::sendEvent(viewport(), &forwarded);
        return true;
    }
    default:
        return QTableView::eventFilter(watched, event);
    }
}

void FixedColumnTableView::mousePressEvent(QMouseEvent* event) {
    if (!m_forwarding) QTableView::mousePressEvent(event);
}

void FixedColumnTableView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_forwarding) QTableView::mouseReleaseEvent(event);
}

void FixedColumnTableView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!m_forwarding) QTableView::mouseDoubleClickEvent(event);
}

void FixedColumnTableView::updateGeometries() {
    QTableView::updateGeometries();
    placeFixedColumn();
}

void FixedColumnTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    placeFixedColumn();
}

void FixedColumnTableView::placeFixedColumn() {
    // Over the table's own header cell and cells of the column, down to the table's scroll bar.
    m_fixed->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    const QRect cells = viewport()->geometry();
    const int top = horizontalHeader()->isHidden() ? cells.top() : horizontalHeader()->geometry().top();
    m_fixed->setGeometry(cells.left(), top, columnWidth(0), cells.bottom() + 1 - top);
    m_fixed->verticalScrollBar()->setValue(verticalScrollBar()->value());
}
