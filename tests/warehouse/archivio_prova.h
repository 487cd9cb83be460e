#pragma once

#include "support/fake_host.h"
#include "support/test_install.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "context/run_state.h"
#include "data/database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <memory>

// An installation with company 1's archives, a recording screen and the run
// state the steps read.
struct ArchivioProva
{
    TestInstall install;
    FakeHost host;
    rio::RunState state;
    rio::RunContext ctx{host, state};

    ArchivioProva()
    {
        state.PercorsoBase = TestInstall::base();
        state.PercorsoSystemMdw = TestInstall::mdw();
    }

    QString vecchio() const { return install.archiveHost(1, 2023); }
    QString nuovo() const { return install.archiveHost(1, 2024); }

    // An open connection to the company's archive of that year.
    static std::unique_ptr<rio::Connection> apri(int anno)
    {
        auto db = std::make_unique<rio::Connection>();
        db->open(rio::layout::archiveConnectionString(TestInstall::archiveWindowsPath(1, anno),
                                                      TestInstall::mdw()));
        return db;
    }

    // An article row; stocks start at 99 so that an untouched row shows.
    static void articolo(const QString& file, const QString& codArtSql,
                         const QString& descr = QStringLiteral("'d'"))
    {
        TestInstall::exec(
            file, QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, Giacenza1, giacenza2, "
                                 "giacenza3, giacenza4, giacenza5) values(%1, %2, 99, 99, 99, 99, 99)")
                      .arg(codArtSql, descr));
    }

    // Many statements in one transaction (one file sync instead of one each).
    static void eseguiTutti(const QString& file, const QStringList& statements)
    {
        const QString nome = QUuid::createUuid().toString();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nome);
            db.setDatabaseName(file);
            if (!db.open())
                qFatal("%s", qPrintable(db.lastError().text()));
            db.transaction();
            for (const QString& sql : statements) {
                QSqlQuery q(db);
                if (!q.exec(sql))
                    qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
            }
            db.commit();
        }
        QSqlDatabase::removeDatabase(nome);
    }

    static void movimento(const QString& file, const QString& codArtSql, const QString& depSql,
                          const QString& qtaSql)
    {
        TestInstall::exec(file, QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta) values(%1, %2, %3)")
                                    .arg(codArtSql, depSql, qtaSql));
    }

    // The five stocks of the row with that rowid.
    static QVariantList giacenze(const QString& file, qint64 rowid)
    {
        const auto r = TestInstall::rows(
            file, QStringLiteral("select Giacenza1, giacenza2, giacenza3, giacenza4, giacenza5 from ANAG_ART "
                                 "where rowid = %1")
                      .arg(rowid));
        return r.isEmpty() ? QVariantList() : r.first();
    }
};

// The texts of the boxes shown, for failure messages.
inline QByteArray scatole(const FakeHost& host)
{
    QStringList testi;
    for (const FakeHost::Box& b : host.boxes)
        testi << b.text;
    return testi.join(QLatin1Char('|')).toUtf8();
}

inline QVariantList qta(double a, double b, double c, double d, double e)
{
    return {a, b, c, d, e};
}
