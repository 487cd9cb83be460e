#include "run/preliminary_check_archive.h"

#include "context/layout.h"
#include "data/database.h"
#include "data/filesystem.h"
#include "data/installation_lock.h"
#include "data/interrupted_write.h"
#include "data/product_schema.h"
#include "init/inizializzazione.h" // the table probe: tables are found as the initialisation finds them
#include "run/probes.h"

#include <exception>

namespace rio {

QString describe(const Error& e)
{
    return QStringLiteral("errore %1 (%2)").arg(e.number()).arg(e.description());
}

namespace {

bool hasTable(Connection& archive, const QString& table)
{
    return gEsistenza_Tabella(&archive, Value(table));
}

// The engine's own check of every page of the archive: a damaged page would
// stop the run half-way, after the safety copy had taken the same damage.
// Returns whether the archive is sound enough to read further.
// found: what a check run ahead found, when it ran.
bool checkIntegrity(Checker& check, Connection& archive, const QString& company, const QString& archivePath,
                    const std::optional<QStringList>& found)
{
    const QStringList problems = found ? *found : integrityFindings(archive);
    if (problems.isEmpty())
        return true;
    check.add(Level::Error,
              QStringLiteral("%2: l'archivio %1 %3 è danneggiato (controllo di integrità: %4): ripararlo "
                             "o ripristinarne una copia integra prima della riapertura")
                  .arg(layout::AnnoInCorso)
                  .arg(company, archivePath, problems.join(QStringLiteral("; "))));
    return false;
}

// A lock file or the side files of an interrupted write; returns whether the
// archive may be opened. Opening it after an interrupted write would play a
// hot journal back and change the file: the check only says so, the run
// recovers it before the safety copy. A journal that is not hot is never
// played back: the archive opens as it is.
bool checkLocks(Checker& check, const QString& company, const QString& archivePath)
{
    const QString lockFile =
        archivePath.left(archivePath.lastIndexOf(QLatin1Char('\\')) + 1) + QStringLiteral("dati.ldb");
    if (!fs::Dir(lockFile).isEmpty())
        check.add(Level::Error,
                  QStringLiteral("%2: l'archivio %1 è in uso (file di blocco dati.ldb presente)")
                      .arg(layout::AnnoInCorso)
                      .arg(company));
    switch (leftoverJournal(archivePath)) {
    case LeftoverJournal::None:
        return true;
    case LeftoverJournal::NotHot:
        if (!archiveHeldElsewhere(archivePath))
            check.add(
                Level::Warning,
                QStringLiteral("%2: il file %3-journal è rimasto da una riapertura interrotta prima che "
                               "l'archivio %1 fosse modificato: sarà rimosso all'inizio della "
                               "riapertura")
                    .arg(layout::AnnoInCorso)
                    .arg(company, archivePath.section(QLatin1Char('\\'), -1)));
        return true; // a program that holds it is found once it is open
    case LeftoverJournal::Hot:
        break;
    }
    if (archiveHeldElsewhere(archivePath))
        check.add(Level::Error, QStringLiteral("%2: l'archivio %1 è in uso da un altro programma, che vi sta "
                                               "scrivendo: chiuderlo prima della riapertura")
                                    .arg(layout::AnnoInCorso)
                                    .arg(company));
    else
        check.add(Level::Warning,
                  QStringLiteral("%1: una riapertura precedente è stata interrotta: l'archivio sarà "
                                 "ripristinato all'inizio della riapertura")
                      .arg(company));
    return false;
}

// The tables the run reads, and CAUSALI, whose absence leaves no document
// table to empty.
void checkTables(Checker& check, Connection& archive, const QString& company)
{
    // Without these the run stops at this company.
    QStringList missing;
    for (const char* t : {"AZIENDE", "ANAG_ART", "MOV_MAG"})
        if (!hasTable(archive, QLatin1String(t)))
            missing << QLatin1String(t);
    if (!missing.isEmpty())
        check.add(
            Level::Error,
            QStringLiteral("%1: tabelle mancanti: %2").arg(company, missing.join(QStringLiteral(", "))));
    // Without these a step reports its failure and the run goes on.
    if (!hasTable(archive, QStringLiteral("MOV_CONT")))
        check.add(Level::Warning,
                  QStringLiteral("%1: tabella MOV_CONT assente: nessuna partita aperta sarà riportata")
                      .arg(company));
    if (!hasTable(archive, QStringLiteral("CONTATORI")))
        check.add(
            Level::Warning,
            QStringLiteral("%1: tabella CONTATORI assente: il nuovo archivio non sarà inizializzato e non "
                           "riceverà movimenti")
                .arg(company));
    if (missing.isEmpty() && hasTable(archive, QStringLiteral("MOV_CONT")) &&
        hasTable(archive, QStringLiteral("CONTATORI")))
        check.add(Level::Ok, QStringLiteral("%1: tabelle necessarie presenti").arg(company));
    if (!hasTable(archive, QStringLiteral("CAUSALI")))
        check.add(Level::Warning,
                  QStringLiteral("%1: tabella CAUSALI assente, nessuna tabella documenti da svuotare")
                      .arg(company));
}

// The company's name as every spreadsheet line repeats it, in bytes.
qint64 companyNameBytes(Connection& archive, const QString& company)
{
    if (!hasTable(archive, QStringLiteral("AZIENDE")))
        return 0;
    Query row(archive,
              QStringLiteral("select Ragione_Sociale1 from AZIENDE where ID_Azienda='%1'").arg(company));
    row.exec();
    const qint64 bytes = row.next() ? textOrEmpty(row.value(0)).toUtf8().size() : 0;
    row.finish();
    return bytes;
}

// The company's own AZIENDE row, without which the run stops.
void checkCompanyRow(Checker& check, Connection& archive, const QString& company)
{
    if (!hasTable(archive, QStringLiteral("AZIENDE")))
        return;
    Query row(archive,
              QStringLiteral("select Ragione_Sociale1 from AZIENDE where ID_Azienda='%1'").arg(company));
    row.exec();
    if (row.next())
        check.add(
            Level::Ok,
            QStringLiteral("%1: anagrafica azienda presente (%2)").arg(company, textOrEmpty(row.value(0))));
    else
        check.add(Level::Error, QStringLiteral("%1: manca la riga '%1' nella tabella AZIENDE: la riapertura "
                                               "si interromperebbe")
                                    .arg(company));
    row.finish();
}

// Every counter field the run sets in CONTATORI.
void checkCounterFields(Checker& check, Connection& archive, const QString& company)
{
    if (!hasTable(archive, QStringLiteral("CONTATORI")))
        return;
    const TableSchema& counters = archive.schema(QStringLiteral("CONTATORI"));
    QStringList absent;
    for (const QString& field : schema::counterFields())
        if (!counters.find(field))
            absent << field;
    if (!absent.isEmpty())
        check.add(Level::Warning, QStringLiteral("%1: campi mancanti in CONTATORI: %2: il nuovo archivio non "
                                                 "sarà inizializzato e non riceverà movimenti")
                                      .arg(company, absent.join(QStringLiteral(", "))));
}

// An archive found sound: its tables, its AZIENDE row and counter fields,
// what the steps will refuse or flag, and whether another program holds it.
void reviewArchive(Checker& check, Connection& archive, const QString& company, CompanyVolume& volume,
                   const QString& connectionString)
{
    checkTables(check, archive, company);
    checkCompanyRow(check, archive, company);
    checkCounterFields(check, archive, company);
    checkWhatStepsFlag(check, archive, company, volume, connectionString);
    volume.nameBytes = companyNameBytes(archive, company);
    if (archiveInUse(archive))
        check.add(Level::Error, QStringLiteral("%2: l'archivio %1 è in uso da un altro programma")
                                    .arg(layout::AnnoInCorso)
                                    .arg(company));
}

} // namespace

void checkArchive(Checker& check, const QString& workgroup, int slot, const QString& archivePath,
                  CompanyVolume& volume, IntegrityAhead* ahead, const QString& nextArchivePath)
{
    const QString company = QStringLiteral("Azienda_%1").arg(slot);
    // Ended before the locks are looked at: its connection is closed.
    const std::optional<QStringList> checkedAhead =
        ahead ? ahead->take(check, archivePath) : std::optional<QStringList>();
    if (!checkLocks(check, company, archivePath))
        return;
    // None ran ahead (the first archive): this one's own runs beside its
    // review, whose findings wait for it.
    IntegrityAhead own;
    if (ahead && !checkedAhead)
        own.start(workgroup, archivePath);
    try {
        Connection archive;
        archive.open(layout::archiveConnectionString(archivePath, workgroup));
        useCheckCache(archive);
        // The integrity check and the reads over the movements are single
        // statements of a second or more on a big archive.
        archive.setWhileBusy([&check] { check.yield(); });
        check.add(Level::Ok, QStringLiteral("%2: l'archivio %1 si apre con l'utente del programma")
                                 .arg(layout::AnnoInCorso)
                                 .arg(company));
        const QString connection = layout::archiveConnectionString(archivePath, workgroup);
        if (!own.started()) {
            if (!checkIntegrity(check, archive, company, archivePath, checkedAhead))
                return;
            if (ahead && !nextArchivePath.isEmpty())
                ahead->start(workgroup, nextArchivePath);
            reviewArchive(check, archive, company, volume, connection);
            return;
        }
        if (!nextArchivePath.isEmpty())
            ahead->start(workgroup, nextArchivePath);
        // A damaged archive is reviewed no further: what its review found,
        // or raised, and the rows it counted are dropped.
        Checker review = check.heldBack();
        const CompanyVolume before = volume;
        std::exception_ptr failure;
        try {
            reviewArchive(review, archive, company, volume, connection);
        } catch (const Error&) {
            failure = std::current_exception();
        }
        if (!checkIntegrity(check, archive, company, archivePath, own.take(check, archivePath))) {
            volume = before;
            return;
        }
        review.addTo(check);
        if (failure)
            std::rethrow_exception(failure);
    } catch (const Error& e) {
        check.add(Level::Error, QStringLiteral("%2: l'archivio %1 non si apre: %3")
                                    .arg(layout::AnnoInCorso)
                                    .arg(company, describe(e)));
    }
}

void checkNewArchive(Checker& check, int slot, const QString& newArchivePath)
{
    if (archiveHeldElsewhere(newArchivePath))
        check.add(Level::Error,
                  QStringLiteral("Azienda_%1: l'archivio %2 è in uso da un altro programma: la riapertura lo "
                                 "sostituirebbe mentre è aperto; chiuderlo prima della riapertura")
                      .arg(slot)
                      .arg(layout::AnnoDaAprire));
}

void checkRunInProgress(Checker& check, const QString& base)
{
    if (const std::optional<InstallationLock::Holder> holder = InstallationLock::heldElsewhere(base))
        check.add(Level::Warning, InstallationLock::busyText(*holder));
}

} // namespace rio
