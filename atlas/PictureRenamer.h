#pragma once

#include "MapDocument.h"

#include <QString>
#include <QStringList>

// Gives every picture of a map its fixed name in the picture folder before the map is saved:
// "map", the destination number ("05"), "t01", "t02" and the rare treasures "r01" upwards with
// the gaps among them closed. Every picture is first copied to a temporary name, so pictures
// that changed places never overwrite one another.
class PictureRenamer {
public:
    PictureRenamer(const QString& pictureFolder, const MapDocument& doc, const QString& mapPicturePath);

    // Runs both passes. The result names in document() and mapPicturePath() always name files that
    // hold the right pictures, also after a failure (then some may still carry temporary names).
    bool run();

    const MapDocument& document() const { return m_doc; }
    QString mapPicturePath() const { return m_mapPicturePath; }
    QString error() const { return m_error; }
    // Whether run() changed any name the document holds.
    bool namesChanged() const { return m_namesChanged; }

private:
    struct Move {
        bool treasure;   // else a destination
        int index;       // row of the destination or treasure list
        QString source;  // existing picture
        QString temp;    // temporary copy's file name
        QString target;  // fixed name
    };

    QString& cell(const Move& m);
    QString path(const QString& name) const { return m_folder + u'/' + name; }

    QString m_folder;
    MapDocument m_doc;
    QString m_mapPicturePath;
    QString m_error;
    bool m_namesChanged = false;
};
