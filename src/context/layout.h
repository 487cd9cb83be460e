#pragma once

#include "context/host.h"
#include "context/years.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

// Where the product's folders and databases are, and the connection strings
// that open them.
namespace rio::layout {

inline constexpr auto SystemDatabasePath = "C:\\Programmi\\Zeta\\Dati\\system\\systemzeta.mdb";
inline constexpr auto Program64Folder = "C:\\Program Files (x86)";

// The ANSI version-information record of the Windows API.
struct OsVersionInfo
{
    std::uint32_t size = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
    std::array<char, 128> servicePack{};
};

// Fills the record through GetVersionExA on Windows; elsewhere the query
// fails and the record stays zeroed (size 148, service pack blank).
OsVersionInfo queryWindowsVersion();

// The Windows version name of a record, by the version table.
QString NomeSistemaOperativo(const OsVersionInfo& info);
QString NomeSistemaOperativo();

// "Program files" for Windows Vista and 7, "Programmi" otherwise.
QString programsFolderName(const QString& systemName);

// True when a directory listing of "C:\Program Files (x86)" names it.
bool has64BitProgramFolder();

// Installation root by data source (0 LOCAL, else SERVER), chkSplus, the
// 64-bit folder and the Percorso of the system table (SERVER only). A
// Percorso without its final "\" gets one.
QString installationRoot(DataSource source, bool splus, bool programFilesX86, const QString& systemRoot,
                         const QString& programsFolder);

QString workgroupFilePath(bool programFilesX86, const QString& programsFolder);

// Form 1, the product's system database.
QString systemConnectionString();
// Form 2, any company archive.
QString archiveConnectionString(const QString& archivePath, const QString& workgroupFile);

// "Azienda_" + n.
QString companyFolderName(int slot);
// R + "dati\esercizi\Azienda_" + n + "\" + old year + "\dati.mdb" (company check, run).
QString oldArchivePath(const QString& root, int slot);
// R + "Dati\Esercizi\" + Numero_Azienda + "\" + year + "\dati.mdb" (the steps).
QString archivePath(const QString& root, const QString& companyFolder, int year);
// R + "dati\esercizi\Azienda_" + n + "\" + old year
QString oldCompanyFolder(const QString& root, int slot);
// R + "dati\Esercizi\Azienda_" + n + "\" + new year
QString newCompanyFolder(const QString& root, int slot);
QString dataFolder(const QString& root);    // R + "dati"
QString tempFolder(const QString& root);    // R + "dati\Tmp\"
QString logFilePath(const QString& root);   // R + "dati\tmp\log_Riapertura_" + new year + ".txt"
QString safetyCopyName(const QDate& today); // "Copia_dati_" + ddmmyyyy
// The name of a second copy the same day: "Copia_dati_" + ddmmyyyy + "_" + hhmmss.
QString safetyCopyName(const QDateTime& now);
// A copy is made under this prefix and its final name until it is complete,
// verified and on disk: the restore lists "Copia_dati_*" only.
inline constexpr auto UnfinishedCopyPrefix = "Copia_in_corso_";

} // namespace rio::layout
