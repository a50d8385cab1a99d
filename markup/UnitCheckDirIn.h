#pragma once

#include <QString>

// Where a path really leads: each existing part is followed through links as the system would
// follow it, and ".." steps out of the folder it actually stands in. Empty when a part is a
// dangling link (nothing can say where it leads).
QString RealPath(const QString& path);

// Whether the path lies in the folder at any depth, judged on real paths, so neither ".." nor a
// link carries it out; the folder itself gives folderItself.
bool IsPathInFolder(const QString& folder, const QString& path, bool folderItself);
