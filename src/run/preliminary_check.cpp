#include "run/preliminary_check.h"

#include "context/host.h"
#include "context/layout.h"
#include "context/run_state.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/interrupted_write.h"
#include "run/company_choice.h"
#include "run/preliminary_check_archive.h"
#include "run/probes.h"
#include "run/restore.h"
#include "run/run.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStorageInfo>

namespace rio {

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1)
               .replace(QLatin1Char('.'), QLatin1Char(',')) +
           QStringLiteral(" MB");
}

namespace {

// A file or folder the run will write: seen without writing anything.
void checkWritable(Checker& check, const QString& what, const QString& windowsPath)
{
    if (!canWrite(fs::hostPath(windowsPath)))
        check.add(Level::Error,
                  QStringLiteral("%1 non è scrivibile (sola lettura o protetto): %2").arg(what, windowsPath));
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
        check.add(Level::Error, missingDataFolderText(base));
    else
        checkWritable(check, QStringLiteral("la cartella dati"), layout::dataFolder(base));
}

// Folders that look like a company's but are never looked at by the run
// (Azienda_03, Azienda_11): the user may expect them to be reopened.
void warnAboutOtherCompanyFolders(Checker& check, const QString& base)
{
    const QString companiesFolder = fs::hostPath(base + QStringLiteral("dati\\esercizi"));
    const QStringList folders =
        QDir(companiesFolder).entryList({QStringLiteral("Azienda_*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& folder : folders) {
        bool isSlot = false;
        for (int n = 1; n <= 10 && !isSlot; ++n)
            isSlot = folder.compare(layout::companyFolderName(n), Qt::CaseInsensitive) == 0;
        if (!isSlot)
            check.add(
                Level::Warning,
                QStringLiteral("cartella %1 ignorata: le aziende sono le cartelle da Azienda_1 ad Azienda_10")
                    .arg(folder));
    }
}

// The companies 1-10 that have an archive of the old year. Raises as checkRoot.
QList<int> findCompanies(Checker& check, const QString& base)
{
    QList<int> companies;
    QStringList names;
    for (int n = 1; n <= 10; ++n) {
        const QString archive = layout::oldArchivePath(base, n);
        if (!fs::Dir(archive).isEmpty()) {
            companies << n;
            names << layout::companyFolderName(n);
        } else if (!fs::Dir(archive, fs::vbDirectory).isEmpty()) {
            check.add(Level::Warning, QStringLiteral("%2: %1\\dati.mdb è una cartella, non un archivio: "
                                                     "l'azienda non sarà riaperta")
                                          .arg(layout::AnnoInCorso)
                                          .arg(layout::companyFolderName(n)));
        }
    }
    warnAboutOtherCompanyFolders(check, base);
    // A run that opens nothing would still end as done: the root is most
    // likely not the one the user meant (the Zeta folder ticked by mistake).
    if (companies.isEmpty())
        check.add(Level::Error, QStringLiteral("nessuna azienda con archivio %1 trovata in %2")
                                    .arg(layout::AnnoInCorso)
                                    .arg(base + QStringLiteral("dati\\esercizi")));
    else
        check.add(Level::Ok, QStringLiteral("aziende trovate: %1 (%2)")
                                 .arg(companies.size())
                                 .arg(names.join(QStringLiteral(", "))));
    return companies;
}

// Each company's archive of the old year and folder of the new year; returns
// the space the run will need (spaceFigure), from the data folder, each
// company's folder and archive of the old year and their rows. Raises as
// checkRoot.
SpaceFigure checkCompanies(Checker& check, const QString& base, const QString& mdw,
                           const QList<int>& companies)
{
    QList<CompanyVolume> volumes;
    IntegrityAhead ahead;
    for (qsizetype i = 0; i < companies.size(); ++i) {
        const int n = companies.at(i);
        const QString company = QStringLiteral("Azienda_%1").arg(n);
        const QString archive = layout::oldArchivePath(base, n);
        CompanyVolume volume;
        checkArchive(check, mdw, n, archive, volume, &ahead,
                     i + 1 < companies.size() ? layout::oldArchivePath(base, companies.at(i + 1))
                                              : QString());
        // Read only after the run has played its journal back: its rows are
        // not known, and with them the log's and the report's share.
        if (!volume.rowsRead && leftoverJournal(archive) == LeftoverJournal::Hot)
            check.add(
                Level::Warning,
                company +
                    QStringLiteral(": lo spazio per il LOG e il rapporto di verifica non è compreso "
                                   "nello spazio richiesto (l'archivio ") +
                    layout::oldYearText() +
                    QStringLiteral(" non si legge prima del ripristino): lasciare libero qualcosa in più"));
        checkWritable(check, company + QStringLiteral(": l'archivio ") + layout::oldYearText(), archive);
        checkWritable(check, company + QStringLiteral(": la cartella ") + layout::oldYearText(),
                      layout::oldCompanyFolder(base, n));
        const QString newFolder = layout::newCompanyFolder(base, n);
        if (fs::FolderExists(newFolder)) {
            check.add(Level::Warning, company + QStringLiteral(": la cartella ") + layout::newYearText() +
                                          QStringLiteral(" esiste già e sarà sostituita"));
            checkWritable(check, company + QStringLiteral(": la cartella ") + layout::newYearText(),
                          newFolder);
            checkNewArchive(check, n,
                            layout::archivePath(base, layout::companyFolderName(n), layout::AnnoDaAprire));
        }
        volume.folderBytes = folderSize(fs::hostPath(layout::oldCompanyFolder(base, n)));
        volume.archiveBytes = QFileInfo(fs::hostPath(archive)).size();
        volumes << volume;
    }
    const QString dataFolder = fs::hostPath(layout::dataFolder(base));
    qint64 files = 0;
    for (QDirIterator it(dataFolder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++files;
    const SpaceFigure space = spaceFigure(folderSize(dataFolder), files, volumes);
    check.setSpace(space);
    return space;
}

// The companies the user chose among those found: a chosen one without its
// old-year archive is an ERRORE (the run would open fewer than asked); the others
// are left as they are and not checked. Returns the companies the run opens.
QList<int> checkChoice(Checker& check, const QString& base, const QList<int>& found, const QList<int>& chosen)
{
    if (chosen.isEmpty())
        return found;
    for (int slot : chosenButMissing(chosen, found))
        check.add(Level::Error, missingChoiceText(base, slot));
    QList<int> opened;
    QList<int> left;
    for (int slot : found)
        (chosen.contains(slot) ? opened : left) << slot;
    if (!left.isEmpty())
        check.add(Level::Ok, QStringLiteral("aziende non scelte, lasciate come sono e non controllate: %1")
                                 .arg(companyList(left)));
    return opened;
}

} // namespace

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

namespace {

// Everything under a settled root: the root, the companies and their
// archives, the free space. A root that cannot be reached ends the check
// with one error.
void checkInstallation(Checker& check, const QString& base, const QString& mdw, const QList<int>& chosen,
                       const PreliminaryOptions& options)
{
    try {
        // The run's own gate runs under the lock it has just taken.
        if (!options.silent)
            checkRunInProgress(check, base);
        checkRoot(check, base);
        checkLinks(check, base);
        const QList<int> companies = checkChoice(check, base, findCompanies(check, base), chosen);
        const SpaceFigure space = checkCompanies(check, base, mdw, companies);
        if (options.scratchParent.isEmpty())
            checkFreeSpace(check, base, space.total(), options);
        else
            checkScratchSpace(check, base, options.scratchParent, space, options);
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
    check.keepStockReadingsIn(options.stockReadings);
    if (!options.silent)
        host.showBusy(true);
    const QString base = checkSystemDatabase(check, host, state);
    const QString mdw = checkWorkgroupFile(check, state);
    if (!base.isEmpty())
        checkInstallation(check, base, mdw, host.chosenCompanies(), options);
    const PreliminaryCheck result = check.result();
    if (!options.silent) {
        host.showBusy(false);
        showSummary(host, result);
    }
    return result;
}

} // namespace rio
