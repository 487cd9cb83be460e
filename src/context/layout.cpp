#include "context/layout.h"

namespace rio::layout {

namespace {

const QString Ventor = QStringLiteral("\\Ventor Sistemi\\");
const QString SystemMdwUnderRoot = QStringLiteral("Dati\\system\\System.mdw");
const QString ConnectionHead =
    QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=kQ482913tW;User ID=Larvinote;Data Source=");
const QString ConnectionMiddle = QStringLiteral(";Persist Security Info=True;Jet OLEDB:System database=");

QString localProgramFolder(const QString& programsFolder)
{
    return QStringLiteral("c:\\") + programsFolder;
}

QString year(int y)
{
    return QString::number(y);
}

} // namespace

QString installationRoot(DataSource source, bool splus, bool programFilesX86, const QString& systemRoot,
                         const QString& programsFolder)
{
    if (source == DataSource::Server) {
        // Every path is glued to the root: without its final "\" no company
        // would be found and the run would still report success.
        if (systemRoot.isEmpty() || systemRoot.endsWith(QLatin1Char('\\')) ||
            systemRoot.endsWith(QLatin1Char('/')))
            return systemRoot;
        return systemRoot + QLatin1Char('\\');
    }
    if (splus)
        return localProgramFolder(programsFolder) + QStringLiteral("\\Zeta\\");
    if (programFilesX86)
        return QString::fromLatin1(Program64Folder) + Ventor;
    return localProgramFolder(programsFolder) + Ventor;
}

QString workgroupFilePath(bool programFilesX86, const QString& programsFolder)
{
    const QString folder =
        programFilesX86 ? QString::fromLatin1(Program64Folder) : localProgramFolder(programsFolder);
    return folder + Ventor + SystemMdwUnderRoot;
}

QString systemConnectionString()
{
    return ConnectionHead + QString::fromLatin1(SystemDatabasePath) + ConnectionMiddle +
           QStringLiteral("c:\\programmi\\zeta\\dati\\system\\system.mdw");
}

QString archiveConnectionString(const QString& archivePath, const QString& workgroupFile)
{
    return ConnectionHead + archivePath + ConnectionMiddle + workgroupFile;
}

QString companyFolderName(int slot)
{
    return QStringLiteral("Azienda_") + QString::number(slot);
}

QString oldArchivePath(const QString& root, int slot)
{
    return oldCompanyFolder(root, slot) + QStringLiteral("\\dati.mdb");
}

QString archivePath(const QString& root, const QString& companyFolder, int anno)
{
    return root + QStringLiteral("Dati\\Esercizi\\") + companyFolder + QLatin1Char('\\') + year(anno) +
           QStringLiteral("\\dati.mdb");
}

QString oldCompanyFolder(const QString& root, int slot)
{
    return root + QStringLiteral("dati\\esercizi\\Azienda_") + QString::number(slot) + QLatin1Char('\\') +
           year(AnnoInCorso);
}

QString newCompanyFolder(const QString& root, int slot)
{
    return root + QStringLiteral("dati\\Esercizi\\Azienda_") + QString::number(slot) + QLatin1Char('\\') +
           year(AnnoDaAprire);
}

QString dataFolder(const QString& root)
{
    return root + QStringLiteral("dati");
}

QString tempFolder(const QString& root)
{
    return root + QStringLiteral("dati\\Tmp\\");
}

QString logFilePath(const QString& root)
{
    return root + QStringLiteral("dati\\tmp\\log_Riapertura_") + year(AnnoDaAprire) + QStringLiteral(".txt");
}

QString safetyCopyName(const QDate& today)
{
    return QStringLiteral("Copia_dati_") + today.toString(QStringLiteral("ddMMyyyy"));
}

QString safetyCopyName(const QDateTime& now)
{
    return safetyCopyName(now.date()) + QLatin1Char('_') + now.time().toString(QStringLiteral("HHmmss"));
}

} // namespace rio::layout
