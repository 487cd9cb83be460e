#pragma once

#include <QIODevice>
#include <QString>

class QFile;

// Shared by the file services: the run-time errors they raise and the
// drive a Windows path lies on.
namespace rio::fs::detail {

// Raises the run-time error number with its description and the path.
[[noreturn]] void raise(qint64 number, const QString& windowsPath);

// Raises the run-time error that stands for a failed system call on hostFile
// (errno value), e.g. 76 when a folder on the way is missing.
[[noreturn]] void raiseSystemError(int systemError, const QString& hostFile, const QString& windowsPath);

// The folder that holds a Windows path ("C:\a\b" -> "C:\a").
QString windowsParentOf(const QString& windowsPath);

// Makes the entries of a folder (names created, removed or renamed in it)
// reach the disk; raises the run-time error naming windowsPath when the
// folder cannot be opened or the sync fails.
void syncFolderEntries(const QString& hostFolder, const QString& windowsPath);

// A link (a symbolic link, or on Windows a junction) is never followed by the
// file services: what it leads to lies outside the folders they work on.
// True when the host path itself is one, even one that leads nowhere.
bool isLink(const QString& hostPath);

// True when anything has that name: a file, a folder or a link, even one
// that leads nowhere.
bool nameTaken(const QString& hostPath);

// Raises "<path> è un collegamento: non viene seguito" (75).
[[noreturn]] void raiseLink(const QString& windowsPath);

// Opens hostPath with the mode (ReadOnly; WriteOnly with Truncate or Append,
// creating the file when absent) without following a link at its name: a
// link there raises the link error. False, with errno set, on any other
// failure.
bool openNoFollow(QFile& file, const QString& hostPath, QIODevice::OpenMode mode, const QString& windowsPath);

// The host folder of the drive (or \\server\share) the path lies on; empty
// for a relative path. Drive C: counts as always present.
QString hostDriveRoot(const QString& windowsPath);

} // namespace rio::fs::detail
