#pragma once

#include <QString>

namespace rio {

// The parts of a Jet OLEDB connection string that the layer uses.
struct JetConnectionString
{
    QString provider;
    QString userId;
    QString password;
    QString dataSource;     // Windows path of the database
    QString systemDatabase; // Windows path of the workgroup file
};

// Parses "key=value;..." as OLE DB does: keys without regard to case and
// surrounding blanks, a value may be quoted with '"' or "'" (a doubled quote
// inside stands for one).
JetConnectionString parseJetConnectionString(const QString& text);

// One ODBC attribute "key=value;", the value braced when it needs it.
QString odbcAttribute(const QString& key, const QString& value);

// The ODBC connection string of an Access file with its workgroup file, for
// the Access driver of the program's bitness.
QString accessOdbcConnectionString(const QString& file, const QString& workgroup, const QString& user,
                                   const QString& password);

// The ODBC connection string of a SQLite file: never created when missing,
// waiting timeoutMs for a lock.
QString sqliteOdbcConnectionString(const QString& file, int timeoutMs);

} // namespace rio
