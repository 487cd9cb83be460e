#pragma once

#include <QString>

namespace rio {

class Connection;

// What the check before the run asks of files and archives, each answered
// without writing anything.

// Whether this program may write a file, or create files in a folder (a host
// path): the system's own access test, which also sees read-only mounts and
// files marked immutable, even for root. A path that does not exist is not
// writable.
bool canWrite(const QString& hostPath);

// True when another program holds a lock on the archive, reading or writing:
// the exclusive lock a commit needs cannot be had. The empty transaction is
// undone; nothing is written.
bool archiveInUse(Connection& archive);

// Bytes of every file under a host folder.
qint64 folderSize(const QString& hostFolder);

} // namespace rio
