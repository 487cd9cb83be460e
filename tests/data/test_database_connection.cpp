// Opening an archive through the connection string (the driver chosen, the
// workgroup file and its account, files that are no archive) and what the
// connection does with transactions and locks. Registered with ODBC_TOO.
#include "context/layout.h"
#include "data/error.h"
#include "data/interrupted_write.h"
#include "database_fixture.h"
#include "support/years.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace rio;

class TestDatabaseConnection : public QObject, DatabaseFixture
{
    Q_OBJECT

private slots:
    void init() { createArchive(); }

    void cleanup() { removeArchive(); }

    void opensTheArchiveOnTheChosenDriver()
    {
        auto c = openArchive();
        QVERIFY(c->isOpen());
        QCOMPARE(Connection::sqliteThroughOdbc(), qgetenv("RIO_TEST_DB_DRIVER") == "odbc");
        QCOMPARE(c->driver(), Connection::sqliteThroughOdbc() ? Connection::Driver::OdbcSqlite
                                                              : Connection::Driver::Sqlite);
        QCOMPARE(QFileInfo(c->hostFilePath()).canonicalFilePath(), QFileInfo(m_file).canonicalFilePath());
        c->close();
        QVERIFY(!c->isOpen());
        QCOMPARE(errorOf([&] { c->close(); }), err::ObjectClosed);
    }

    void missingFileFailsAndIsNotCreated()
    {
        const QString windows = TestInstall::archiveWindowsPath(7, years::Old);
        QDir().mkpath(QFileInfo(m_install->host(windows)).absolutePath());
        Connection c;
        QString text;
        QCOMPARE(errorOf([&] { c.open(connectionString(windows)); }, &text), err::EngineFailure);
        QVERIFY2(text.contains(windows), qPrintable(text));
        QVERIFY(!c.isOpen());
        QVERIFY(!QFile::exists(m_install->host(windows)));
    }

    void workgroupRefusals()
    {
        Connection c;
        QString text;
        const QString missing = QStringLiteral("c:\\Programmi\\Nessuno\\System.mdw");
        QCOMPARE(errorOf([&] { c.open(connectionString(m_windows, missing)); }, &text),
                 err::WorkgroupRefused);
        QVERIFY2(text.contains(missing), qPrintable(text));
        QVERIFY(!QFile::exists(m_install->host(missing)));

        QCOMPARE(
            errorOf([&] { c.open(connectionString(m_windows, TestInstall::mdw(), QStringLiteral("x"))); },
                    &text),
            err::WorkgroupRefused);
        QVERIFY2(text.contains(QLatin1String("password")), qPrintable(text));

        QString other = connectionString(m_windows);
        other.replace(QLatin1String("User ID=Larvinote"), QLatin1String("User ID=Admin"));
        QCOMPARE(errorOf([&] { c.open(other); }), err::WorkgroupRefused);

        // A workgroup file without the accounts is no workgroup file.
        TestInstall::createDatabase(m_install->host(TestInstall::mdw()),
                                    {QStringLiteral("create table x(a)")});
        QCOMPARE(errorOf([&] { c.open(connectionString(m_windows)); }), err::WorkgroupRefused);
        QVERIFY(!c.isOpen());
    }

    void accountNameIgnoresCase()
    {
        Connection c;
        QString lower = connectionString(m_windows);
        lower.replace(QLatin1String("User ID=Larvinote"), QLatin1String("User ID=larvinote"));
        c.open(lower);
        QVERIFY(c.isOpen());
    }

