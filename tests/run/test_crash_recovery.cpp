// A year opening killed at any write, or stopped by Ctrl-C, and then run
// again leaves exactly what an uninterrupted run leaves; two runs the same
// day keep both safety copies; a second run or restore started during one
// is refused and changes nothing. Kills the built riapertura-cli with strace
// at writes chosen from the trace of one uninterrupted run.
#include "support/years.h"
#include "traced_run_fixture.h"

#include <QRegularExpression>
#include <QTemporaryDir>

class TestCrashRecovery : public TracedRunFixture
{
    Q_OBJECT

    // A company's new-year archive as a killed run left it, as the engine
    // finds it at its next opening (its journal rolled back, on a copy):
    // the carried items of whole batches, and their counter as those
    // batches left it: at least the number of the last item kept, below
    // the number the next item takes in an uninterrupted run.
    void openItemsAgreeWithTheirCounter(const QString& drive, int slot)
    {
        const QString oldYear = QLatin1Char('/') + years::oldText() + QStringLiteral("/dati.mdb");
        const QString newYear = QLatin1Char('/') + years::newText() + QStringLiteral("/dati.mdb");
        const QString killed = oldArchiveOf(drive, slot).replace(oldYear, newYear);
        const QString clean = oldArchiveOf(m_cleanDrive, slot).replace(oldYear, newYear);
        QTemporaryDir copy;
        const QString recovered = copy.filePath(QStringLiteral("dati.mdb"));
        QVERIFY(QFile::copy(killed, recovered));
        if (QFile::exists(killed + QStringLiteral("-journal")))
            QVERIFY(QFile::copy(killed + QStringLiteral("-journal"), recovered + QStringLiteral("-journal")));
        const auto numbers = [](const QString& file) {
            QList<qlonglong> out;
            for (const QVariantList& row : TestInstall::rows(
                     file, QStringLiteral("select progr_mov_cont from MOV_CONT order by rowid")))
                out << row.first().toLongLong();
            return out;
        };
        const auto counter = [](const QString& file) {
            return TestInstall::scalar(
                       file, QStringLiteral("select Progr_Mov_Cont from CONTATORI order by rowid limit 1"))
                .toLongLong();
        };
        const QList<qlonglong> kept = numbers(recovered);
        const QList<qlonglong> all = numbers(clean);
        QVERIFY2(kept == all.mid(0, kept.size()), "the items kept are not the first ones carried");
        const qlonglong at = counter(recovered);
        const QString said = QStringLiteral("%1 items kept, counter %2").arg(kept.size()).arg(at);
        if (kept.size() == all.size()) {
            QVERIFY2(at == counter(clean), qPrintable(said));
        } else {
            QVERIFY2(at >= (kept.isEmpty() ? 0 : kept.last()), qPrintable(said));
            QVERIFY2(at < all.at(kept.size()), qPrintable(said));
        }
    }

private slots:
    void initTestCase() { prepareTracedRun(); }

    void killedAndRunAgain_data()
    {
        addKillPointRows(m_points);
        QTest::newRow("Azienda_1 old year: an all-zero journal put by hand") << -1;
    }

    // Killed anywhere, checked, then run again: the same archives as one
    // uninterrupted run, and the check alone writes nothing.
    void killedAndRunAgain()
    {
        QFETCH(int, point);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        if (point >= 0) {
            killAt(drive, m_points[point]);
            if (QTest::currentTestFailed())
                return;
            static const QRegularExpression openItems(QStringLiteral("^Azienda_(\\d+) .* open items "));
            if (const auto m = openItems.match(m_points[point].label); m.hasMatch()) {
                openItemsAgreeWithTheirCounter(drive, m.captured(1).toInt());
                if (QTest::currentTestFailed())
                    return;
            }
        } else {
            QFile journal(oldArchiveOf(drive, 1) + QStringLiteral("-journal"));
            QVERIFY(journal.open(QIODevice::WriteOnly));
            QCOMPARE(journal.write(QByteArray(4096, '\0')), 4096);
        }

        const Fingerprint before = TestInstall::fingerprint(drive);
        const Outcome check = cli(drive, QStringLiteral("--check"));
        QVERIFY2(check.status == QProcess::NormalExit, qPrintable(check.gist()));
        const Fingerprint after = TestInstall::fingerprint(drive);
        QVERIFY2(after == before,
                 qPrintable(QStringLiteral("--check changed ") + differences(before, after)));

        const QString programs = programsOf(drive);
        const QStringList unfinished = unfinishedCopies(programs);
        const Outcome again = cli(drive, QStringLiteral("--yes"));
        QVERIFY2(again.exitedWith(0), qPrintable(QStringLiteral("run again: ") + again.gist()));
        sameArchivesAsExpected(drive);
        // A copy cut short is never left to pass for one.
        QCOMPARE(unfinishedCopies(programs), QStringList());
        for (const QString& copy : unfinished)
            QVERIFY2(again.output.contains(QStringLiteral(
                         "Copia di sicurezza incompleta di una riapertura interrotta rimossa: ")) &&
                         again.output.contains(copy),
                     qPrintable(again.output));
        noJournalInTheCopies(programsOf(drive));
        if (point < 0) {
            QVERIFY2(check.output.contains(
                         QStringLiteral("ATTENZIONE Azienda_1: il file dati.mdb-journal è rimasto")),
                     qPrintable(check.output));
            QVERIFY2(again.output.contains(QStringLiteral("rimosso il file dati.mdb-journal")),
                     qPrintable(again.output));
        }
    }

