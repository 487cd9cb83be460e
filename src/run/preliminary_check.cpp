#include "run/preliminary_check.h"

#include "context/host.h"
#include "context/layout.h"
#include "context/run_state.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/product_schema.h"
#include "init/inizializzazione.h" // the table probe: tables are found as the initialisation finds them
#include "run/probes.h"
#include "run/run.h"

#include <QFileInfo>
#include <QStorageInfo>

namespace rio {

namespace {

using Level = PreliminaryFinding::Level;

class Checker
{
public:
    Checker(Host& host, bool silent) : m_host(host), m_silent(silent) {}

    void add(Level level, const QString& text)
    {
        PreliminaryFinding f{level, text};
        m_result.findings << f;
        if (!m_silent)
            m_host.addEvent(f.line());
    }
    PreliminaryCheck result() const { return m_result; }

private:
    Host& m_host;
    bool m_silent;
    PreliminaryCheck m_result;
};

QString describe(const Error& e)
{
    return QStringLiteral("errore %1 (%2)").arg(e.number()).arg(e.description());
}

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1)
               .replace(QLatin1Char('.'), QLatin1Char(',')) +
           QStringLiteral(" MB");
}

bool hasTable(Connection& archive, const QString& table)
{
    return gEsistenza_Tabella(&archive, Value(table));
}

// A file or folder the run will write: seen without writing anything.
void checkWritable(Checker& check, const QString& what, const QString& windowsPath)
{
    if (!canWrite(fs::hostPath(windowsPath)))
        check.add(Level::Error,
                  QStringLiteral("%1 non è scrivibile (sola lettura o protetto): %2").arg(what, windowsPath));
}

// An article without its code stops the stock recomputation of the company.
void checkArticleCodes(Checker& check, Connection& archive, const QString& company)
{
    if (!hasTable(archive, QStringLiteral("ANAG_ART")))
        return;
    Query position(archive, QStringLiteral("select count(*) from ANAG_ART where rowid <= (select min(rowid) "
                                           "from ANAG_ART where CodArt is null)"));
    position.exec();
    position.moveFirst();
    const qint64 row = qint64(numberOf(position.value(0)));
    position.finish();
    if (row > 0)
        check.add(Level::Error,
                  QStringLiteral("%1: l'articolo alla riga %2 di ANAG_ART non ha codice (CodArt "
                                 "vuoto): la riapertura si interromperebbe")
                      .arg(company)
                      .arg(row));
}

