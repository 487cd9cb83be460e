#pragma once

#include <QString>

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

// The host folder of the drive (or \\server\share) the path lies on; empty
// for a relative path. Drive C: counts as always present.
QString hostDriveRoot(const QString& windowsPath);

} // namespace rio::fs::detail
