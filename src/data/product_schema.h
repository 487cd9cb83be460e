#pragma once

#include <QString>
#include <QStringList>

// The product's databases on this platform: SQLite 3 files at the product's
// own paths and names. These statements create empty ones; the demo
// installation and the tests build on them. Text columns compare without
// regard to case (COLLATE NOCASE), dates are ISO-8601 text in DATE/DATETIME
// columns, Yes/No columns are BOOLEAN 0/1.
namespace rio::schema {

inline constexpr auto ProductUser = "Larvinote";
inline constexpr auto ProductPassword = "kQ482913tW";

// The counter fields of CONTATORI, in the order the initialisation resets them.
QStringList counterFields();

// The workgroup file: accounts(name, password_sha256) holding the product's account.
QStringList workgroupStatements();
QString passwordHash(const QString& password); // lower-case hex SHA-256 of the UTF-8 text

// The system database: table system(Percorso, Versione). The product's
// release is named after the year it keeps: releaseYear ".1".
QStringList systemStatements(const QString& percorso, int releaseYear);

// A company archive: every table the year opening reads or writes, with the
// indexes a real archive has, and document tables T_/C_ for each name given;
// the customers (ANAG_CLI) and suppliers (ANAG_FOR), whose names the
// verification report shows beside their codes, among them.
QStringList archiveStatements(const QStringList& documentTables);

// Document tables of the demo's causals: the name, and whether the causal is active.
struct Causal
{
    QString tipo;
    QString tabella; // empty: Null in CAUSALI
    bool attiva;
};
QList<Causal> demoCausals();

} // namespace rio::schema