    void accessFileNeedsTheWindowsBuild()
    {
        QFile jet(m_file);
        QVERIFY(jet.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray header(2048, '\0');
        header.replace(0, 19, QByteArrayLiteral("\x00\x01\x00\x00Standard Jet DB\x00"));
        jet.write(header);
        jet.close();
        Connection c;
        QString text;
        QCOMPARE(errorOf([&] { c.open(connectionString(m_windows)); }, &text), err::EngineFailure);
        QVERIFY2(text.contains(m_windows) && text.contains(QLatin1String("Windows")), qPrintable(text));
    }

    void notADatabase()
    {
        QFile junk(m_file);
        QVERIFY(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
        junk.write("questo non è un database");
        junk.close();
        Connection c;
        QCOMPARE(errorOf([&] { c.open(connectionString(m_windows)); }), err::EngineFailure);
        QVERIFY(!c.isOpen());
    }

    void uncommittedWorkIsDiscarded()
    {
        const QString count = QStringLiteral("select count(*) from ANAG_ART");
        {
            auto c = openArchive();
            c->beginTrans();
            c->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('X')"));
            QVERIFY(c->inTransaction());
            c->close();
        }
        QCOMPARE(TestInstall::scalar(m_file, count).toInt(), 0);
        {
            auto c = openArchive();
            c->beginTrans();
            RowInserter(*c, QStringLiteral("ANAG_ART"), {QStringLiteral("CodArt")})
                .insert({QStringLiteral("Y")});
        } // destroyed with the transaction open
        QCOMPARE(TestInstall::scalar(m_file, count).toInt(), 0);
        {
            auto c = openArchive();
            c->beginTrans();
            c->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('Z')"));
            c->commitTrans();
            QVERIFY(!c->inTransaction());
        }
        QCOMPARE(TestInstall::scalar(m_file, count).toInt(), 1);
    }

    void lockedDatabase()
    {
        auto writer = openArchive();
        writer->beginTrans();
        writer->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('A')"));
        auto other = openArchive();
        QString text;
        QCOMPARE(errorOf([&] { other->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('B')")); },
                         &text),
                 err::EngineFailure);
        // In Italian, with the archive as the program names it.
        QVERIFY2(text.startsWith(QStringLiteral("L'archivio ") +
                                 TestInstall::archiveWindowsPath(1, years::Old) +
                                 QStringLiteral(" è in uso da un altro programma")),
                 qPrintable(text));
        writer->commitTrans();
        other->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('B')"));
    }

    // A journal left by a kill is played back when hot and removed when never
    // synced; one that another connection is writing is its write in
    // progress: left alone, and the recovery refuses.
    void aLeftoverJournalIsRecoveredOnlyWhenNobodyHoldsIt_data()
    {
        QTest::addColumn<QString>("journal"); // zero, empty, hot; or held: a writer's own
        QTest::addColumn<int>("expected");    // ArchiveRecovery, -1 refused
        QTest::newRow("all zero") << QStringLiteral("zero") << int(ArchiveRecovery::JournalRemoved);
        QTest::newRow("empty") << QStringLiteral("empty") << int(ArchiveRecovery::JournalRemoved);
        QTest::newRow("hot") << QStringLiteral("hot") << int(ArchiveRecovery::PlayedBack);
        QTest::newRow("a writer's, before its sync") << QStringLiteral("held") << -1;
        QTest::newRow("a writer's, after its sync") << QStringLiteral("held synced") << -1;
    }
    void aLeftoverJournalIsRecoveredOnlyWhenNobodyHoldsIt()
    {
        QFETCH(QString, journal);
        QFETCH(int, expected);
        const QString journalFile = m_file + QStringLiteral("-journal");
        const QString count = QStringLiteral("select count(*) from ANAG_ART");
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        const auto release = qScopeGuard([&holder] {
            holder.close();
            holder = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        });
        if (journal.startsWith(QLatin1String("held"))) {
            holder.setDatabaseName(m_file);
            QVERIFY(holder.open());
            QSqlQuery q(holder);
            if (journal.endsWith(QLatin1String("synced")))
                QVERIFY(q.exec(QStringLiteral("pragma cache_size = 1")));
            QVERIFY(q.exec(QStringLiteral("begin immediate")));
            QVERIFY(
                q.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where "
                                      "i < 100) insert into ANAG_ART(CodArt, DescrArt) select 'X' || i, "
                                      "hex(randomblob(2000)) from n")));
            QCOMPARE(leftoverJournal(m_windows) == LeftoverJournal::Hot,
                     journal.endsWith(QLatin1String("synced")));
        } else if (journal == QLatin1String("hot")) {
            TestInstall::leaveInterruptedWrite(m_file, QStringLiteral("delete from ANAG_ART"));
        } else {
            QFile f(journalFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(journal == QLatin1String("zero") ? 4096 : 0, '\0'));
        }
        const QByteArray journalBefore = [&] {
            QFile f(journalFile);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        if (expected < 0) {
            QString text;
            QCOMPARE(errorOf([&] { recoverInterruptedArchive(connectionString(m_windows)); }, &text),
                     err::EngineFailure);
            QVERIFY2(text.contains(QStringLiteral("è in uso da un altro programma")), qPrintable(text));
            QFile f(journalFile);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), journalBefore);
            QSqlQuery q(holder);
            QVERIFY(q.exec(QStringLiteral("commit")));
            QCOMPARE(TestInstall::scalar(m_file, count).toInt(), 100);
        } else {
            QCOMPARE(int(recoverInterruptedArchive(connectionString(m_windows))), expected);
            QVERIFY(!QFile::exists(journalFile));
            QCOMPARE(leftoverJournal(m_windows), LeftoverJournal::None);
            QCOMPARE(TestInstall::scalar(m_file, count).toInt(), 0);
        }
    }

