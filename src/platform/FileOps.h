#pragma once
// File operations whose behaviour differs per operating system and that must report the system's
// own error: removing, flushing to disk, and moving a file onto another, replacing it.

#include <QString>

namespace Platform {

// An operating-system failure: the system's error code and its text.
struct TOsError {
  int Code = 0;
  QString Text;
};

// The calling thread's last system error (GetLastError on Windows, errno elsewhere) with its text.
TOsError LastOsError();
// The text the system gives for ACode.
TOsError OsError(int ACode);

// Removes the file (or symbolic link) at APath. True when nothing is left there, also when nothing
// was there to begin with; a folder at APath is not removed and gives false.
bool RemoveFile(const QString &APath, TOsError *AError = nullptr);

// Forces the file's data to the disk, so that a rename done afterwards can never expose a file
// whose blocks were not written yet.
bool SyncFile(const QString &APath, TOsError *AError = nullptr);

// Moves ASource onto ATarget, replacing an existing target. Within one file system this is a single
// atomic rename; where the system cannot rename across file systems the data is copied to a
// temporary file beside the target first, which then replaces the target in one step. The source is
// gone on success and untouched on failure.
bool MoveFileReplace(const QString &ASource, const QString &ATarget, TOsError *AError = nullptr);

} // namespace Platform
