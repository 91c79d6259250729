#pragma once
// Whether a file may be written by us and whether another program has it open: the attribute and
// share-mode tests on Windows, permissions, advisory locks and office lock files elsewhere.

#include "FileOps.h"

#include <QString>

namespace Platform {

// True when the file exists and is read-only: on Windows its read-only attribute; elsewhere the
// current user may not write it, or it carries no write permission at all (so that a file marked
// read-only counts as such even for the administrator, who could write it anyway). False when in
// doubt.
bool IsFileReadOnly(const QString &APath);

// True when the file exists and another program holds it: it cannot be opened for reading and
// writing exclusively (Windows: no sharing; elsewhere: an exclusive, non-blocking lock fails or
// another process holds a record lock), or, outside Windows, a lock file of an office suite sits
// beside it ("~$" + name, ".~lock." + name + "#"). A file that cannot be opened for writing at all
// also counts, which is why callers test read-only first.
bool IsFileLocked(const QString &APath);

// The part of IsFileLocked that sees a program actually holding the file open (no lock files).
// When true and AWhy is given, it holds the system's sharing error.
bool IsFileHeldOpen(const QString &APath, TOsError *AWhy = nullptr);

// True when one of the lock files office suites leave beside a document they have open exists.
bool HasOfficeLockFile(const QString &APath);

} // namespace Platform
