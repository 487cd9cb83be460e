#pragma once

#include <QString>

namespace rio {

enum class FileKind { Sqlite, Jet, Unknown };

// What a database file is, by its header.
FileKind fileKind(const QString& hostFile);

// A "file:" URI for Qt's SQLite driver, so that the open mode is ours to set
// ("rw" never creates a file, "ro" never writes one).
QString sqliteUri(const QString& hostFile, const QString& mode);

} // namespace rio
