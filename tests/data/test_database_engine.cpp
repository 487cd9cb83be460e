// What the connection does on the engine's own handle: the other year's
// archive attached read-only, the memory the engine's caches share with
// the steps' own tables, and the archive's stamp. Registered with ODBC_TOO: through ODBC both are
// the driver's, and the cases say so.
#include "context/layout.h"
#include "data/archive_stamp.h"
#include "data/engine_memory.h"
#include "data/engine_read.h"
#include "data/error.h"
#include "database_fixture.h"

#include <QFile>
#include <QTest>

using namespace rio;

class TestDatabaseEngine : public QObject, DatabaseFixture
{
    Q_OBJECT

private slots:
    void init() { createArchive(); }

    void cleanup() { removeArchive(); }

    // The new year's archive attached to the old one's connection: read-only,
    // the very file the other connection opened, and let go however the
    // read that used it ends. A link put at the file's name is refused.
    void anAttachedArchiveIsReadOnlyAndLetGo_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::newRow("a read to its end") << QStringLiteral("end");
        QTest::newRow("a read broken off by whileBusy") << QStringLiteral("broken");
        QTest::newRow("a link at the name") << QStringLiteral("link");
    }
    void anAttachedArchiveIsReadOnlyAndLetGo()
    {
        QFETCH(QString, ending);
        auto c = openArchive();
        const QString newFile = m_install->createArchive(1, layout::AnnoDaAprire);
        TestInstall::exec(newFile, QStringLiteral("insert into ANAG_ART(CodArt) values ('N1'), ('N2')"));
        Connection other;
        other.open(connectionString(TestInstall::archiveWindowsPath(1, layout::AnnoDaAprire)));
        if (!AttachedArchive::possible(*c, other))
            QSKIP("only Qt's SQLite driver attaches a second archive");
        const auto attachedSchemas = [&c] {
            QStringList names;
            EngineRows q(*c, QStringLiteral("select name from pragma_database_list order by seq"));
            q.exec();
            while (q.next())
                names << q.text(0);
            return names;
        };
        if (ending == QLatin1String("link")) {
            // Another file, then a link to it under the archive's name.
            const QString elsewhere = newFile + QStringLiteral(".altro");
            QVERIFY(QFile::rename(newFile, elsewhere));
            QVERIFY(QFile::link(elsewhere, newFile));
            QCOMPARE(errorOf([&] { AttachedArchive(*c, other, QStringLiteral("nuovo")); }), 75);
            QCOMPARE(attachedSchemas(), QStringList({QStringLiteral("main")}));
            return;
        }
        {
            const AttachedArchive attached(*c, other, QStringLiteral("nuovo"));
            QCOMPARE(attachedSchemas(), QStringList({QStringLiteral("main"), QStringLiteral("nuovo")}));
            QVERIFY(errorOf([&] { c->execute(QStringLiteral("delete from nuovo.ANAG_ART")); }) != 0);
            // Long enough for whileBusy to be called: each code 50,000 times.
            EngineRows q(*c, QStringLiteral("select a.CodArt from nuovo.ANAG_ART a, (with recursive n(i) as "
                                            "(select 1 union all select i + 1 from n where i < 50000) "
                                            "select i from n) order by a.rowid, 1"));
            if (ending == QLatin1String("broken"))
                c->setWhileBusy([] { throw Error(err::EngineFailure, QStringLiteral("interrotta")); });
            int rows = 0;
            const qint64 raised = errorOf([&] {
                q.exec();
                while (q.next())
                    rows += q.text(0).startsWith(u'N') ? 1 : 0;
            });
            QCOMPARE(rows, ending == QLatin1String("broken") ? 0 : 100000);
            QCOMPARE(raised, ending == QLatin1String("broken") ? err::EngineFailure : 0);
            c->setWhileBusy({});
        }
        QCOMPARE(attachedSchemas(), QStringList({QStringLiteral("main")}));
        QCOMPARE(TestInstall::scalar(newFile, QStringLiteral("select count(*) from ANAG_ART")).toInt(), 2);
    }

    // A claim on the engine's memory empties the caches of this thread's
    // connections down to the engine's share, and a claim moved to another
    // holder is given back once, by that holder.
    void aClaimTakesTheEnginesPagesAndGivesThemBack()
    {
        TestInstall::execAll(
            m_file, {QStringLiteral("create table PAGINE(x)"),
                     QStringLiteral("insert into PAGINE select randomblob(4000) from (with recursive "
                                    "n(i) as (select 1 union all select i + 1 from n where i < "
                                    "6000) select i from n)")});
        auto c = openArchive();
        if (c->driver() != Connection::Driver::Sqlite)
            QSKIP("through ODBC the engine's caches are the driver's");
        Query read(*c, QStringLiteral("select sum(length(x)) from PAGINE"));
        read.exec();
        QVERIFY(read.next());
        read.finish();
        QVERIFY2(engineMemory::engineUsed() > engineMemory::FloorBytes,
                 "the pages read fill less than the floor");
        QCOMPARE(engineMemory::engineShare(), engineMemory::BudgetBytes);
        {
            EngineMemoryClaim claim;
            claim.hold(engineMemory::BudgetBytes);
            QCOMPARE(engineMemory::engineShare(), engineMemory::FloorBytes);
            QVERIFY(engineMemory::engineUsed() <= engineMemory::FloorBytes);
            EngineMemoryClaim holder(std::move(claim));
            QCOMPARE(engineMemory::engineShare(), engineMemory::FloorBytes);
        }
        QCOMPARE(engineMemory::engineShare(), engineMemory::BudgetBytes);
    }

    // Two reads of an archive have the same stamp only when no commit came
    // between; where the file cannot tell, there is no stamp.
    void aStampChangesWithEveryCommitBetweenTwoReads_data()
    {
        QTest::addColumn<QString>("between");
        QTest::addColumn<bool>("same");
        QTest::newRow("nothing") << QStringLiteral("") << true;
        QTest::newRow("a commit from another connection")
            << QStringLiteral("update ANAG_ART set DescrArt = 'x'") << false;
        QTest::newRow("a commit that rewrites a value as it was")
            << QStringLiteral("update ANAG_ART set CodArt = CodArt") << false;
    }
    void aStampChangesWithEveryCommitBetweenTwoReads()
    {
        QFETCH(QString, between);
        QFETCH(bool, same);
        TestInstall::exec(m_file, QStringLiteral("insert into ANAG_ART(CodArt) values ('A1')"));
        auto c = openArchive();
        if (c->driver() != Connection::Driver::Sqlite) {
            c->beginTrans();
            QVERIFY(!archiveStamp(*c));
            return;
        }
        QVERIFY(!archiveStamp(*c)); // outside a transaction
        c->beginTrans();
        const std::optional<ArchiveStamp> first = archiveStamp(*c);
        c->commitTrans();
        QVERIFY(first);
        if (!between.isEmpty())
            TestInstall::exec(m_file, between);
        c->beginTrans();
        const std::optional<ArchiveStamp> second = archiveStamp(*c);
        c->commitTrans();
        QVERIFY(second);
        QCOMPARE(*first == *second, same);

        // Under a write-ahead log a commit leaves the file's counter as it was.
        c->release();
        TestInstall::exec(m_file, QStringLiteral("pragma journal_mode = wal"));
        c = openArchive();
        c->beginTrans();
        QVERIFY(!archiveStamp(*c));
        c->commitTrans();
    }
};

QTEST_GUILESS_MAIN(TestDatabaseEngine)
#include "test_database_engine.moc"
