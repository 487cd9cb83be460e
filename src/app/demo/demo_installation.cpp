#include "app/demo/demo_installation.h"

#include "app/demo/demo_sql.h"
#include "context/layout.h"
#include "data/filesystem.h"
#include "data/product_schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace rio::demo {

namespace {

// The demo writes through the same mapping as the program: its folder is
// drive C: while it works, so the spellings it uses meet on disk.
class DriveC
{
public:
    explicit DriveC(const QString& dir)
        : m_had(qEnvironmentVariableIsSet("RIAPERTURA_DRIVE_C")), m_previous(qgetenv("RIAPERTURA_DRIVE_C"))
    {
        qputenv("RIAPERTURA_DRIVE_C", dir.toLocal8Bit());
    }
    ~DriveC()
    {
        if (m_had)
            qputenv("RIAPERTURA_DRIVE_C", m_previous);
        else
            qunsetenv("RIAPERTURA_DRIVE_C");
    }
    DriveC(const DriveC&) = delete;
    DriveC& operator=(const DriveC&) = delete;

private:
    bool m_had;
    QByteArray m_previous;
};

QString hostFileFor(const QString& windowsPath)
{
    const QString host = fs::hostPath(windowsPath);
    if (!QDir().mkpath(QFileInfo(host).absolutePath()))
        throw std::runtime_error(
            QStringLiteral("Impossibile creare la cartella di %1").arg(windowsPath).toStdString());
    return host;
}

void createDatabase(const QString& windowsPath, const QStringList& statements)
{
    const QString host = hostFileFor(windowsPath);
    QFile::remove(host);
    Sql sql(host);
    sql.begin();
    for (const QString& s : statements)
        sql.run(s);
    sql.commit();
}

void writeText(const QString& windowsPath, const QString& text)
{
    QFile f(hostFileFor(windowsPath));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(fs::toWindows1252(text)) < 0)
        throw std::runtime_error(QStringLiteral("Impossibile scrivere %1").arg(windowsPath).toStdString());
}

} // namespace

QString existingInstallation(const QString& dir)
{
    if (!QFileInfo(dir).isDir())
        return {};
    DriveC drive(QDir(dir).absolutePath());
    static const char* const Folders[] = {
        "C:\\Programmi\\Zeta",
        "C:\\Programmi\\Ventor Sistemi",
        "C:\\Program Files\\Zeta",
        "C:\\Program Files\\Ventor Sistemi",
        "C:\\Program Files (x86)\\Ventor Sistemi",
    };
    for (const char* folder : Folders)
        if (QFileInfo::exists(fs::hostPath(QString::fromLatin1(folder))))
            return QString::fromLatin1(folder);
    return {};
}

InstallationSummary writeDemoInstallation(const DemoOptions& options,
                                          const std::function<void(int, const ArchiveSummary&)>& report)
{
    if (!QDir().mkpath(options.dir))
        throw std::runtime_error(
            QStringLiteral("Impossibile creare la cartella %1").arg(options.dir).toStdString());
    const QString dir = QDir(options.dir).absolutePath();
    const QString existing = existingInstallation(dir);
    if (!existing.isEmpty())
        throw DemoRefused(
            QStringLiteral("La cartella %1 contiene già un'installazione (%2): non viene sovrascritta.")
                .arg(QDir::toNativeSeparators(dir), existing)
                .toStdString());
    DriveC drive(dir);

    {
        QFile marker(dir + QLatin1Char('/') + QLatin1String(MarkerFileName));
        if (!marker.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error(
                QStringLiteral("Impossibile scrivere %1").arg(marker.fileName()).toStdString());
        marker.write(
            QStringLiteral("Installazione dimostrativa scritta da riapertura-demo: seed %1, aziende %2, "
                           "articoli %3, movimenti %4, partite aperte %5%6\n")
                .arg(options.seed)
                .arg(options.companies)
                .arg(options.articles)
                .arg(options.movements)
                .arg(options.openItems)
                .arg(options.x86 ? QStringLiteral(", x86") : QString())
                .toUtf8());
    }

    if (options.x86 && !QDir().mkpath(fs::hostPath(QString::fromLatin1(layout::Program64Folder))))
        throw std::runtime_error("Impossibile creare C:\\Program Files (x86)");

    // A 32-bit Italian Windows by default: the programs folder is "Programmi".
    const QString programsFolder = QStringLiteral("Programmi");
    InstallationSummary summary;
    summary.installationRoot =
        layout::installationRoot(DataSource::Local, false, options.x86, QString(), programsFolder);

    const QStringList workgroup = schema::workgroupStatements();
    createDatabase(QString::fromLatin1(layout::SystemDatabasePath),
                   schema::systemStatements(summary.installationRoot, layout::AnnoInCorso));
    createDatabase(QStringLiteral("C:\\Programmi\\Zeta\\Dati\\system\\system.mdw"), workgroup);

    for (int slot = 1; slot <= options.companies; ++slot) {
        const QString archive = hostFileFor(layout::oldArchivePath(summary.installationRoot, slot));
        QFile::remove(archive);
        const ArchiveSummary company = writeCompanyArchive(archive, slot, options);
        // A year folder holds more than the archive.
        const QString folder = layout::oldCompanyFolder(summary.installationRoot, slot);
        writeText(folder + QStringLiteral("\\leggimi.txt"),
                  QStringLiteral("Archivio %1 di %2.\r\nNon modificare i file di questa cartella.\r\n")
                      .arg(layout::AnnoInCorso)
                      .arg(company.companyName));
        writeText(folder + QStringLiteral("\\Stampe\\registro_iva_%1.txt").arg(layout::AnnoInCorso),
                  QStringLiteral("Registro IVA %1 - %2\r\nPeriodo: gennaio-dicembre %1\r\n")
                      .arg(layout::AnnoInCorso)
                      .arg(company.companyName));
        summary.companies << company;
        if (report)
            report(slot, company);
    }
    // After the companies, so that "Dati" meets the "dati" folder written above.
    createDatabase(layout::workgroupFilePath(options.x86, programsFolder), workgroup);
    writeText(layout::dataFolder(summary.installationRoot) + QStringLiteral("\\Modelli\\fattura.txt"),
              QStringLiteral("Modello di stampa della fattura\r\n"));
    return summary;
}

} // namespace rio::demo
