#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class FileLock;

// Where the map editor keeps its files, all beside the program.
namespace MapFolders {

QString mapFileFolder();     // "画像と音声/マップファイル"
QString mapPictureRoot();    // "画像と音声/マップ画像"
QString scratchFolder();     // "画像と音声/マップちょい置き"
QString settingsFolder();    // "設定/マップエディタ"
QString newMapName();        // "新規マップファイル"

// The picture folder of a map file: the map picture root + the map's name without extension.
// Where that exact folder is missing but one differing only in ASCII case exists, that one is
// meant (maps made where names ignore case), unless a map file beside this one or among the
// maps bears that folder's exact name: that folder is the other map's.
QString pictureFolderOfMap(const QString& mapPath);

// A picture cell's bare name as a full path in the folder; empty for an empty name, and with
// mustExist also when the file is missing.
QString resolvePicturePath(const QString& pictureFolder, const QString& name, bool mustExist);

// Map names the programs keep for themselves: the unsaved maps' folders ("新規マップファイル",
// "新規マップファイル_2", ...), the folders pictures are kept aside in and the save's own folder.
bool isReservedName(const QString& mapName);

// Where a start puts the pictures that a run of the program that did not end left unsaved: a
// visible folder in the picture root, "保存されなかった画像_yyMMdd-HHmmss" (or the next free
// "..._2"), made when the first entry is moved there. Each entry keeps its path below the root.
class KeptAside {
public:
    explicit KeptAside(const QString& root);

    // Moves the file or folder at `relative` below the root to the same place in the folder; false
    // (leaving it where it is) when it cannot be moved whole.
    bool take(const QString& relative);
    // Empty while nothing was moved.
    QString folder() const { return m_folder; }
    // What was moved, by its path below the folder.
    QStringList taken() const { return m_taken; }

private:
    QString m_root, m_folder;
    QStringList m_taken;
};

// Empties the folder but for what a running program holds (a picture open in the picture tool is
// never deleted from under it), and removes it when nothing stays; false (with *why) when an
// entry that nobody holds could not be deleted.
bool clearFolder(const QString& folder, QString* why = nullptr);

// The folder of a running program's unsaved map, held by a lock for the program's whole run: the
// first of "新規マップファイル", "新規マップファイル_2", ... "_99" that no running program holds and that
// holds nothing. Only the holder clears or uses it; it is cleared when the holder lets it go (the
// program closed, the user asked about saving), so what such a folder holds when nobody holds it
// is what a run that never ended left: with `aside`, it is moved there (unless a running program
// holds a file in it, then it is left alone). With locks unavailable the first name is taken
// unguarded, with all of them held one named after the process.
class NewMapFolder {
public:
    explicit NewMapFolder(KeptAside* aside = nullptr);
    ~NewMapFolder();
    NewMapFolder(const NewMapFolder&) = delete;
    NewMapFolder& operator=(const NewMapFolder&) = delete;

    QString path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<FileLock> m_lock;
};

// One map is edited by one running program at a time: the hold on a map's picture folder (so two
// map files sharing one folder exclude each other too), by a lock the kernel drops when the
// program dies. The lock file lies in the picture root (the folder itself is swapped by every
// save), named by what the folder is within the root: its name with ASCII case folded, whatever
// path reached the root. The lock file goes when the map is closed.
class MapLock {
public:
    explicit MapLock(const QString& pictureFolder);
    ~MapLock();
    MapLock(const MapLock&) = delete;
    MapLock& operator=(const MapLock&) = delete;

    // Held, or not to be had here (no locks on this file system): only another program's hold
    // stands in the way.
    bool held() const;
    // Whether this lock stands for the folder.
    bool isFor(const QString& pictureFolder) const;

private:
    QString m_root, m_key;
    std::unique_ptr<FileLock> m_lock;
};

// Removes the map locks in the picture root that no running program holds (left by killed ones).
void removeAbandonedLocks(const QString& pictureRoot);

// Another existing map file whose picture folder is `folder`: a map file of that name in the map
// folder, beside `target` or among `history` (paths as stored), that is not `target` itself.
// Empty when none.
QString otherMapOfFolder(const QString& folder, const QString& target, const QStringList& history);

} // namespace MapFolders
