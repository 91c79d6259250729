#pragma once
// Where the program keeps its settings and logs: beside the executable for portable use, or the
// user's configuration and data folders when the executable's folder is not writable.

#include <QString>

namespace AppPaths {
// Folder of the running executable.
QString ExecutableDir();
// Full path of the settings file.
QString SettingsFile();
// Folder of the daily log files.
QString LogDir();
// True when a file can be created in ADir (tested by creating and removing a probe file).
bool IsDirWritable(const QString &ADir);
} // namespace AppPaths
