// The space the check asks for, part by part, against what a run writes.
#include "check_fixture.h"
#include "raised_error.h"
#include "run/preliminary_check.h"
#include "run/probes.h"
#include "run/run.h"
#include "scoped_mount.h"
#include "support/years.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <optional>

using namespace rio;

namespace {

// The bytes of a "servono 12,3 MB" figure of the free-space line.
std::optional<qint64> neededBytes(const PreliminaryCheck& check)
{
    static const QRegularExpression figure(QStringLiteral("spazio libero.*: servono ([0-9]+),([0-9]) MB"));
    for (const auto& f : check.findings) {
        const auto m = figure.match(f.text);
        if (m.hasMatch())
            return (m.captured(1).toLongLong() * 10 + m.captured(2).toLongLong()) * 1024 * 1024 / 10;
    }
    return std::nullopt;
}

// Bytes of every file under a host folder whose name starts with prefix.
qint64 sizeOf(const QString& hostFolder, const QString& prefix)
{
    qint64 bytes = 0;
    for (const QFileInfo& entry :
         QDir(hostFolder)
             .entryInfoList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
        bytes += entry.isDir() ? folderSize(entry.absoluteFilePath()) : entry.size();
    return bytes;
}

// A company with something in every part: articles with long descriptions
// (the log), stock in both warehouses and open items (the spreadsheets), a twin code and a
// refused item (the report's named rows).
void fillCompany(const QString& archive, int articles)
{
    TestInstall::execAll(
        archive,
        {QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                        "insert into ANAG_ART(CodArt, DescrArt, Giacenza1, Giacenza2) select 'ART' || i, "
                        "'Descrizione lunga dell''articolo numero ' || i || ' ' || hex(randomblob(20)), i % "
                        "7, i % 5 + 1 "
                        "from n")
             .arg(articles),
         QStringLiteral(
             "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
             "insert into MOV_MAG(CodArt, DEP, Qta, NumDoc) select 'ART' || (i / 2), '0' || (1 + i % 2), 2, "
             "hex(randomblob(200)) from n")
             .arg(2 * articles + 1),
         years::fill(
             QStringLiteral(
                 "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                 "insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, "
                 "Numero_Documento, Totale_Mov_Cont) select '{old}-06-01', 'C', 'CLI' || (i % 40), 'FT', "
                 "i, 10 * i from n"))
             .arg(articles / 4)});
    TestInstall::addTwinArticles(archive);
    TestInstall::addRefusedOpenItem(archive);
}

} // namespace

