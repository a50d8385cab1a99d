#pragma once

#include "MapDocument.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Saving a map is one transaction over the map file and its picture folder: after a failure, a
// crash or a kill at any moment the map file and the folder agree, either both as they were or
// both as saved.
//
// The pictures are staged under their fixed names ("map", "05", "t01", "t02", "r01" upwards with
// the gaps among the rare ones closed) in a new folder, by hard links where the file system has
// them, next to a mirror of every other entry of the old folder (whatever its name's bytes, its
// kind or its mode); the map file is written beside its target. Then renames swap them in: the
// old folder aside, the staged one in, the map file in place (the moment the save takes effect),
// the old folder deleted last. A map file kept inside its picture folder is written into the
// staged folder, and the folder's rename is then the moment. A journal next to the picture folders
// tells recover() which way to finish a swap that was cut short: it names every path relative to
// the picture root (so the program folder may have moved or been mounted elsewhere since) and holds
// the map file's content before and after, since only the map file as found shows whether the save
// took effect. Where it shows neither, nothing is deleted: the save's folders go whole to where the
// user sees them.
//
// A picture folder that is a link stays a link: the folder it names is staged and swapped beside
// itself, and a Save As away from it leaves it alone. A map file that is a link is written through
// to the file it names. No deletion follows a link. What the clearing away after a committed save
// cannot delete is moved out of the way, where the user can see it, and named in the result; it
// never stops a later save.
namespace MapSave {

struct Request {
    QString mapPath;       // where the map file goes
    QString pictureFolder; // the folder the document's picture names live in now
    QString newFolder;     // the picture folder of mapPath
    MapDocument doc;
    QString mapPicturePath; // full path of the map picture, empty for none
    // A Save As leaves the old folder as it is (it is another map file's too) instead of taking
    // it along.
    bool keepOldFolder = false;
    // The file's bytes for a document with its fixed picture names and the map picture's name.
    std::function<QByteArray(const MapDocument&, const QString& mapPictureName)> bytes;
};

// A save cut short that the recovery could neither finish nor undo: the map file did not show
// whether it took effect, or the journal could not be read. Nothing of it was deleted; its folders
// were moved, whole, to where the user sees them.
struct SetAside {
    QString mapPath;     // the map file as the journal names it (native separators); empty when unreadable
    QString reason;      // why it could not be decided
    QStringList folders; // where its folders went (native separators)
    bool isEmpty() const { return folders.isEmpty(); }
};

struct Result {
    bool ok = false;
    QString error;          // why the save failed; nothing on disk changed then
    MapDocument doc;        // the names as saved (as requested when the save failed)
    QString mapPictureName; // the map picture's file name in newFolder, empty for none
    // Pictures the document names whose files were not found, as the user knows them
    // ("旅行地05 \"05_001.bmp\""). The saved file leaves them out; `kept` and `keptMapPictureName`
    // are the saved names with them put back (rare treasures after the saved ones), so that the
    // map stays modified until the user deals with them.
    QStringList missing;
    MapDocument kept;
    QString keptMapPictureName;
    // Folders the clearing away could not delete, moved to where the user sees them.
    QStringList leftovers;
    SetAside setAside; // what the recovery of an earlier save put aside
};

Result save(const Request& request);

// Finishes or undoes a save that was cut short in the picture root; a save running in another
// program is left alone. False with *error when something could not be put right (it is tried
// again next time). *leftovers receives what the clearing away moved aside instead of deleting,
// *setAside a save that could be neither finished nor undone.
bool recover(const QString& pictureRoot, QString* error = nullptr, QStringList* leftovers = nullptr,
             SetAside* setAside = nullptr);

// The name of the transaction's own folder in the picture root; no map may be named so.
QString transactionName();

// Whether a map name is one of the names under which the clearing away keeps what it could not
// delete.
bool isLeftoverName(const QString& name);

// The folder a picture folder path stands for: the folder a link names, else the path cleaned.
QString realFolder(const QString& path);

// Whether two picture folder paths lead to one folder, whatever spelling or link reached it (a
// volume that ignores case takes "test" and "TEST" for one); a folder not made yet only by its path.
bool sameFolder(const QString& a, const QString& b);

} // namespace MapSave
