#pragma once

#include "MapDocument.h"

#include <QAbstractTableModel>

// Shows the 62 destinations of a document as the grid's rows: the number, then the seven items.
class MapGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit MapGridModel(MapDocument* doc, QObject* parent = nullptr);

    static const QStringList& headerLabels();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The document changed behind the model's back.
    void refresh();
    void refreshRow(int row);

private:
    MapDocument* m_doc;
};
