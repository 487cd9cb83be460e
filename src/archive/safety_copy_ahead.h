#pragma once

#include "data/manifest.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>
#include <future>

namespace rio {

// The name the safety copy started at `started` takes under root (a Windows
// path ending in "\"): Copia_dati_<ddmmyyyy>, else with _hhmmss and then _n,
// the first not taken by anything (a file, a link even to nowhere), so that
// a copy never goes over another.
QString freeCopyFolder(const QString& root, const QDateTime& started);

// The working name, not yet taken, of the copy that will be named finalPath:
// "Copia_in_corso_" before its name, so that a copy cut short is never taken
// for one.
QString freeWorkingFolder(const QString& root, const QString& finalPath);

// Copies the folder source into the new folder working with the manifest of
// every file, makes it reach the disk (its pages then dropped from the cache)
// and reads it back from the disk against the manifest. whileCopying runs
// between files and every few MiB of the copy; afterwards while the copy is
// synced and between the files read back. Raises the copy's error, or 75
// naming the files of the copy that differ; the folder is then left to the
// caller. Returns the manifest, already written into the copy.
fs::Manifest copyAndReadBack(const QString& source, const QString& working,
                             const std::function<void()>& whileCopying,
                             const std::function<void()>& afterwards);

// The safety copy of the data folder begun before the check that gates the
// run, on a thread of its own: copying, hashing, syncing and reading back the
// data folder takes about as long as the check, and both only read the
// archives. Until the run takes it (COPIO_CARTELLA_SALVATAGGIO), the copy
// stays under its working name and belongs to this object alone: a copy not
// taken (the check refused the run, the run stopped or ended before its copy)
// is stopped and removed by discard() or, at the latest, the destructor, so
// that a refused run leaves nothing behind.
class SafetyCopyAhead
{
public:
    SafetyCopyAhead() = default;
    ~SafetyCopyAhead();
    SafetyCopyAhead(const SafetyCopyAhead&) = delete;
    SafetyCopyAhead& operator=(const SafetyCopyAhead&) = delete;

    // Begins copying dataFolder (a Windows path) under root, into a working
    // folder named for the time now. Returns false, having written nothing,
    // when a copy was already begun or no thread can be had.
    bool start(const QString& root, const QString& dataFolder);
    // A copy was begun and is neither taken nor discarded.
    bool pending() const { return m_work.valid(); }
    const QString& root() const { return m_root; }
    const QString& source() const { return m_source; }
    const QString& workingPath() const { return m_working; }
    const QDateTime& startedAt() const { return m_started; }

    // Waits for the copy to end, calling whileWaiting every few tens of
    // milliseconds, and hands it over: from then on the working folder is the
    // caller's. The data folder's Tmp, where the run has begun its log since,
    // is copied now, as it is (the copy begun leaves it out). Returns the
    // manifest of the whole copy, on disk and read back from it; raises the
    // copy's error, the working folder then left to the caller to remove. An
    // exception from whileWaiting while the copy runs leaves it pending.
    // Only while pending().
    fs::Manifest take(const std::function<void()>& whileWaiting);

    // Stops a pending copy, waits for its thread (calling whileWaiting every
    // few tens of milliseconds: a sync under way ends first) and removes its
    // working folder. Returns whether nothing of it is left (nothing
    // pending: true). Raises nothing.
    bool discard(const std::function<void()>& whileWaiting = {});

private:
    void copy();

    QString m_root;
    QString m_source;
    QString m_working;
    QDateTime m_started;
    fs::Manifest m_manifest;
    std::atomic<bool> m_stop = false;
    std::future<void> m_work;
};

} // namespace rio
