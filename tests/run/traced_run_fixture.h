#pragma once

// What the tests that drive the built riapertura-cli on demo installations
// share: a small demo made once, the trace of one uninterrupted run over it,
// the archives that run leaves and the points chosen in its trace where a
// run is killed or stopped; then fresh copies of the demo to break.
#include "archive_dump.h"
#include "child_process.h"
#include "crash_points.h"
#include "support/test_install.h"
#include "support/years.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <exception>
#include <functional>

// Small enough for a quick run, with two commits of open items per company:
// the run is told to commit every 1,000 rows (prepareTracedRun).
inline const QStringList DemoSize{QStringLiteral("--companies"),  QStringLiteral("2"),
                                  QStringLiteral("--articles"),   QStringLiteral("40"),
                                  QStringLiteral("--movements"),  QStringLiteral("200"),
                                  QStringLiteral("--open-items"), QStringLiteral("1500"),
                                  QStringLiteral("--seed"),       QStringLiteral("7")};
constexpr int Companies = 2;
constexpr int OpenItemCommits = 2;
inline const QString ManifestName = QStringLiteral("copia_di_sicurezza.sha256");
inline const QStringList Run{QStringLiteral("--yes")};
inline const QStringList Restore{QStringLiteral("--ripristina"), QStringLiteral("--yes")};
inline const QString Busy =
    QStringLiteral("Una riapertura o un ripristino è già in corso su questa installazione "
                   "(avviato alle ");

