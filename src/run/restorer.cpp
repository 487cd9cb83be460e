// A restore once confirmed: the copy made beside the data folder, then put
// in its place by two renames.
#include "archive/archive_steps.h"
#include "context/layout.h"
#include "context/run_context.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/manifest.h"
#include "run/preliminary_check_archive.h"
#include "run/probes.h"
#include "run/restore_record.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace rio {

namespace {

const QString Title = QLatin1String(ApplicationTitle);

// What was copied against what the manifest lists, as CopyCheck's problems.
QStringList differences(const fs::Manifest& expected, const fs::Manifest& copied)
{
    QHash<QString, QByteArray> found;
    for (const fs::ManifestEntry& e : copied)
        found.insert(e.path, e.sha256);
    QStringList problems;
    for (const fs::ManifestEntry& e : expected) {
        const auto it = found.constFind(e.path);
        if (it == found.constEnd())
            problems << e.path + QStringLiteral(" (mancante)");
        else if (*it != e.sha256)
            problems << e.path + QStringLiteral(" (contenuto diverso)");
        found.remove(e.path);
    }
    for (auto it = found.constBegin(); it != found.constEnd(); ++it)
        problems << it.key() + QStringLiteral(" (non elencato nel manifesto)");
    return problems;
}

// The restore once confirmed. The copy is made beside the data folder, then
// two renames put it in place; until the second, any failure puts the data
// folder back. The log lives in the data folder: it is closed while the
// folder moves and its lines are written once it is open again.
class Restorer
{
public:
    Restorer(RunContext& ctx, RestoreRecord& record, const QString& setAside)
        : m_ctx(ctx), m_record(record), m_data(record.dataFolder),
          m_staging(record.root + QLatin1String(RestoreStagingFolder)), m_setAside(setAside)
    {
    }

    RunOutcome run()
    {
        m_ctx.host().showBusy(true);
        try {
            openLog();
            line(QStringLiteral("RIPRISTINO della copia di sicurezza %1 nella cartella %2: %3")
                     .arg(m_record.copy.path, m_data, m_record.check.text()));
            removeUnfinishedCopies(m_ctx, m_record.root);
            phase(QStringLiteral("Copia dei dati dalla copia di sicurezza"), [this] { copyBesideData(); });
            phase(QStringLiteral("Cartella dati messa da parte"), [this] { setDataAside(); });
            phase(QStringLiteral("Log e rapporti (Tmp) riportati"), [this] { carryTmp(); });
            phase(QStringLiteral("Copia al posto della cartella dati"), [this] { putCopyInPlace(); });
        } catch (const Error& e) {
            return failed(describe(e));
        } catch (...) {
            putDataBack();
            throw;
        }
        return finished();
    }

private:
    template <typename Step> void phase(const QString& name, Step&& step)
    {
        QElapsedTimer timer;
        timer.start();
        try {
            step();
        } catch (...) {
            m_record.phases << RestorePhase{name, timer.elapsed(), false};
            throw;
        }
        m_record.phases << RestorePhase{name, timer.elapsed(), true};
    }

    // An event line, and a log line now or once the log is open again.
    void line(const QString& text)
    {
        m_ctx.addEventLine(text);
        if (m_logClosed)
            m_pending << text;
    }
    void caption(const QString& text)
    {
        m_ctx.setProgress(text);
        if (m_logClosed)
            m_pending << text.toLower();
    }

    void openLog()
    {
        m_logClosed = false;
        if (!m_ctx.host().logWanted())
            return;
        RunState& state = m_ctx.state();
        const QString tmp = layout::tempFolder(m_record.root);
        if (!fs::FolderExists(tmp))
            fs::MkDir(tmp);
        state.log = std::make_unique<fs::LogFile>(layout::logFilePath(m_record.root));
        for (const QString& pending : std::as_const(m_pending))
            state.log->writeLine(pending);
        m_pending.clear();
    }
    void closeLog()
    {
        m_ctx.state().log.reset();
        m_logClosed = true;
    }

