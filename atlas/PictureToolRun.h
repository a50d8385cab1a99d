#pragma once

#include "FileOps.h"

#include <QString>

namespace MapFolders {
class KeptAside;
}

// A picture-edit command's run of the picture tool on a working copy: what the run brought, and
// the record by which a later start deals with a run that never ended.
namespace PictureToolRun {

// What the run brought, decided from the files themselves, never from a time stamp (on a FAT
// volume a save within the clock's step leaves the stamp, and a picture of one size always has one
// length): the working copy when the tool handed its name back as saved, by whatever spelling;
// another picture the tool handed back as saved; else the working copy when its content differs
// from the bytes it was made with. Empty when the run brought nothing, which is also the test that
// a working copy was never used. `handedBack` is the name of a saved picture only (the notice of a
// picture only opened never gets this far), already found readable.
QString result(const QString& workingCopy, const FileOps::Seen& asMade, const QString& handedBack);

// The record of a run under way: a small file in the picture root, held for the run, naming the
// working copy by its path below the root and its content as made. A record nobody holds belongs
// to a run that never ended (its program died).
class Record {
public:
    Record() = default;
    // The record goes with the object, as when the run's result has been dealt with.
    ~Record() { end(); }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    // False when no record could be written (the run goes on without one).
    bool begin(const QString& root, const QString& workingCopy, const FileOps::Seen& asMade);
    // The run's result has been dealt with: the record goes.
    void end();
    // The working copy stays in a running program's hands: the record stays, unheld, for a later
    // start to deal with.
    void leave();
    QString path() const { return m_path; }

private:
    QString m_path;
    FileOps::FileHold m_hold;
};

// The file name of a record ("." and "~" first, as the program's other files in the root).
bool isRecordName(const QString& fileName);

// The records in the root that nobody holds (at start, and before a saved map is opened): a
// working copy changed from what it was made with is moved aside, an unchanged one deleted, and
// the record goes; a working copy a running program holds stays, with its record, for a later
// start.
void recoverDeadRuns(const QString& root, MapFolders::KeptAside& aside);

} // namespace PictureToolRun
