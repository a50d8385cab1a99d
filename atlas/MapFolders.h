#pragma once

#include <QString>

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

} // namespace MapFolders