    // The copy beside the data folder, hashed as it is read and compared with
    // its manifest, then synced to the disk: the data folder is not touched
    // until the copy that replaces it would survive a power cut.
    void copyBesideData()
    {
        caption(QStringLiteral("COPIA DEI DATI DALLA COPIA DI SICUREZZA IN CORSO..."));
        const QString hostStaging = fs::hostPath(m_staging);
        fs::RemoveFolder(m_staging);
        QElapsedTimer sinceProgress;
        const auto yield = [&] {
            m_ctx.yield();
            if (!sinceProgress.isValid() || sinceProgress.elapsed() >= 250) {
                m_ctx.stepProgress(folderSize(hostStaging), m_record.copy.bytes);
                sinceProgress.restart();
            }
        };
        fs::Manifest copied;
        fs::CopyFolder(m_record.copy.path, m_staging, yield, &copied);
        // The last measure may be a quarter of a second old: the copy is whole.
        m_ctx.stepProgress(m_record.copy.bytes, m_record.copy.bytes);
        // The manifest belongs to the copy, not to the data.
        const QString manifestName = QLatin1String(fs::ManifestFileName);
        // Left in the data folder, it would stop every run after the restore.
        const QString stagedManifest = hostStaging + QLatin1Char('/') + manifestName;
        if (!QFile::remove(stagedManifest) && QFileInfo::exists(stagedManifest))
            throw Error(err::PermissionDenied, QStringLiteral("impossibile rimuovere %1 dai dati copiati")
                                                   .arg(m_staging + QLatin1Char('\\') + manifestName));
        copied.removeIf([&](const fs::ManifestEntry& e) { return e.path == manifestName; });
        m_record.filesCopied = int(copied.size());
        if (!m_record.check.verified()) {
            fs::SyncFolder(m_staging, yield);
            line(QStringLiteral(
                     "Dati della copia %1 copiati in %2: %3 file, non verificati (copia senza manifesto)")
                     .arg(m_record.copy.name, m_staging)
                     .arg(copied.size()));
            return;
        }
        CopyCheck compared;
        compared.state = CopyCheck::State::Differs;
        compared.problems = differences(fs::readManifest(m_record.copy.path), copied);
        if (!compared.problems.isEmpty())
            throw Error(
                err::PathFileAccess,
                QStringLiteral("i dati copiati dalla copia %1 %2").arg(m_record.copy.name, compared.text()));
        fs::SyncFolder(m_staging, yield);
        line(
            QStringLiteral("Dati della copia %1 copiati in %2 e confrontati con il manifesto: %3 file uguali")
                .arg(m_record.copy.name, m_staging)
                .arg(copied.size()));
    }

    void setDataAside()
    {
        closeLog();
        rename(m_data, m_setAside);
        m_movedAside = true;
        m_record.setAside = m_setAside;
        line(QStringLiteral("Cartella dati messa da parte: %1 ora è %2").arg(m_data, m_setAside));
    }

    // The logs and reports written since the copy was taken stay.
    void carryTmp()
    {
        const QString tmp = m_setAside + QStringLiteral("\\Tmp");
        if (!fs::FolderExists(tmp))
            return;
        caption(QStringLiteral("TRASFERIMENTO DI LOG E RAPPORTI IN CORSO..."));
        const QString name = QFileInfo(fs::hostPath(tmp)).fileName();
        const auto yield = [this] {
            m_ctx.yield();
        };
        fs::CopyFolder(m_setAside + QLatin1Char('\\') + name, m_staging + QLatin1Char('\\') + name, yield);
        fs::SyncFolder(m_staging + QLatin1Char('\\') + name, yield);
        m_record.tmpCarried = true;
        line(QStringLiteral(
                 "Cartella %1 (log e rapporti) della cartella dati di prima riportata nei dati ripristinati")
                 .arg(name));
    }

    void putCopyInPlace()
    {
        rename(m_staging, m_data);
        m_inPlace = true;
        try {
            openLog();
        } catch (const Error& e) {
            m_logClosed = false;
            m_ctx.addEventLine(QStringLiteral("File di log non scritto: ") + describe(e));
        }
        line(QStringLiteral("Cartella dati ripristinata: %1 contiene ora la copia %2")
                 .arg(m_data, m_record.copy.name));
    }

