// The company check, the safety copy and the new-year folders on a temporary
// drive C:.
#include "archive/archive_steps.h"
#include "archive/safety_copy_ahead.h"
#include "data/filesystem.h"
#include "outside_folder.h"
#include "step_fixture.h"
#include "support/years.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace rio;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestArchiveSteps : public QObject
{
    Q_OBJECT

private slots:
    void listsOnlyCompaniesWithAnOldYearArchive()
    {
        StepFixture f;
        for (int slot : {1, 2, 5})
            f.install.createArchive(slot);
        // Never looked at or not an archive of the year in course.
        writeFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_03\\{old}\\dati.mdb"))), "x");
        writeFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_11\\{old}\\dati.mdb"))), "x");
        writeFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_3\\{new}\\dati.mdb"))), "x");
        QDir().mkpath(
            f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_4\\{old}\\dati.mdb")))); // a folder

        CONTROLLO_AZIENDE(f.ctx);

        QCOMPARE(f.state.NumAziende, 3);
        QCOMPARE(f.host.labels[CompanyInfo::Count], QStringLiteral("3"));
        QCOMPARE(f.state.ElencoAziende[1],
                 TestInstall::base() +
                     years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}\\dati.mdb*ATTIVA")));
        QCOMPARE(f.state.ElencoAziende[5],
                 TestInstall::base() +
                     years::fill(QStringLiteral("dati\\esercizi\\Azienda_5\\{old}\\dati.mdb*ATTIVA")));
        for (int slot : {3, 4, 6, 7, 8, 9, 10})
            QVERIFY2(f.state.ElencoAziende[slot].isEmpty(), qPrintable(QString::number(slot)));
        QVERIFY(f.host.boxes.isEmpty());
        QVERIFY(f.host.events.isEmpty());
    }

    void noCompanyShowsZero()
    {
        StepFixture f;
        CONTROLLO_AZIENDE(f.ctx);
        QCOMPARE(f.state.NumAziende, 0);
        QCOMPARE(f.host.labels[CompanyInfo::Count], QStringLiteral("0"));
    }

    void safetyCopyHoldsTheWholeDataFolderVerifiedAndNeverOverwritesAnother()
    {
        StepFixture f;
        f.install.createArchive(1);
        writeFile(f.file(years::fill(QStringLiteral("dati\\Tmp\\log_Riapertura_{new}.txt"))), "\"riga\"\r\n");
        writeFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}\\allegati\\nota.txt"))),
                  "prima");
        const auto before = TestInstall::fingerprint(f.file(QStringLiteral("dati")));

        COPIO_CARTELLA_SALVATAGGIO(f.ctx, TestInstall::base() + QStringLiteral("dati"));

        const QString daily =
            QStringLiteral("Copia_dati_") + QDate::currentDate().toString(QStringLiteral("ddMMyyyy"));
        const QString copy = f.file(daily);
        QVERIFY(f.state.record.safetyCopyVerified);
        QCOMPARE(f.state.record.safetyCopy, TestInstall::base() + daily);
        auto copied = TestInstall::fingerprint(copy);
        QVERIFY(copied.remove(QStringLiteral("copia_di_sicurezza.sha256")) == 1);
        QCOMPARE(copied, before);
        QCOMPARE(f.host.events.mid(0, 2),
                 QStringList({QStringLiteral("backup di sicurezza degli archivi in corso..."), QString()}));
        QVERIFY2(f.host.events.value(2).startsWith(QStringLiteral("Copia di sicurezza verificata: ")) &&
                     f.host.events.value(2).contains(daily),
                 qPrintable(f.host.events.value(2)));
        QVERIFY(!f.host.busy);

        // The manifest is sha256sum's own format, checked here by sha256sum itself.
        QProcess check;
        check.setWorkingDirectory(copy);
        check.start(QStringLiteral("sha256sum"), {QStringLiteral("--quiet"), QStringLiteral("-c"),
                                                  QStringLiteral("copia_di_sicurezza.sha256")});
        QVERIFY(check.waitForFinished());
        QCOMPARE(check.exitCode(), 0);

        // A second copy the same day goes beside the first, which stays as it was.
        writeFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}\\allegati\\nota.txt"))),
                  "dopo");
        COPIO_CARTELLA_SALVATAGGIO(f.ctx, TestInstall::base() + QStringLiteral("dati"));
        QVERIFY(f.state.record.safetyCopy.startsWith(TestInstall::base() + daily + QLatin1Char('_')));
        QCOMPARE(readFile(copy + years::fill(QStringLiteral("/esercizi/Azienda_1/{old}/allegati/nota.txt"))),
                 QByteArray("prima"));
        QCOMPARE(readFile(f.install.host(f.state.record.safetyCopy) +
                          years::fill(QStringLiteral("/esercizi/Azienda_1/{old}/allegati/nota.txt"))),
                 QByteArray("dopo"));
        QVERIFY(f.host.boxes.isEmpty());

        // A copy altered between its writing and its reading back is refused.
        f.host.onYield = [&f] {
            const QString manifest =
                f.install.host(f.state.record.safetyCopy) + QStringLiteral("/copia_di_sicurezza.sha256");
            if (QFileInfo::exists(manifest))
                writeFile(f.install.host(f.state.record.safetyCopy) +
                              years::fill(QStringLiteral("/esercizi/Azienda_1/{old}/allegati/nota.txt")),
                          "alterata");
        };
        COPIO_CARTELLA_SALVATAGGIO(f.ctx, TestInstall::base() + QStringLiteral("dati"));
        f.host.onYield = {};
        QVERIFY(!f.state.record.safetyCopyVerified);
        QCOMPARE(f.host.boxes.size(), 1);
        QVERIFY2(f.host.boxes.first().text.contains(years::fill(
                     QStringLiteral("esercizi/Azienda_1/{old}/allegati/nota.txt (contenuto diverso)"))) &&
                     f.host.boxes.first().text.endsWith(
                         QStringLiteral("in procedure COPIO_CARTELLA of Form frmRiapri")),
                 qPrintable(f.host.boxes.first().text));
    }

    void aNameTakenIsPassedOver_data()
    {
        QTest::addColumn<QString>("taker"); // what holds today's name: a file, or a link to there
        QTest::newRow("a link leading nowhere") << QStringLiteral("manca");
        QTest::newRow("a link to a folder outside") << QStringLiteral("cartella");
        QTest::newRow("a file") << QString();
    }

    // Today's name held by something else: the copy takes the next free
    // name, and what held it stays as it was.
    void aNameTakenIsPassedOver()
    {
        QFETCH(QString, taker);
        StepFixture f;
        f.install.createArchive(1);
        OutsideFolder outside;
        const QString daily =
            QStringLiteral("Copia_dati_") + QDate::currentDate().toString(QStringLiteral("ddMMyyyy"));
        if (taker.isEmpty())
            writeFile(f.file(daily), "un file");
        else
            QVERIFY(QFile::link(outside.path(taker), f.file(daily)));
        const QStringList before = outside.state();

        COPIO_CARTELLA_SALVATAGGIO(f.ctx, TestInstall::base() + QStringLiteral("dati"));
        QVERIFY2(f.state.record.safetyCopyVerified, f.shownBoxes().constData());
        QVERIFY(f.state.record.safetyCopy.startsWith(TestInstall::base() + daily + QLatin1Char('_')));
        QCOMPARE(outside.state(), before);
        if (taker.isEmpty())
            QCOMPARE(readFile(f.file(daily)), QByteArray("un file"));
        else
            QCOMPARE(QFileInfo(f.file(daily)).symLinkTarget(), outside.path(taker));
    }

    void newYearCopyRemovesAStaleJournalOfTheArchiveItReplaces()
    {
        StepFixture f;
        f.install.createArchive(1);
        CONTROLLO_AZIENDE(f.ctx);
        // What a run killed in the middle of a commit leaves in the new year.
        writeFile(f.file(years::fill(QStringLiteral("dati\\Esercizi\\Azienda_1\\{new}\\dati.mdb"))),
                  "vecchio");
        writeFile(f.file(years::fill(QStringLiteral("dati\\Esercizi\\Azienda_1\\{new}\\DATI.MDB-journal"))),
                  "giornale");
        writeFile(f.file(years::fill(QStringLiteral("dati\\Esercizi\\Azienda_1\\{new}\\dati.mdb-wal"))),
                  "wal");
        // The source's own side files are not touched.
        writeFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}\\dati.mdb-shm"))), "");
        QVERIFY(fs::hasArchiveSideFiles(TestInstall::archiveWindowsPath(1, years::New)));

        CREO_NUOVO_ANNO(f.ctx);

        QVERIFY(f.host.boxes.isEmpty());
        QVERIFY(!fs::hasArchiveSideFiles(TestInstall::archiveWindowsPath(1, years::New)));
        QCOMPARE(readFile(f.newArchive(1)), readFile(f.oldArchive(1)));
        QVERIFY(QFileInfo::exists(
            f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}\\dati.mdb-shm")))));
    }

    // The copy is made under a working name that no restore lists, and takes
    // its dated name once verified: the next free one when that was taken
    // meanwhile. What a killed run left under the working name goes first.
    void safetyCopyTakesItsNameOnlyOnceVerified()
    {
        StepFixture f;
        f.install.createArchive(1);
        const QString daily =
            QStringLiteral("Copia_dati_") + QDate::currentDate().toString(QStringLiteral("ddMMyyyy"));
        const QString leftover = QStringLiteral("Copia_in_corso_Copia_dati_01012099");
        QVERIFY(QDir().mkpath(f.file(leftover) + QStringLiteral("/esercizi")));
        QStringList seen;
        f.host.onYield = [&] {
            if (QDir(f.file(daily)).exists())
                return;
            seen += QDir(f.root()).entryList({QStringLiteral("Copia_*")}, QDir::Dirs);
            // Someone takes the dated name once the copy is written.
            if (QFileInfo::exists(f.install.host(f.state.record.safetyCopy) +
                                  QStringLiteral("/copia_di_sicurezza.sha256")))
                QVERIFY(QDir().mkdir(f.file(daily)));
        };

        COPIO_CARTELLA_SALVATAGGIO(f.ctx, TestInstall::base() + QStringLiteral("dati"));

        QVERIFY(f.state.record.safetyCopyVerified);
        seen.removeDuplicates();
        QCOMPARE(seen, QStringList{QStringLiteral("Copia_in_corso_") + daily});
        QVERIFY(f.state.record.safetyCopy.startsWith(TestInstall::base() + daily + QLatin1Char('_')));
        QVERIFY(QFileInfo::exists(f.install.host(f.state.record.safetyCopy) +
                                  years::fill(QStringLiteral("/esercizi/Azienda_1/{old}/dati.mdb"))));
        QCOMPARE(QDir(f.file(daily)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(QDir(f.root()).entryList({QStringLiteral("Copia_in_corso_*")}, QDir::Dirs), QStringList());
        QCOMPARE(f.host.events.first(),
                 QStringLiteral("Copia di sicurezza incompleta di una riapertura interrotta rimossa: ") +
                     TestInstall::base() + leftover);
    }

    // A copy begun before the check is the run's copy: taken over, verified
    // and named as any; one that failed is reported and removed as any; one
    // of another folder is removed and the copy made anew.
    void aCopyBegunBeforehandIsTakenOver_data()
    {
        QTest::addColumn<QString>("begun");
        QTest::newRow("sound") << QStringLiteral("sound");
        QTest::newRow("a link in the data folder") << QStringLiteral("link");
        QTest::newRow("of another folder") << QStringLiteral("other");
    }
    void aCopyBegunBeforehandIsTakenOver()
    {
        QFETCH(QString, begun);
        StepFixture f;
        f.install.createArchive(1);
        const QString data = TestInstall::base() + QStringLiteral("dati");
        if (begun == QLatin1String("link"))
            QVERIFY(QFile::link(QDir::tempPath(), f.file(QStringLiteral("dati\\esercizi\\fuori"))));
        const auto before = TestInstall::fingerprint(f.file(QStringLiteral("dati")));
        SafetyCopyAhead ahead;
        QVERIFY(ahead.start(TestInstall::base(),
                            begun == QLatin1String("other") ? data + QStringLiteral("\\esercizi") : data));
        const QString working = ahead.workingPath();

        COPIO_CARTELLA_SALVATAGGIO(f.ctx, data, &ahead);

        QVERIFY(!ahead.pending());
        QVERIFY(!QFileInfo::exists(f.install.host(working)) || begun == QLatin1String("other"));
        QCOMPARE(QDir(f.root()).entryList({QStringLiteral("Copia_in_corso_*")}, QDir::Dirs), QStringList());
        if (begun == QLatin1String("link")) {
            QVERIFY(!f.state.record.safetyCopyVerified);
            QCOMPARE(f.host.boxes.size(), 1);
            QVERIFY2(f.host.boxes.first().text.contains(QStringLiteral("collegamento")),
                     qPrintable(f.host.boxes.first().text));
            QVERIFY(
                f.host.events.contains(QStringLiteral("Copia di sicurezza incompleta rimossa: ") + working));
            return;
        }
        QVERIFY(f.state.record.safetyCopyVerified);
        auto copied = TestInstall::fingerprint(f.install.host(f.state.record.safetyCopy));
        QVERIFY(copied.remove(QStringLiteral("copia_di_sicurezza.sha256")) == 1);
        QCOMPARE(copied, before);
        QVERIFY(f.host.boxes.isEmpty());
    }

    void safetyCopyOfAMissingFolderReportsAndGoesOn()
    {
        StepFixture f;
        f.state.PercorsoBase = QStringLiteral("c:\\Altrove\\");
        COPIO_CARTELLA_SALVATAGGIO(f.ctx, QStringLiteral("c:\\Altrove\\dati"));
        QCOMPARE(f.host.boxes.size(), 1);
        const auto box = f.host.boxes.first();
        QVERIFY2(box.text.startsWith(QStringLiteral("Error ")), qPrintable(box.text));
        QVERIFY(box.text.endsWith(QStringLiteral(") in procedure COPIO_CARTELLA of Form frmRiapri")));
        QCOMPARE(box.buttons, Buttons::Ok);
        QCOMPARE(box.icon, Icon::None);
        QCOMPARE(box.title, QStringLiteral("Riapertura"));
        // The caption and the hourglass stay as the failure left them.
        QCOMPARE(f.ctx.progress(), QStringLiteral("BACKUP DI SICUREZZA DEGLI ARCHIVI IN CORSO..."));
        QVERIFY(f.host.busy);
        QVERIFY(f.ctx.runHadErrors());
        QCOMPARE(f.host.events.last(), box.text);
    }

    void newYearFoldersAreCopiesOfTheOldYear()
    {
        StepFixture f;
        for (int slot : {1, 4, 6})
            f.install.createArchive(slot);
        writeFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}\\sub\\altro.txt"))),
                  "altro");
        CONTROLLO_AZIENDE(f.ctx);
        f.state.ElencoAziende[6] =
            f.state.ElencoAziende[6].replace(QStringLiteral("ATTIVA"), QStringLiteral("attiva"));

        CREO_NUOVO_ANNO(f.ctx);

        QCOMPARE(readFile(f.newArchive(1)), readFile(f.oldArchive(1)));
        QCOMPARE(readFile(f.newArchive(4)), readFile(f.oldArchive(4)));
        QCOMPARE(
            readFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{new}\\sub\\altro.txt")))),
            QByteArray("altro"));
        QVERIFY(!QFile::exists(f.newArchive(6))); // state word is compared exactly
        QCOMPARE(f.host.events,
                 QStringList({QStringLiteral("creazione nuovi archivi in corso..."), QString()}));

        // A second run replaces the archive and keeps files only the new year has.
        writeFile(f.newArchive(1), "cambiato");
        writeFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{new}\\nuovo.txt"))),
                  "resta");
        CREO_NUOVO_ANNO(f.ctx);
        QCOMPARE(readFile(f.newArchive(1)), readFile(f.oldArchive(1)));
        QCOMPARE(readFile(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{new}\\nuovo.txt")))),
                 QByteArray("resta"));
        QVERIFY(f.host.boxes.isEmpty());
    }

    void newYearStopsAtTheFirstFailure()
    {
        StepFixture f;
        f.install.createArchive(1);
        f.install.createArchive(2);
        CONTROLLO_AZIENDE(f.ctx);
        QVERIFY(QDir(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{old}"))))
                    .removeRecursively());

        CREO_NUOVO_ANNO(f.ctx);

        QCOMPARE(f.host.boxes.size(), 1);
        QVERIFY(f.host.boxes.first().text.endsWith(
            QStringLiteral(") in procedure CREO_NUOVO_ANNO of Form frmRiapri")));
        QVERIFY(!QFile::exists(f.newArchive(2)));
        QCOMPARE(f.ctx.progress(), QStringLiteral("CREAZIONE NUOVI ARCHIVI IN CORSO..."));
    }
};

QTEST_GUILESS_MAIN(TestArchiveSteps)
#include "test_archive_steps.moc"