class TestPreliminarySpace : public QObject
{
    Q_OBJECT

private slots:
    // Each part of the figure holds what the run writes there, without
    // asking for absurdly more: a part left out, or counted too small, fails.
    void eachPartOfTheFigureHoldsWhatTheRunWrites()
    {
        CheckFixture f;
        for (int slot : {1, 3})
            fillCompany(f.oldArchive(slot), 3000);
        const PreliminaryCheck check = runPreliminaryCheck(f.host, f.state);
        QVERIFY(check.space);
        const SpaceFigure figure = *check.space;
        // The journals as large as they are seen between two rows; the figure
        // counts the whole archive, which a journal may reach.
        qint64 journal = 0;
        int yields = 0;
        f.host.onYield = [&] {
            if (++yields % 16 != 0)
                return;
            for (const QString& archive :
                 {f.oldArchive(1), f.oldArchive(3), f.newArchive(1), f.newArchive(3)})
                journal = std::max(journal, QFileInfo(archive + QStringLiteral("-journal")).size());
        };
        QVERIFY(runYearOpening(f.ctx) != RunOutcome::NotStarted);
        const qint64 largestArchive =
            std::max(QFileInfo(f.oldArchive(1)).size(), QFileInfo(f.oldArchive(3)).size());

        const QString tmp = f.file(QStringLiteral("dati\\Tmp"));
        const struct
        {
            const char* part;
            qint64 estimated;
            qint64 written;
        } parts[] = {
            {"copy", figure.copy, sizeOf(f.root(), QStringLiteral("Copia_dati_"))},
            {"new-year folders", figure.newFolders,
             folderSize(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_1\\{new}")))) +
                 folderSize(f.file(years::fill(QStringLiteral("dati\\esercizi\\Azienda_3\\{new}"))))},
            {"journal", figure.journal, journal},
            {"log", figure.log, QFileInfo(f.logPath()).size()},
            {"report", figure.report, sizeOf(tmp, QStringLiteral("verifica_"))},
        };
        for (const auto& p : parts) {
            qInfo("%s: estimated %lld, written %lld", p.part, p.estimated, p.written);
            QVERIFY2(p.written > 0, p.part);
            QVERIFY2(p.estimated >= p.written, p.part);
            QVERIFY2(p.estimated <=
                         2 * (qstrcmp(p.part, "journal") == 0 ? largestArchive : p.written) + 256 * 1024,
                     p.part);
        }
        QVERIFY(figure.margin < figure.total() / 10);
    }

    // The space the check asks for is what the run takes: a little short, it
    // refuses; with that much free, the run ends without running out. Then a
    // disk that is full reads as such, with the archive named.
    // The check reads every article, movement and open item before the first
    // step: the window gets its turn while it reads, counted per row read
    // (not timed), and what it finds is the same.
    void theCheckLetsTheWindowRepaintWhileItReads()
    {
        CheckFixture f;
        constexpr int Articles = 3000;
        fillCompany(f.oldArchive(1), Articles);
        const PreliminaryCheck check = runPreliminaryCheck(f.host, f.state);
        const qint64 rowsRead = Articles + (2 * Articles + 1) + Articles / 4;
        QVERIFY2(f.host.yields >= rowsRead / 2000, qPrintable(QString::number(f.host.yields)));
        QCOMPARE(findingTexts(check, PreliminaryFinding::Level::Warning)
                     .filter(QStringLiteral("codice gemello"))
                     .size(),
                 1);
        QCOMPARE(findingTexts(check, PreliminaryFinding::Level::Warning)
                     .filter(QStringLiteral("partite aperte"))
                     .size(),
                 1);
    }

    void theSpaceTheCheckAsksForIsEnoughForTheRun()
    {
        const auto drive = ScopedMount::tmpfs(512LL * 1024 * 1024);
        if (!drive->isMounted())
            QSKIP("mounting is not allowed here");
        CheckFixture f;
        // Big archives: the copies, not the log or the report, fill the drive.
        for (int slot : {1, 3})
            TestInstall::execAll(
                f.oldArchive(slot),
                {QStringLiteral(
                     "with recursive n(i) as (select 0 union all select i + 1 from n where i < 49) "
                     "insert into ANAG_ART(CodArt) select 'A' || i from n"),
                 QStringLiteral(
                     "with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000) "
                     "insert into MOV_MAG(CodArt, DEP, Qta, NumDoc) "
                     "select 'A' || (i % 50), '01', 1, hex(randomblob(5000)) from n")});
        const std::optional<qint64> needed = neededBytes(runPreliminaryCheck(f.host, f.state));
        QVERIFY(needed);
        QVERIFY2(*needed > 2 * 20 * 1024 * 1024, qPrintable(QString::number(*needed)));

        const qint64 tenth = 1024 * 1024 / 10; // the figure's rounding
        QVERIFY(drive->resize(drive->used() + *needed - 2 * tenth));
        const auto before = TestInstall::fingerprint(f.install.driveC());
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::NotStarted);
        QVERIFY(f.host.boxes.last().text.contains(QStringLiteral("spazio libero insufficiente")));
        QCOMPARE(TestInstall::fingerprint(f.install.driveC()), before);

        QVERIFY(drive->resize(drive->used() + *needed + tenth));
        f.host.boxes.clear();
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::Done);
        QVERIFY2(f.host.events.filter(QStringLiteral("Disco pieno")).isEmpty(),
                 qPrintable(f.host.events.join(QLatin1Char('\n'))));

        QVERIFY(drive->resize(drive->used() + 64 * 1024));
        QString text;
        errorOf(
            [&] {
                StepFixture::open(years::Old, 1)
                    ->execute(QStringLiteral("insert into ANAG_ART(CodArt, DescrArt) "
                                             "select 'B' || CodArt, hex(randomblob(100000)) from ANAG_ART"));
            },
            &text);
        QVERIFY2(
            text.startsWith(QStringLiteral("Disco pieno: ") + TestInstall::archiveWindowsPath(1, years::Old)),
            qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestPreliminarySpace)
#include "test_preliminary_space.moc"
