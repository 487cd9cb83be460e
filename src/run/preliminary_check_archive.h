#pragma once

#include "context/host.h"
#include "data/error.h"
#include "run/preliminary_check.h"
#include "run/preliminary_space.h"

#include <QString>
#include <QStringList>

#include <future>
#include <optional>

namespace rio {

class Connection;

using Level = PreliminaryFinding::Level;

// The findings of one check as it goes: each finding is kept and, unless the
// check is silent, shown as an event line.
class Checker
{
public:
    Checker(Host& host, bool silent) : m_host(host), m_silent(silent) {}

    void add(Level level, const QString& text)
    {
        PreliminaryFinding f{level, text};
        m_result.findings << f;
        if (m_silent)
            return;
        if (level == Level::Ok)
            m_host.addEvent(f.line());
        else
            m_host.addMarkedEvent(f.line(), {level == Level::Error ? Tone::Error : Tone::Warning, false});
    }
    // Lets the window repaint: called between rows and, through the archive
    // connection's whileBusy, inside every long statement of the engine.
    void yield() { m_host.yield(); }
    void setSpace(const SpaceFigure& space) { m_result.space = space; }
    // Findings held back: a checker on the same screen whose findings are
    // shown only once added to another (addTo), in their order.
    Checker heldBack() const
    {
        Checker held(m_host, true);
        held.m_stockReadings = m_stockReadings;
        return held;
    }
    // Where the review leaves its readings of the stock (none: not kept).
    void keepStockReadingsIn(StockReadings* readings) { m_stockReadings = readings; }
    StockReadings* stockReadings() const { return m_stockReadings; }
    void addTo(Checker& other) const
    {
        for (const PreliminaryFinding& f : m_result.findings)
            other.add(f.level, f.text);
    }
    PreliminaryCheck result() const { return m_result; }

private:
    Host& m_host;
    bool m_silent;
    StockReadings* m_stockReadings = nullptr;
    PreliminaryCheck m_result;
};

// "errore <n> (<descrizione>)", for a finding.
QString describe(const Error& e);

// "12,3 MB".
QString megabytes(qint64 bytes);

// The free space on the root's drive (or the one options simulate) against
// what is needed: ERRORE when short. Raises the file services' errors.
void checkFreeSpace(Checker& check, const QString& base, qint64 needed, const PreliminaryOptions& options);

// The same for a rehearsal whose scratch copy goes in parent: the copy, the
// new year's folders and a journal on its drive, the report on the root's (one
// figure when they share a drive). Raises the file services' errors.
void checkScratchSpace(Checker& check, const QString& base, const QString& parent, const SpaceFigure& space,
                       const PreliminaryOptions& options);

// "cartella dati mancante: ...", and where an interrupted restore set it aside.
QString missingDataFolderText(const QString& base);

// Every link the run or a restore would otherwise be led through, one ERRORE
// each naming it and where it leads: under the data folder, and at the names
// written beside it under the root (the data folder itself, today's safety
// copies, the restore's copy in progress, the data folders set aside). Reads
// names only.
void checkLinks(Checker& check, const QString& base);

// Gives a connection of the check a page cache of a few megabytes: the
// check reads each table once or twice, mostly in file order, and a cache
// the size of the archive would only add heap memory, whose first use costs
// more than reading the pages again. Where the engine refuses, the cache
// stays as it was.
void useCheckCache(Connection& archive);

// What the engine's own check finds wrong in an open archive (the first
// three problems), or the error that stopped it; empty when sound.
QStringList integrityFindings(Connection& archive);

// The integrity check of the next archive, run on a second thread over a
// connection of its own while the caller reviews the current one: its
// findings are taken, and said, in their turn. One at a time.
class IntegrityAhead
{
public:
    IntegrityAhead() = default;
    ~IntegrityAhead(); // waits for a check still running
    IntegrityAhead(const IntegrityAhead&) = delete;
    IntegrityAhead& operator=(const IntegrityAhead&) = delete;

    // Starts the check of archivePath unless one is running or a journal
    // lies beside the archive (opening could play it back); nothing is
    // started where no thread can be had.
    void start(const QString& workgroup, const QString& archivePath);
    // Whether a check was started and not yet taken.
    bool started() const { return m_result.valid(); }
    // Ends the check started, waiting for it while the window yields (its
    // connection is then closed), and returns its findings for archivePath;
    // nullopt when none was started for it or it could not open the
    // archive: the caller checks it itself.
    std::optional<QStringList> take(Checker& check, const QString& archivePath);

private:
    QString m_archive;
    std::future<std::optional<QStringList>> m_result;
};

// One company's archive of the old year: not locked, opens with the program's account,
// passes the engine's integrity check, holds its AZIENDE row, the tables and
// fields the run reads, and no other program holds it; what the steps will
// refuse or flag (checkWhatStepsFlag). Fills volume's rows. Opens nothing
// beside a hot journal (opening would play it back); a journal never synced
// is reported as one the run removes. With ahead given: takes the integrity
// check it ran for this archive (before looking at the locks), and once this
// archive is found sound starts there the check of nextArchivePath (when
// not empty) while this one is reviewed.
void checkArchive(Checker& check, const QString& workgroup, int slot, const QString& archivePath,
                  CompanyVolume& volume, IntegrityAhead* ahead = nullptr,
                  const QString& nextArchivePath = {});

// What the steps will refuse or flag, read with the steps' own rules: an
// article without code (ERRORE: the stock recomputation stops), twin codes
// and codes with blanks (ATTENZIONE: stock to check by hand), open items
// the accounting writer refuses (ATTENZIONE: to enter by hand), each with
// its count and the first rows named. Fills volume's row counts. With
// asideConnection (the archive's connection string), the open items are read
// on a second thread over a connection of their own while the articles are
// read here, the findings keeping their order; the connection is closed on
// return.
void checkWhatStepsFlag(Checker& check, Connection& archive, const QString& company, CompanyVolume& volume,
                        const QString& asideConnection = {});

// One company's existing new-year archive, which the run replaces: ERRORE when
// another program holds it. Reads nothing of it: a journal beside it is
// never played back.
void checkNewArchive(Checker& check, int slot, const QString& newArchivePath);

// While another run or restore holds the installation: ATTENZIONE, with what
// that run would refuse. Writes nothing.
void checkRunInProgress(Checker& check, const QString& base);

} // namespace rio
