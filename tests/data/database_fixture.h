#pragma once

#include "data/database.h"
#include "data/product_schema.h"
#include "support/raised_error.h"
#include "support/test_install.h"
#include "support/years.h"

#include <QString>

#include <memory>

// The connection string the product writes, for an archive under a workgroup
// file and its password.
inline QString connectionString(const QString& archive, const QString& mdw = TestInstall::mdw(),
                                const QString& password = QLatin1String(rio::schema::ProductPassword))
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Password=") + password +
           QStringLiteral(";User ID=Larvinote;Data Source=") + archive +
           QStringLiteral(";Persist Security Info=True;Jet OLEDB:System database=") + mdw;
}

// What every case of the database layer starts from: a fresh installation
// with the archive of slot 1. The tests run once on Qt's SQLite driver and
// once through ODBC (registered with ODBC_TOO), so that both code paths meet
// the same cases. A test class derives from it and calls createArchive() in
// init() and removeArchive() in cleanup().
class DatabaseFixture
{
protected:
    std::unique_ptr<TestInstall> m_install;
    QString m_file;    // host path of the archive of slot 1
    QString m_windows; // its Windows path

    void createArchive()
    {
        m_install = std::make_unique<TestInstall>();
        m_file = m_install->createArchive(1);
        m_windows = TestInstall::archiveWindowsPath(1, years::Old);
    }

    void removeArchive() { m_install.reset(); }

    std::unique_ptr<rio::Connection> openArchive()
    {
        auto c = std::make_unique<rio::Connection>();
        c->open(connectionString(m_windows));
        return c;
    }
};