    // A rename whose folder could not be synced afterwards raises once done:
    // what is on disk says which name the folder has.
    void rename(const QString& from, const QString& to)
    {
        try {
            fs::Name(from, to);
        } catch (const Error&) {
            if (!fs::FolderExists(from) && fs::FolderExists(to)) {
                m_movedAside = m_movedAside || from == m_data;
                m_inPlace = m_inPlace || from == m_staging;
                if (from == m_data)
                    m_record.setAside = m_setAside;
            }
            throw;
        }
    }

    RunOutcome finished()
    {
        caption(QStringLiteral("RIPRISTINO CONCLUSO CON SUCCESSO!"));
        m_record.restored = true;
        m_record.outcome =
            QStringLiteral("Ripristino concluso: copia %1 ripristinata in %2; la cartella dati di prima è "
                           "conservata in %3")
                .arg(m_record.copy.path, m_data, m_setAside);
        return end(Icon::Information,
                   QStringLiteral("COPIA DI SICUREZZA RIPRISTINATA: %1.\r\nLa cartella dati di prima è "
                                  "conservata in %2.")
                       .arg(m_record.copy.name, m_setAside),
                   RunOutcome::Done);
    }

    // Back as it was: the data folder under its name, the copy beside it
    // removed. Returns what could not be put back ("" when all was).
    QString putDataBack()
    {
        QString problem;
        if (m_movedAside && !m_inPlace) {
            try {
                fs::Name(m_setAside, m_data);
                m_movedAside = false;
                m_record.setAside.clear();
                line(QStringLiteral("Cartella dati rimessa al suo posto: %1 è di nuovo %2")
                         .arg(m_setAside, m_data));
            } catch (const Error& e) {
                problem = describe(e);
            }
        }
        // With the data folder away, the copy may be all there is: it stays.
        if (!m_inPlace && fs::FolderExists(m_data)) {
            try {
                fs::RemoveFolder(m_staging);
            } catch (const Error&) {
                // A link in its place: what it leads to is not the restore's to remove.
            }
        }
        return problem;
    }

    RunOutcome failed(const QString& reason)
    {
        m_ctx.markError();
        const QString problem = putDataBack();
        if (m_logClosed && fs::FolderExists(m_data)) {
            try {
                openLog();
            } catch (const Error&) {
                m_logClosed = false; // the event list still says it all
            }
        }
        caption(QStringLiteral("RIPRISTINO NON RIUSCITO!"));
        m_record.outcome =
            m_inPlace
                ? QStringLiteral("RIPRISTINO NON RIUSCITO: %1; la cartella dati contiene la copia %2, ma non "
                                 "è stato possibile confermarne la scrittura su disco; la cartella dati di "
                                 "prima è conservata in %3")
                      .arg(reason, m_record.copy.name, m_setAside)
            : problem.isEmpty()
                ? QStringLiteral(
                      "RIPRISTINO NON RIUSCITO: %1; la cartella dati è quella di prima del ripristino")
                      .arg(reason)
                : QStringLiteral(
                      "RIPRISTINO NON RIUSCITO: %1; la cartella dati di prima è in %2 e non è stato "
                      "possibile rimetterla al suo posto (%3): rinominarla a mano in %4")
                      .arg(reason, m_setAside, problem, m_data);
        return end(Icon::Critical, m_record.outcome, RunOutcome::DoneWithErrors);
    }

    RunOutcome end(Icon icon, const QString& box, RunOutcome outcome)
    {
        line(m_record.outcome);
        QString report;
        if (fs::FolderExists(m_data)) {
            report = writeRestoreReport(m_ctx, m_record);
            if (!report.isEmpty())
                line(QStringLiteral("Rapporto del ripristino: %1").arg(report));
        }
        m_ctx.finishProgress();
        m_ctx.host().showBusy(false);
        m_ctx.host().restoreEnded(m_record.outcome, m_record.restored, report);
        m_ctx.message(box, Buttons::Ok, icon, Title);
        return outcome;
    }

    RunContext& m_ctx;
    RestoreRecord& m_record;
    const QString m_data;
    const QString m_staging;
    const QString m_setAside;
    bool m_movedAside = false;
    bool m_inPlace = false;
    bool m_logClosed = false;
    QStringList m_pending;
};

} // namespace

RunOutcome runConfirmedRestore(RunContext& ctx, RestoreRecord& record, const QString& setAside)
{
    return Restorer(ctx, record, setAside).run();
}

} // namespace rio