    // The archive immutable, or its folder (no journal can be made beside it).
    void aReadOnlyArchiveSaysSo_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("archive") << false << QStringLiteral(" è in sola lettura");
        QTest::newRow("folder") << true << QStringLiteral(" non si può aprire");
    }
    void aReadOnlyArchiveSaysSo()
    {
        QFETCH(bool, folder);
        QFETCH(QString, expected);
        const QString flagged = folder ? QFileInfo(m_file).absolutePath() : m_file;
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), flagged}) != 0)
            QSKIP("chattr +i is not available here");
        const auto cleanUp = qScopeGuard([&flagged] {
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), flagged});
        });
        QString text;
        QCOMPARE(
            errorOf(
                [&] { openArchive()->execute(QStringLiteral("insert into ANAG_ART(CodArt) values('A')")); },
                &text),
            err::EngineFailure);
        QVERIFY2(text.startsWith(QStringLiteral("L'archivio ") +
                                 TestInstall::archiveWindowsPath(1, years::Old) + expected),
                 qPrintable(text));
    }

    void aDamagedArchiveSaysWhatToDo()
    {
        {
            auto c = openArchive();
            c->execute(QStringLiteral("insert into ANAG_ART(CodArt) select 'A' || hex(randomblob(200)) from "
                                      "MOV_MAG union all select 'B' || hex(randomblob(200))"));
        }
        // Garbage over the pages after the first: the engine finds the file damaged.
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.size() > 8192);
        file.seek(4096);
        file.write(QByteArray(int(file.size() - 4096), '\x5a'));
        file.close();
        QString text;
        errorOf([&] { Query(*openArchive(), QStringLiteral("select count(*) from ANAG_ART")).exec(); },
                &text);
        QVERIFY2(text.contains(QStringLiteral("è danneggiato: ripristinare la copia di sicurezza")),
                 qPrintable(text));
    }

    void finishedReadsHoldNoLock()
    {
        auto reader = openArchive();
        auto writer = openArchive();
        Query q(*reader, QStringLiteral("select * from CAUSALI"));
        q.exec();
        while (q.next()) {
        }
        Query early(*reader, QStringLiteral("select * from CAUSALI"));
        early.exec();
        QVERIFY(early.next());
        early.finish();
        writer->beginTrans();
        writer->execute(QStringLiteral("delete from CAUSALI"));
        writer->commitTrans();
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select count(*) from CAUSALI")).toInt(), 0);
    }

    void commitWithAReadInProgress()
    {
        auto c = openArchive();
        c->beginTrans();
        Query reading(*c, QStringLiteral("select Tipo_Causale from CAUSALI order by rowid"));
        reading.exec();
        QVERIFY(reading.next());
        c->execute(QStringLiteral("update CONTATORI set Progr_ddt = 0"));
        c->commitTrans();
        QVERIFY(reading.next());
        reading.finish();
        QCOMPARE(TestInstall::scalar(m_file, QStringLiteral("select Progr_ddt from CONTATORI")).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseConnection)
#include "test_database_connection.moc"