    void interruptedAndRunAgain_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<bool>("again"); // Ctrl-C again at every later call of the kind
        QTest::addColumn<QString>("said");
        QTest::newRow("during the copy")
            << QStringLiteral("safety copy: archive of the first company") << false
            << QStringLiteral("durante la copia di sicurezza: nessuna azienda è stata aperta; una nuova "
                              "riapertura rifà tutto da capo");
        QTest::newRow("at the start of a step")
            << QStringLiteral("Azienda_1 start of step: opening stock") << false
            << QStringLiteral(
                   "durante la creazione dei movimenti di magazzino di Azienda_1: nessuna azienda");
        QTest::newRow("inside a commit, Ctrl-C again and again")
            << years::fill(QStringLiteral("Azienda_2 {new} open items 1 commit: page write")) << true
            << QStringLiteral("durante il riporto delle partite aperte di Azienda_2: l'azienda Azienda_1 è "
                              "stata aperta, Azienda_2 no; una nuova riapertura le rifà tutte da capo");
    }

    // Ctrl-C at a chosen call: the run stops at its next safe point, says
    // where in one line (on the console and last in the log, which holds
    // every event line, the held ones too) and exits 130; a second Ctrl-C is
    // answered, not obeyed. Run again, it leaves what an uninterrupted run
    // leaves.
    void interruptedAndRunAgain()
    {
        QFETCH(QString, point);
        QFETCH(bool, again);
        QFETCH(QString, said);
        const int at = pointLabelled(point);
        QVERIFY2(at >= 0, qPrintable(point));
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());

        const Outcome stopped = interruptAt(drive, m_points[at], again);
        QVERIFY2(stopped.exitedWith(130), qPrintable(stopped.gist()));
        const QString line = QStringLiteral("Riapertura interrotta dall'utente ") + said;
        QVERIFY2(stopped.output.contains(line), qPrintable(stopped.output.right(1500)));
        QCOMPARE(stopped.output.contains(QStringLiteral("interruzione già in corso")), again);

        QDirIterator logs(drive, {years::fill(QStringLiteral("log_Riapertura_{new}.txt"))}, QDir::Files,
                          QDirIterator::Subdirectories);
        QVERIFY(logs.hasNext());
        QFile logFile(logs.next());
        QVERIFY2(logFile.open(QIODevice::ReadOnly), qPrintable(logFile.fileName()));
        QStringList log;
        for (const QByteArray& quoted : logFile.readAll().split('\n'))
            if (quoted.trimmed().size() > 2) // the empty lines are not on the console's
                log << QString::fromLatin1(quoted.trimmed().mid(1).chopped(1));
        QVERIFY2(log.last().startsWith(line), qPrintable(log.last()));
        // Every event line on the console is in the log, in order: the
        // console's own lines (boxes, answers, the outcome, its notices) apart.
        // The notices come on standard error whenever a signal does, maybe
        // between two pieces of one line of standard output.
        QString console = stopped.output;
        console.remove(QRegularExpression(QStringLiteral("\n*riapertura-cli: interruzione [^\n]*\n")));
        QStringList events;
        for (const QString& shown : console.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (!shown.startsWith(QLatin1Char('[')) && !shown.startsWith(QStringLiteral("-> ")) &&
                !shown.startsWith(QStringLiteral("Esito: ")))
                events << shown;
        QCOMPARE(log, events);

        // No half copy left to pass for one: every copy there has its manifest.
        QDirIterator copies(drive, {QStringLiteral("Copia_dati_*")}, QDir::Dirs,
                            QDirIterator::Subdirectories);
        while (copies.hasNext()) {
            const QString copy = copies.next();
            QVERIFY2(QFile::exists(copy + QLatin1Char('/') + ManifestName), qPrintable(copy));
        }
        // Nor one under its working name: a stopped copy is removed at once.
        QVERIFY(!QDirIterator(drive, {QStringLiteral("Copia_in_corso_*")}, QDir::Dirs,
                              QDirIterator::Subdirectories)
                     .hasNext());

        const Outcome runAgain = cli(drive, QStringLiteral("--yes"));
        QVERIFY2(runAgain.exitedWith(0), qPrintable(QStringLiteral("run again: ") + runAgain.gist()));
        sameArchivesAsExpected(drive);
    }

    void aSecondOneIsRefused_data()
    {
        QTest::addColumn<bool>("restoreFirst"); // else a run first
        QTest::addColumn<QStringList>("second");
        QTest::newRow("a run during a run") << false << Run;
        QTest::newRow("a restore during a run") << false << Restore;
        QTest::newRow("a run during a restore") << true << Run;
    }

    // A run held at its first old-year journal sync, or a restore held at its
    // final swap (data folder set aside): a second run or restore started
    // then is refused, exit 2, and changes nothing; the check says so as a
    // warning; the first ends as if alone. The hold lasts 20 s: the refusal
    // and the check (which waits some 5 s on the held archive) must fit in
    // it on a loaded machine.
    void aSecondOneIsRefused()
    {
        QFETCH(bool, restoreFirst);
        QFETCH(QStringList, second);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const QString programs = programsOf(drive);
        const auto data = [&] {
            return QDir(programs).entryList({QStringLiteral("dati")}, QDir::Dirs);
        };
        QStringList hold;
        QString heldFile;
        std::function<bool()> held;
        if (restoreFirst) {
            const Outcome opened = cli(drive, QStringLiteral("--yes"));
            QVERIFY2(opened.exitedWith(0), qPrintable(opened.gist()));
            hold << QStringLiteral("trace=rename,renameat,renameat2")
                 << QStringLiteral("inject=rename,renameat,renameat2:delay_enter=20000000:when=1");
            heldFile = programs + QStringLiteral("/dati_ripristino_in_corso");
            held = [&] {
                return data().isEmpty();
            };
        } else {
            hold << QStringLiteral("trace=fdatasync")
                 << QStringLiteral("inject=fdatasync:delay_enter=20000000:when=1");
            heldFile = oldArchiveOf(drive, 1) + QStringLiteral("-journal");
            held = [&] {
                return QFile::exists(heldFile);
            };
        }
        QProcess first;
        start(first, QStringLiteral("strace"),
              tracedArguments(drive, hold, restoreFirst ? Restore : Run, heldFile));
        if (!waitUntil(first, held))
            QFAIL(qPrintable(QStringLiteral("never held: ") + finish(first).gist()));

        const Fingerprint before = withoutLogs(TestInstall::fingerprint(drive));
        const Outcome refused =
            run(QStringLiteral(RIAPERTURA_CLI), QStringList{QStringLiteral("--drive-c"), drive} + second);
        const Fingerprint after = withoutLogs(TestInstall::fingerprint(drive));
        QVERIFY2(refused.exitedWith(2) && refused.output.contains(Busy), qPrintable(refused.gist()));
        QVERIFY2(after == before, qPrintable(QStringLiteral("changed: ") + differences(before, after)));
        const Outcome check = cli(drive, QStringLiteral("--check"));
        QVERIFY2(check.output.contains(QStringLiteral("ATTENZIONE ") + Busy), qPrintable(check.output));

        const Outcome firstOutcome = finish(first);
        QVERIFY2(firstOutcome.exitedWith(0), qPrintable(firstOutcome.gist()));
        if (restoreFirst) {
            const Outcome again = cli(drive, QStringLiteral("--yes"));
            QVERIFY2(again.exitedWith(0), qPrintable(again.gist()));
        }
        sameArchivesAsExpected(drive);
    }

    void twoRunsSameDay_data()
    {
        QTest::addColumn<int>("killedAt");
        QTest::newRow("after a complete run") << -1;
        QTest::newRow("after a killed run") << m_pointBeforeSecondRun;
    }

    // The second run keeps the first safety copy as it was taken; each copy
    // carries a manifest that holds.
    void twoRunsSameDay()
    {
        QFETCH(int, killedAt);
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const QString data = dataOf(drive);
        const QString programs = programsOf(drive);
        const Fingerprint pristine = withoutTmp(TestInstall::fingerprint(data));

        if (killedAt < 0) {
            const Outcome first = cli(drive, QStringLiteral("--yes"));
            QVERIFY2(first.exitedWith(0), qPrintable(first.gist()));
        } else {
            killAt(drive, m_points[killedAt]);
            if (QTest::currentTestFailed())
                return;
        }
        const QStringList firstCopy = safetyCopies(programs);
        QCOMPARE(firstCopy.size(), 1);

        const Outcome second = cli(drive, QStringLiteral("--yes"));
        QVERIFY2(second.status == QProcess::NormalExit, qPrintable(second.gist()));
        const QStringList copies = safetyCopies(programs);
        QVERIFY2(
            copies.size() == 2 && copies.contains(firstCopy[0]),
            qPrintable(QStringLiteral("safety copies after two runs: ") + copies.join(QStringLiteral(", "))));

        Fingerprint kept = withoutTmp(TestInstall::fingerprint(programs + QLatin1Char('/') + firstCopy[0]));
        kept.remove(ManifestName);
        QVERIFY2(kept == pristine,
                 qPrintable(QStringLiteral("first copy differs: ") + differences(pristine, kept)));
        for (const QString& copy : copies) {
            manifestHolds(programs + QLatin1Char('/') + copy);
            if (QTest::currentTestFailed())
                return;
        }
    }
};

QTEST_GUILESS_MAIN(TestCrashRecovery)
#include "test_crash_recovery.moc"
