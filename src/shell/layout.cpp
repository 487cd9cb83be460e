#include "shell/layout.h"

namespace rio::layout {

namespace {

const QString Ventor = QStringLiteral("\\Ventor Sistemi\\");
const QString SystemMdwUnderRoot = QStringLiteral("Dati\\system\\System.mdw");
const QString ConnectionHead =
    QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=kQ482913tW;User ID=Larvinote;Data Source=");
const QString ConnectionMiddle = QStringLiteral(";Persist Security Info=True;Jet OLEDB:System database=");

QString localProgramFolder(const QString& cartellaProgrammi)
{
    return QStringLiteral("c:\\") + cartellaProgrammi;
}

QString year(int y)
{
    return QString::number(y);
}

} // namespace

QString percorsoBase(int sorgente, bool splus, bool programFilesX86, const QString& percorsoSystem,
                     const QString& cartellaProgrammi)
{
    if (sorgente != 0) {
        // Every path is glued to the root: without its final "\" no company
        // would be found and the run would still report success.
        if (percorsoSystem.isEmpty() || percorsoSystem.endsWith(QLatin1Char('\\')) ||
            percorsoSystem.endsWith(QLatin1Char('/')))
            return percorsoSystem;
        return percorsoSystem + QLatin1Char('\\');
    }
    if (splus)
        return localProgramFolder(cartellaProgrammi) + QStringLiteral("\\Zeta\\");
    if (programFilesX86)
        return QString::fromLatin1(Program64Folder) + Ventor;
    return localProgramFolder(cartellaProgrammi) + Ventor;
}

QString percorsoSystemMdw(bool programFilesX86, const QString& cartellaProgrammi)
{
    const QString folder =
        programFilesX86 ? QString::fromLatin1(Program64Folder) : localProgramFolder(cartellaProgrammi);
    return folder + Ventor + SystemMdwUnderRoot;
}

QString systemConnectionString()
{
    return ConnectionHead + QString::fromLatin1(SystemDatabasePath) + ConnectionMiddle +
           QStringLiteral("c:\\programmi\\zeta\\dati\\system\\system.mdw");
}

QString archiveConnectionString(const QString& archivePath, const QString& percorsoSystemMdw)
{
    return ConnectionHead + archivePath + ConnectionMiddle + percorsoSystemMdw;
}

QString numeroAzienda(int slot)
{
    return QStringLiteral("Azienda_") + QString::number(slot);
}

QString oldArchivePath(const QString& percorsoBase, int slot)
{
    return oldCompanyFolder(percorsoBase, slot) + QStringLiteral("\\dati.mdb");
}

QString archivePath(const QString& percorsoBase, const QString& numeroAzienda, int anno)
{
    return percorsoBase + QStringLiteral("Dati\\Esercizi\\") + numeroAzienda + QLatin1Char('\\') +
           year(anno) + QStringLiteral("\\dati.mdb");
}

QString oldCompanyFolder(const QString& percorsoBase, int slot)
{
    return percorsoBase + QStringLiteral("dati\\esercizi\\Azienda_") + QString::number(slot) +
           QLatin1Char('\\') + year(AnnoInCorso);
}

QString newCompanyFolder(const QString& percorsoBase, int slot)
{
    return percorsoBase + QStringLiteral("dati\\Esercizi\\Azienda_") + QString::number(slot) +
           QLatin1Char('\\') + year(AnnoDaAprire);
}

QString dataFolder(const QString& percorsoBase)
{
    return percorsoBase + QStringLiteral("dati");
}

QString tempFolder(const QString& percorsoBase)
{
    return percorsoBase + QStringLiteral("dati\\Tmp\\");
}

QString logFilePath(const QString& percorsoBase)
{
    return percorsoBase + QStringLiteral("dati\\tmp\\log_Riapertura_") + year(AnnoDaAprire) +
           QStringLiteral(".txt");
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