// Waits (up to a minute) until the condition holds or the process ends.
inline bool waitUntil(const QProcess& p, const std::function<bool()>& condition)
{
    for (int i = 0; i < 3000; ++i) {
        if (condition())
            return true;
        if (p.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(20);
    }
    return false;
}

// Every file of the folder but the logs and reports, which a run held at a
// write may still add to.
inline Fingerprint withoutLogs(Fingerprint files)
{
    for (auto it = files.begin(); it != files.end();)
        it = it.key().contains(QLatin1String("/tmp/"), Qt::CaseInsensitive) ? files.erase(it) : std::next(it);
    return files;
}

class TracedRunFixture : public QObject
{
protected:
    QTemporaryDir m_root;
    QString m_base;
    QString m_template;
    int m_drives = 0;
    QList<KillPoint> m_points;
    int m_pointBeforeSecondRun = -1;
    QMap<QString, Dump> m_expected; // archive, relative to the drive -> its dump
    QString m_cleanDrive;           // after the uninterrupted run
    QList<Call> m_cleanTrace;

    // A copy of the pristine installation.
    QString freshDrive() { return copyOfDrive(m_template, m_base, m_drives); }

    // The folder of the data folder and the safety copies, and a company's old-year archive.
    // The data folder as the demo names it (relative to the drive when the
    // drive is empty), and the folder that holds it and the safety copies.
    QString dataOf(const QString& drive) const
    {
        const QString data = m_expected.firstKey().section(QStringLiteral("/esercizi/"), 0, 0,
                                                           QString::SectionCaseInsensitiveSeps);
        return drive.isEmpty() ? data : drive + QLatin1Char('/') + data;
    }
    QString programsOf(const QString& drive) const { return QFileInfo(dataOf(drive)).path(); }
    QString oldArchiveOf(const QString& drive, int slot) const
    {
        const auto re = pattern(years::fill(QStringLiteral("/azienda_%1/{old}/dati\\.mdb$")).arg(slot));
        for (auto it = m_expected.begin(); it != m_expected.end(); ++it)
            if (re.match(it.key()).hasMatch())
                return drive + QLatin1Char('/') + it.key();
        return {};
    }

    // The copy is made after the old-year archives are put back: it never
    // holds their journal. (A new-year archive that a killed run left half
    // written is copied as it is, its journal beside it.)
    static void noJournalInTheCopies(const QString& programs)
    {
        for (const QString& copy : safetyCopies(programs)) {
            QDirIterator it(programs + QLatin1Char('/') + copy, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                QVERIFY2(!file.endsWith(years::fill(QStringLiteral("/{old}/dati.mdb-journal")),
                                        Qt::CaseInsensitive),
                         qPrintable(file));
            }
        }
    }

    void sameArchivesAsExpected(const QString& drive)
    {
        for (auto it = m_expected.begin(); it != m_expected.end(); ++it) {
            QString difference;
            try {
                difference = firstDifference(dumpArchive(drive + QLatin1Char('/') + it.key()), *it);
            } catch (const std::exception& e) {
                difference = QString::fromLocal8Bit(e.what());
            }
            QVERIFY2(difference.isEmpty(), qPrintable(it.key() + QStringLiteral(": ") + difference));
        }
    }

    // The manifest lists every file of the copy and sha256sum agrees with it.
    static void manifestHolds(const QString& copy)
    {
        QFile manifest(copy + QLatin1Char('/') + ManifestName);
        QVERIFY2(manifest.open(QIODevice::ReadOnly), qPrintable(QStringLiteral("no manifest in ") + copy));
        QSet<QString> listed;
        for (const QByteArray& line : manifest.readAll().split('\n'))
            if (line.size() > 66)
                listed.insert(QString::fromUtf8(line.mid(66)));
        const Fingerprint files = withoutTmp(TestInstall::fingerprint(copy));
        for (auto it = files.begin(); it != files.end(); ++it)
            QVERIFY2(it.key() == ManifestName || listed.contains(it.key()),
                     qPrintable(QStringLiteral("not in the manifest: ") + it.key()));
        const Outcome check = run(QStringLiteral("sha256sum"),
                                  {QStringLiteral("-c"), QStringLiteral("--quiet"), ManifestName}, copy);
        QVERIFY2(check.exitedWith(0), qPrintable(copy + QStringLiteral(": ") + check.output));
    }

    static QStringList unfinishedCopies(const QString& programs)
    {
        return QDir(programs).entryList({QStringLiteral("copia_in_corso_*")},
                                        QDir::Dirs | QDir::NoDotAndDotDot);
    }

    // The point of that label (its index; -1, failing the test, when none).
    int pointLabelled(const QString& label) const
    {
        for (int i = 0; i < m_points.size(); ++i)
            if (m_points[i].label == label)
                return i;
        return -1;
    }

    static QStringList safetyCopies(const QString& programs)
    {
        return QDir(programs).entryList({QStringLiteral("copia_dati_*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    }

    // The demo, its uninterrupted run traced, and the kill points: the
    // first thing of every test case (QVERIFY fails it).
    void prepareTracedRun()
    {
        QVERIFY(m_root.isValid());
        qputenv("RIAPERTURA_ROWS_PER_COMMIT", "1000");
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty(),
                 "strace kills the run at the chosen writes");
        // strace shows real paths: the drives are named by theirs.
        m_base = QDir(m_root.path()).canonicalPath();
        m_template = m_base + QStringLiteral("/template");
        const Outcome demo = run(QStringLiteral(RIAPERTURA_DEMO), QStringList{m_template} + DemoSize);
        QVERIFY2(demo.exitedWith(0), qPrintable(demo.gist()));

        // The uninterrupted run, traced: what every run after a kill must leave.
        const QString drive = freshDrive();
        QVERIFY(!drive.isEmpty());
        const Outcome clean =
            traced(drive, {QStringLiteral("trace=write,copy_file_range,pwrite64,fsync,fdatasync,"
                                          "unlink,rename,renameat,renameat2,fadvise64")});
        QVERIFY2(clean.exitedWith(0), qPrintable(clean.gist()));
        const QList<Call> trace = readTrace(drive + QStringLiteral(".trace"), drive);
        m_cleanDrive = drive;
        m_cleanTrace = trace;

        const auto archive = pattern(
            QStringLiteral("^programmi/ventor sistemi/dati/esercizi/azienda_\\d+/\\d{4}/dati\\.mdb$"));
        QDirIterator it(drive, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = QDir(drive).relativeFilePath(it.next());
            if (archive.match(file).hasMatch())
                m_expected.insert(file, dumpArchive(drive + QLatin1Char('/') + file));
        }
        QCOMPARE(m_expected.size(), 2 * Companies);

        selectKillPoints(trace, Companies, OpenItemCommits, m_points, m_pointBeforeSecondRun);
        if (QTest::currentTestFailed())
            return;
        showKillPoints(m_points);
    }
};
