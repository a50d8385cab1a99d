#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// The file operations the programs lean on, each reporting what it did.
namespace FileOps {

// Copies, replacing an existing target. Refuses (false, *error set) a copy of a file onto itself,
// including the same file reached by another spelling or a link. Writes through a temporary file
// in the target's folder and renames it into place, so a failed copy leaves the old target intact.
bool copyFile(const QString& from, const QString& to, QString* error = nullptr);

// Deletes a file; a missing file counts as deleted.
bool deleteFile(const QString& path, QString* error = nullptr);

// Deletes a folder with everything in it; a missing folder counts as deleted.
bool deleteFolder(const QString& path, QString* error = nullptr);

// Renames (moves) a folder; false with *error when the source is missing, the target exists or
// the rename fails.
bool renameFolder(const QString& from, const QString& to, QString* error = nullptr);

// Creates a folder with all missing parents.
bool makeFolder(const QString& path, QString* error = nullptr);

// Writes bytes to a temporary file beside the target, checks every write, syncs it and renames it
// into place; on any failure (a full disk among them) the old file stays and the temporary one goes.
bool writeFileAtomic(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Writes bytes straight into the file (created or emptied), checked and synced; for a file of the
// caller's own that is renamed into place later.
bool writeFileSynced(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Gives `to` the permission bits of `from` when `from` exists; failures are not reported.
void copyMode(const QString& from, const QString& to);

// Whether the user may replace the file: a missing one may be made; an existing one must be
// writable to the user, and one without any write permission counts as protected also for the
// superuser, whom the system would let through.
bool mayReplace(const QString& path);

// Renames a file, replacing an existing target.
bool renameFile(const QString& from, const QString& to, QString* error = nullptr);

// Gives a file a second name by a hard link; where the file system has none, a copy. The target
// must not exist.
bool linkOrCopyFile(const QString& from, const QString& to, QString* error = nullptr);

// Makes what was renamed or created in a folder durable; errors are not reported (not every file
// system syncs folders).
void syncFolder(const QString& path);

// Test seam: every operation that changes the disk asks the hook first. Returning true makes the
// operation fail as a full disk would; a hook may also throw to stop the caller dead, as a kill
// would. No hook: every operation runs.
enum class Op { Write, Rename, Link, Copy, Delete, MakeFolder, DeleteFolder };
using FaultHook = std::function<bool(Op, const QString& path)>;
void setFaultHook(FaultHook hook);

// Full-resolution modification time plus size: the "did the tool change it" test.
struct Stamp {
    bool exists = false;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    bool operator==(const Stamp&) const = default;
};
Stamp stamp(const QString& path);

// Files of a folder (and, with recurse, its sub-folders, depth first) whose extension, lower-cased
// and without the dot, occurs in the lower-cased extension text; an empty text takes every file.
void findFiles(const QString& folder, const QString& extensions, bool recurse, QStringList& list);

// Whether two paths name the same file or folder, ASCII case ignored.
bool samePathIgnoringCase(const QString& a, const QString& b);

} // namespace FileOps
