#pragma once

#include <QString>

// Every folder and file the programs keep is found from the running program's own folder.
namespace ProgramFolder {

// The program folder with a trailing "/". Defaults to the executable's folder.
QString path();

// Tests point the program at a temporary folder; an empty path goes back to the default.
void setOverride(const QString& folder);

// Makes a path relative to the program folder (toRelative) or absolute from it. A path on another
// root (a different drive, or a relative path in the relative direction) stays as it is; a path
// that already has a root stays as it is in the absolute direction. "\" is read as "/"; the result
// uses "/". Leading folder names compare without regard to ASCII case.
QString resolveExeRelativePath(const QString& path, bool toRelative);

// "\" read as "/", so a stored Windows-style path names the same file.
QString fromStoredPath(const QString& path);

} // namespace ProgramFolder
