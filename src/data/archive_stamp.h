#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace rio {

class Connection;

// An archive's state as a connection reads it, as far as its file tells:
// the engine's change counter, which every commit that changes the file
// moves on, with the file's size and the times it was last written and
// last changed. Two equal stamps, each taken inside a read transaction, say
// that no commit came between the two reads.
struct ArchiveStamp
{
    QString file; // the file on this machine
    quint32 changes = 0;
    qint64 size = 0;
    qint64 writtenMs = 0;
    qint64 changedMs = 0;
    bool operator==(const ArchiveStamp&) const = default;
};

// The stamp of the main archive of c, which must be inside a transaction
// (begun with beginTrans); its first read there is made here when none was
// yet, so that from now to the transaction's end no other connection can
// commit to the file. nullopt when the file does not say: a connection
// through ODBC, no transaction, a write-ahead log (whose commits leave the
// counter as it was), or a read that fails.
std::optional<ArchiveStamp> archiveStamp(Connection& c);

} // namespace rio
