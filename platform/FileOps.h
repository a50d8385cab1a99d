#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSet>
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

// Deletes a folder with everything in it, whatever the bytes of the names inside; a missing folder
// counts as deleted. A link is deleted, never what it names, here or anywhere inside.
bool deleteFolder(const QString& path, QString* error = nullptr);

// Renames (moves) a folder; false with *error when the source is missing, the target exists or
// the rename fails.
bool renameFolder(const QString& from, const QString& to, QString* error = nullptr);

// Creates a folder with all missing parents.
bool makeFolder(const QString& path, QString* error = nullptr);

// Writes bytes to a temporary file beside the target, checks every write, syncs it and renames it
// into place; on any failure (a full disk among them) the old file stays and the temporary one goes.
// Every replacing write (this and copyFile) keeps these rules: a file the user may not write
// (mayReplace) is never replaced; a link is written through to the file it names; the temporary
// name is short, so any name the file system takes can be written; leftovers of killed writes in
// the folder are removed first.
bool writeFileAtomic(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// writeFileAtomic for a file the program keeps for itself (settings, histories): a folder that went
// while the program ran is made again first, as at start-up.
bool writeKeptFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Writes bytes straight into the file (created or emptied), checked and synced; for a file of the
// caller's own that is renamed into place later.
bool writeFileSynced(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Gives `to` the permission bits of `from` when `from` exists; failures are not reported.
void copyMode(const QString& from, const QString& to);

// Whether the user may replace the file: a missing one may be made; an existing one must be
// writable to the user, and one without any write permission counts as protected also for the
// superuser, whom the system would let through.
bool mayReplace(const QString& path);

// Makes `to` and gives it every entry of `from` but the names in `skip`, whatever the bytes of
// their names: files by hard links (copies where the file system has none), links as links,
// folders as new folders of the same mode mirrored in turn, pipes and sockets made again. Dead
// leftovers of killed writes are left out.
bool mirrorFolder(const QString& from, const QString& to, const QSet<QString>& skip, QString* error = nullptr);

// Removes the leftovers of killed writes from the folder (writes under way are left alone).
void removeLeftovers(const QString& folder);

// The file a write to `path` reaches: links followed, also to a file that does not exist yet.
QString writeTarget(const QString& path);

// A document's hold on its file, for the life of the document. A new document claims its name by
// making the file, empty, only where no file of that name is, so that no document of this or
// another program takes the name too; the claim goes again with the document while nothing was
// written into it. Every hold keeps the file open under an flock (the kernel drops it when the
// program dies), which tells a live claim from the leftover of a killed program, and a file put
// in its place from its own.
class FileHold {
public:
    enum class Claim { Made, Taken, Failed };

    FileHold() = default;
    FileHold(FileHold&& other) noexcept;
    FileHold& operator=(FileHold&& other) noexcept;
    ~FileHold() { release(); }

    // Taken: a file (or link) of that name is there, or another program is making it.
    Claim claim(const QString& path, QString* error = nullptr);
    // Holds the file the path now leads to, if any.
    void hold(const QString& path);
    void release();
    bool isClaim() const { return m_claim; }
    // Whether the path leads to another file than the one held (false while nothing is held).
    bool replacedAt(const QString& path) const;

private:
    int m_fd = -1;
    bool m_claim = false;
    QByteArray m_path;
};

// Whether a running program holds the file (a FileHold, or any flock on it): a document open in
// another program, which must not be deleted or moved from under it.
bool isHeld(const QString& path);

// Deletes the claims killed programs left in the folder: empty files whose names `isClaimName`
// takes (raw bytes), held by no one.
void removeAbandonedClaims(const QString& folder, const std::function<bool(const char* name)>& isClaimName);

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

// What a file or folder is, whatever path reached it. Two paths lead to one entry when they reach
// the same device and inode, or the same entry as its folder lists it (a volume that ignores case
// may give "test" and "TEST" inode numbers of their own). False when either is missing.
bool sameEntry(const QString& a, const QString& b);

// The path with links resolved and every name spelt as its folder lists it (a name that matches
// no listed name exactly takes the one listed name equal to it with ASCII case ignored); empty
// when the path does not exist.
QString listedPath(const QString& path);

// The most a reader takes of each kind of file, checked before anything is read; each is well
// above the largest file of its kind the programs make or take.
namespace ReadLimit {
// Map files (62 rows of seven items of at most 32767 characters, at most two bytes each: under
// 30 MB) and scratch pages.
inline constexpr qint64 Text = qint64(64) << 20;
// Settings and histories (values are cut at 2047 characters, histories hold a dozen lines).
inline constexpr qint64 Settings = qint64(16) << 20;
// BMP and JPEG files: a picture is capped at 120 million pixels, 480 MB as a 32-bit bitmap.
inline constexpr qint64 Picture = qint64(1024) << 20;
} // namespace ReadLimit

// Reads a user's file whole: only a regular file (never a pipe, device or socket, which could
// block or never end), opened without blocking, and only when it holds at most maxBytes. False
// with *error ("読み込めません: path (reason)") and *reason (the reason alone, for a reader's own
// message) otherwise; bytes is then empty.
bool readFile(const QString& path, qint64 maxBytes, QByteArray& bytes, QString* error = nullptr,
              QString* reason = nullptr);

// The first `count` bytes (all of a shorter file) of a user's file, whatever its size, under the
// same rules as readFile: for a reader that looks at a file's start only.
bool readFileStart(const QString& path, qint64 count, QByteArray& bytes, QString* error = nullptr,
                   QString* reason = nullptr);

// A file's content as the program last read or wrote it: "is the file as we left it" is answered
// by the content, never by a time stamp (a FAT volume's clock moves in 2-second steps, a picture of
// one size always has one length).
struct Seen {
    bool exists = false;
    qint64 size = 0;
    QByteArray digest;
    bool operator==(const Seen&) const = default;
};
// What a file holding these bytes is.
Seen seenOf(const QByteArray& bytes);
// The file as it is now (read through readFile with the limit); a file that cannot be read is
// seen as existing with an empty digest, which no content matches.
Seen seen(const QString& path, qint64 maxBytes = ReadLimit::Picture);
// Whether the file's content (or its existence) differs from what was seen.
bool changedSince(const QString& path, const Seen& before, qint64 maxBytes = ReadLimit::Picture);

} // namespace FileOps
