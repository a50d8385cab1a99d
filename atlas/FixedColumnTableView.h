#pragma once

#include <QTableView>

// A table whose first column stays in place when the table scrolls sideways, as the fixed
// column of a string grid does. A second view over the same model and selection lies on the
// left edge and shows only that column; it scrolls vertically with the table.
class FixedColumnTableView : public QTableView {
    Q_OBJECT

public:
    explicit FixedColumnTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

    // The view that shows the fixed column; owned by this table.
    QTableView* fixedColumn() const { return m_fixed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void updateGeometries() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeFixedColumn();

    QTableView* m_fixed;
    bool m_forwarding = false;
};