// A lock file or the side files of an interrupted write; returns whether the
// archive may be opened. Opening it after an interrupted write would play
// the journal back and change the file: the check only says so, the run
// recovers it before the safety copy.
bool checkLocks(Checker& check, const QString& company, const QString& archivePath)
{
    const QString lockFile =
        archivePath.left(archivePath.lastIndexOf(QLatin1Char('\\')) + 1) + QStringLiteral("dati.ldb");
    if (!fs::Dir(lockFile).isEmpty())
        check.add(
            Level::Error,
            QStringLiteral("%1: l'archivio 2023 è in uso (file di blocco dati.ldb presente)").arg(company));
    if (fs::hasArchiveSideFiles(archivePath)) {
        check.add(Level::Warning,
                  QStringLiteral("%1: una riapertura precedente è stata interrotta: l'archivio sarà "
                                 "ripristinato all'inizio della riapertura")
                      .arg(company));
        return false;
    }
    return true;
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

// One company's 2023 archive: not locked, opens with the program's account,
// holds its AZIENDE row and the tables and fields the run reads, and no other
// program holds it.
void checkArchive(Checker& check, const QString& workgroup, int slot, const QString& archivePath)
{
    const QString company = QStringLiteral("Azienda_%1").arg(slot);
    if (!checkLocks(check, company, archivePath))
        return;
    try {
        Connection archive;
        archive.open(layout::archiveConnectionString(archivePath, workgroup));
        check.add(Level::Ok,
                  QStringLiteral("%1: l'archivio 2023 si apre con l'utente del programma").arg(company));
        checkTables(check, archive, company);
        checkCompanyRow(check, archive, company);
        checkArticleCodes(check, archive, company);
        checkCounterFields(check, archive, company);
        if (archiveInUse(archive))
            check.add(Level::Error,
                      QStringLiteral("%1: l'archivio 2023 è in uso da un altro programma").arg(company));
    } catch (const Error& e) {
        check.add(Level::Error,
                  QStringLiteral("%1: l'archivio 2023 non si apre: %2").arg(company, describe(e)));
    }
}

// The system database and the root of the installation, settled as the run
// settles them; returns the root, empty when it cannot be settled.
QString checkSystemDatabase(Checker& check, Host& host, const RunState& state)
{
    QString base;
    try {
        Connection system;
        system.open(layout::systemConnectionString());
        const Value percorso = readSystemRoot(system, host.dataSource() == DataSource::Server);
        check.add(
            Level::Ok,
            QStringLiteral("database di sistema aperto: %1").arg(QLatin1String(layout::SystemDatabasePath)));
        try {
            base = settleInstallationRoot(host, state.CartellaProgrammi, percorso);
        } catch (const Error&) {
            check.add(Level::Error, QStringLiteral("il campo Percorso della tabella system è vuoto"));
        }
    } catch (const Error& e) {
        check.add(Level::Error, QStringLiteral("database di sistema %1 non utilizzabile: %2")
                                    .arg(QLatin1String(layout::SystemDatabasePath), describe(e)));
    }
    return base;
}

// The workgroup file the run will use; returns its path, found or not.
QString checkWorkgroupFile(Checker& check, const RunState& state)
{
    const QString mdw = layout::workgroupFilePath(layout::has64BitProgramFolder(), state.CartellaProgrammi);
    if (fs::Dir(mdw).isEmpty())
        check.add(Level::Error, QStringLiteral("file di gruppo di lavoro mancante: %1").arg(mdw));
    else
        check.add(Level::Ok, QStringLiteral("file di gruppo di lavoro: %1").arg(mdw));
    return mdw;
}

// The root and its data folder. Raises the file services' error for a root
// that cannot be reached.
void checkRoot(Checker& check, const QString& base)
{
    check.add(Level::Ok, QStringLiteral("radice dell'installazione: %1").arg(base));
    checkWritable(check, QStringLiteral("la radice dell'installazione, dove va la copia di sicurezza,"),
                  base);
    if (!fs::FolderExists(layout::dataFolder(base)))
        check.add(Level::Error, QStringLiteral("cartella dati mancante: %1").arg(layout::dataFolder(base)));
    else
        checkWritable(check, QStringLiteral("la cartella dati"), layout::dataFolder(base));
}

// The companies 1-10 that have a 2023 archive. Raises as checkRoot.
QList<int> findCompanies(Checker& check, const QString& base)
{
    QList<int> companies;
    for (int n = 1; n <= 10; ++n)
        if (!fs::Dir(layout::oldArchivePath(base, n)).isEmpty())
            companies << n;
    if (companies.isEmpty())
        check.add(Level::Warning, QStringLiteral("nessuna azienda con archivio 2023 trovata"));
    else
        check.add(Level::Ok, QStringLiteral("aziende trovate: %1").arg(companies.size()));
    return companies;
}

// Each company's 2023 archive and 2024 folder; returns the bytes the run
// will need: the data folder and every company's 2023 folder for the copies,
// a journal as large as the largest archive (one is open at a time), and room
// for the log and the report. Raises as checkRoot.
qint64 checkCompanies(Checker& check, const QString& base, const QString& mdw, const QList<int>& companies)
{
    constexpr qint64 LogAndReport = 16 * 1024 * 1024;
    qint64 needed = folderSize(fs::hostPath(layout::dataFolder(base))) + LogAndReport;
    qint64 largestArchive = 0;
    for (int n : companies) {
        const QString company = QStringLiteral("Azienda_%1").arg(n);
        const QString archive = layout::oldArchivePath(base, n);
        checkArchive(check, mdw, n, archive);
        checkWritable(check, company + QStringLiteral(": l'archivio 2023"), archive);
        checkWritable(check, company + QStringLiteral(": la cartella 2023"),
                      layout::oldCompanyFolder(base, n));
        const QString newFolder = layout::newCompanyFolder(base, n);
        if (fs::FolderExists(newFolder)) {
            check.add(Level::Warning,
                      company + QStringLiteral(": la cartella 2024 esiste già e sarà sostituita"));
            checkWritable(check, company + QStringLiteral(": la cartella 2024"), newFolder);
        }
        needed += folderSize(fs::hostPath(layout::oldCompanyFolder(base, n)));
        largestArchive = std::max(largestArchive, QFileInfo(fs::hostPath(archive)).size());
    }
    return needed + largestArchive;
}

// The free space on the root's drive (or the one a test simulates) against
// what the copies need. Raises as checkRoot.
void checkFreeSpace(Checker& check, const QString& base, qint64 needed, const PreliminaryOptions& options)
{
    const qint64 available =
        options.freeBytes ? *options.freeBytes : QStorageInfo(fs::hostPath(base)).bytesAvailable();
    if (available < needed)
        check.add(Level::Error, QStringLiteral("spazio libero insufficiente: servono %1, disponibili %2")
                                    .arg(megabytes(needed), megabytes(available)));
    else
        check.add(Level::Ok, QStringLiteral("spazio libero: servono %1, disponibili %2")
                                 .arg(megabytes(needed), megabytes(available)));
}

// Everything under a settled root: the root, the companies and their
// archives, the free space. A root that cannot be reached ends the check
// with one error.
void checkInstallation(Checker& check, const QString& base, const QString& mdw,
                       const PreliminaryOptions& options)
{
    try {
        checkRoot(check, base);
        const QList<int> companies = findCompanies(check, base);
        const qint64 needed = checkCompanies(check, base, mdw, companies);
        checkFreeSpace(check, base, needed, options);
    } catch (const Error& e) {
        // A root on a drive that is not there.
        check.add(
            Level::Error,
            QStringLiteral("radice dell'installazione %1 non raggiungibile: %2").arg(base, describe(e)));
    }
}

// The box that closes the check: the count of each level, with the icon of
// the worst.
void showSummary(Host& host, const PreliminaryCheck& result)
{
    const int errors = result.count(Level::Error);
    const int warnings = result.count(Level::Warning);
    const QString summary = QStringLiteral("Verifica preliminare: %1 OK, %2 ATTENZIONE, %3 ERRORE")
                                .arg(result.count(Level::Ok))
                                .arg(warnings)
                                .arg(errors);
    host.message(summary, Buttons::Ok,
                 errors     ? Icon::Critical
                 : warnings ? Icon::Exclamation
                            : Icon::Information,
                 QStringLiteral("Riapertura"));
}

} // namespace

QString PreliminaryFinding::line() const
{
    switch (level) {
    case Level::Ok:
        return QStringLiteral("OK ") + text;
    case Level::Warning:
        return QStringLiteral("ATTENZIONE ") + text;
    case Level::Error:
        break;
    }
    return QStringLiteral("ERRORE ") + text;
}

int PreliminaryCheck::count(PreliminaryFinding::Level level) const
{
    return int(std::count_if(findings.begin(), findings.end(),
                             [level](const PreliminaryFinding& f) { return f.level == level; }));
}

PreliminaryCheck runPreliminaryCheck(Host& host, const RunState& state, const PreliminaryOptions& options)
{
    Checker check(host, options.silent);
    if (!options.silent)
        host.showBusy(true);
    const QString base = checkSystemDatabase(check, host, state);
    const QString mdw = checkWorkgroupFile(check, state);
    if (!base.isEmpty())
        checkInstallation(check, base, mdw, options);
    const PreliminaryCheck result = check.result();
    if (!options.silent) {
        host.showBusy(false);
        showSummary(host, result);
    }
    return result;
}

} // namespace rio
