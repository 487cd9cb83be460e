#pragma once

#include <QString>

// What an interrupted write leaves beside an archive, and whether another
// program holds the archive, as the engine itself judges both: the check
// before a run and the run's own recovery read them from here, so that the
// two never disagree.
namespace rio {

// The journal or write-ahead log beside a database file, judged before any
// lock is taken.
enum class LeftoverJournal {
    None, // no journal, no write-ahead log with anything in it
    // A write-ahead log, or a rollback journal whose header was synced (its
    // first byte is not zero): the archive may hold half a write, and the
    // engine plays the journal back at the next open when no other
    // connection holds the archive.
    Hot,
    // A rollback journal whose header is still zero, or an empty one (a
    // write killed before its first byte): the engine writes the header's
    // magic only when it syncs the journal, and it writes nothing to the
    // archive before that sync. The archive is as the last commit left
    // it; the engine never plays this journal back and never removes it
    // either, until a write of its own replaces it.
    NotHot,
};

// Reads the first byte of the journal; never opens the archive. A journal
// that cannot be read counts as Hot, so that it is never removed unread.
LeftoverJournal leftoverJournal(const QString& windowsArchivePath);

// True when another program (or another connection of this one) holds a
// lock on the archive, reading or writing: the exclusive lock a commit
// needs cannot be had. Takes the engine's own file locks without reading
// the archive, so a hot journal is not played back and nothing is written.
// False for a file that is not an SQLite database or cannot be opened (the
// open itself says what is wrong with it).
bool archiveHeldElsewhere(const QString& windowsArchivePath);

enum class ArchiveRecovery {
    Nothing,        // no journal
    PlayedBack,     // a hot journal: the archive is back to its last commit
    JournalRemoved, // a journal never synced: removed, the archive untouched
};

// When the archive the connection string names has a journal or write-ahead
// log left by an interrupted write: a hot one is played back by opening the
// archive once; one that is not hot is removed while this program holds the
// engine's exclusive lock on the archive. Raises EngineFailure when another
// program holds the archive (the journal is its write in progress), when it
// cannot be opened, or when the journal is still there after.
ArchiveRecovery recoverInterruptedArchive(const QString& connectionString);

} // namespace rio
