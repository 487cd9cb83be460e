// The comparison of the two archives after a run.
#include "context/layout.h"
#include "data/error.h"
#include "run/run.h"
#include "run/verification.h"
#include "step_fixture.h"
#include "support/years.h"

#include <QFile>
#include <QTest>

using namespace rio;

namespace {

void fillCompany(const QString& archive)
{
    // The twin "D4" is never found by the recomputation (the first row "d4"
    // is), so it keeps its 7 and carries it; the new-year recomputation then
    // gives both twins' movements to "d4".
    TestInstall::exec(archive, QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, Giacenza1) values "
                                              "('A1', 'Viti', 0), ('B2', 'Bulloni', 0), (' C3 ', 'Dadi', 9), "
                                              "('d4', 'Rondelle', 0), ('D4', 'Rondelle grandi', 7)"));
    TestInstall::exec(archive,
                      QStringLiteral("insert into MOV_MAG(CodArt, Dep, Qta) values "
                                     "('A1', '01', 5), ('A1', '02', 2.5), ('B2', '01', -1), ('C3', '01', 4), "
                                     "('D4', '02', 3), ('d4', '01', 1)"));
    TestInstall::exec(archive,
                      years::fill(QStringLiteral(
                          "insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, "
                          "Numero_Documento, Totale_Mov_Cont, Stato_PArtita) values "
                          "('{old}-03-01', 'C', '001', 'FT', 12, 100, null), "
                          "('{old}-04-01', 'C', '001', 'FT', 13, 50.5, null), "
                          "('{old}-05-01', 'F', '900', 'FA', 7, 30, null), "
                          "('{old}-05-02', 'F', '900', 'FA', '   ', 30, null), "
                          "('{old}-06-01', 'C', '002', 'FT', 14, 70, 'C')")));
}

struct Fixture : StepFixture
{
    Fixture() { fillCompany(install.createArchive(1)); }
    CompanyVerification verify() const
    {
        return verifyCompany(*open(years::Old), *open(years::New), 1, true);
    }
};

// Everything a company's comparison gives, its spreadsheets' lines included,
// a line each; an error it raises as its number. Through ODBC the archives
// are read row by row, on Qt's SQLite driver inside the engine; beside, the
// open items on a second thread and pair of connections.
QStringList described(bool throughOdbc, bool beside = false)
{
    Connection::setSqliteThroughOdbc(throughOdbc);
    QStringList out;
    QStringList itemLines; // sent by the items' own thread when beside
    try {
        const auto oldDb = StepFixture::open(layout::AnnoInCorso);
        const auto newDb = StepFixture::open(layout::AnnoDaAprire);
        Connection::setSqliteThroughOdbc(false);
        const SpreadsheetRows rows{[&out](const CompanyVerification& c, const StockRow& r) {
                                       out << QString::fromUtf8(spreadsheetLine(c, r));
                                   },
                                   [&itemLines](const CompanyVerification& c, const OpenItemRow& r) {
                                       itemLines << QString::fromUtf8(spreadsheetLine(c, r));
                                   }};
        const ArchivePair pair = [](const std::function<void(Connection&, Connection&)>& work) {
            work(*StepFixture::open(layout::AnnoInCorso), *StepFixture::open(layout::AnnoDaAprire));
        };
        const CompanyVerification v =
            verifyCompany(*oldDb, *newDb, 1, true, rows, {}, beside ? pair : nullptr);
        out << itemLines;
        for (const CheckLine& c : v.checks)
            out << QStringList{c.area, c.what, c.expected, c.found, QString::number(c.ok), c.id}.join(u'|');
        for (const PartyLine& p : v.parties)
            out << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                       .arg(p.tipo, p.codice, p.name)
                       .arg(p.expectedCount)
                       .arg(p.expectedTotal, 0, 'g', 17)
                       .arg(p.carriedCount)
                       .arg(p.carriedTotal, 0, 'g', 17);
        for (const Finding& f : v.findings) {
            out << QString::number(int(f.kind)) + f.text;
            for (const StockWarning& w : f.stock)
                out << QStringLiteral("%1|%2|%3|%4|%5|%6")
                           .arg(w.code, w.description, w.twins.join(u','), w.dep)
                           .arg(w.expected)
                           .arg(w.found);
        }
        out << v.refusedItems;
    } catch (const Error& e) {
        out << QStringLiteral("errore %1").arg(e.number());
    }
    Connection::setSqliteThroughOdbc(false);
    return out;
}

QStringList texts(const QList<Finding>& findings, Finding::Kind kind)
{
    QStringList out;
    for (const Finding& f : findings)
        if (f.kind == kind)
            out << f.text;
    return out;
}

} // namespace

class TestVerification : public QObject
{
    Q_OBJECT

private slots:
    // The item the writer refuses is missing from the new year: a mismatch with its
    // data, and the headline says the run failed. The twins cannot match by
    // design: a warning that names them.
    void aRefusedItemIsAMismatchTwinsAWarning()
    {
        Fixture f;
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors);
        QVERIFY(!f.host.reportPath.isEmpty());
        QVERIFY2(f.host.summary.last().startsWith(
                     QStringLiteral("RIAPERTURA ESEGUITA CON ERRORI: 1 errore della riapertura, "
                                    "1 discordanza, 1 avviso")),
                 qPrintable(f.host.summary.join(QLatin1Char('\n'))));

        const CompanyVerification v = f.verify();
        QCOMPARE(v.refusedItems.size(), 1);
        const QStringList mismatches = texts(v.findings, Finding::Kind::Mismatch);
        QCOMPARE(mismatches.size(), 1); // the item, not its supplier's totals again
        QVERIFY2(mismatches.first().contains(years::fill(QStringLiteral("non riportata nel {new}"))) &&
                     mismatches.first().contains(QStringLiteral("cliente/fornitore F \"900\"")) &&
                     mismatches.first().contains(QStringLiteral("totale 30,00")),
                 qPrintable(mismatches.first()));
        const QStringList warnings = texts(v.findings, Finding::Kind::Warning);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().startsWith(
                     years::fill(QStringLiteral("Giacenza {new} dell'articolo \"d4\" (codice gemello di "
                                                "\"D4\""))),
                 qPrintable(warnings.first()));

        QFile report(f.install.host(f.host.reportPath));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(report.readAll());
        QVERIFY(html.contains(QStringLiteral("<p class=\"headline ko\">")));
        QVERIFY(html.contains(QStringLiteral("<td>eseguita con errori</td>")));
        QVERIFY(html.indexOf(years::fill(QStringLiteral("non riportata nel {new}"))) <
                html.indexOf(QStringLiteral("<h2>Esecuzione")));
    }

    // The spreadsheets beside the report, as a spreadsheet reads them: the
    // first columns as they always were, the new ones after them; every
    // warehouse with a stock, those of the warned articles flagged.
    void theSpreadsheetsHoldTheStockAndTheItems()
    {
        Fixture f;
        // A code with blanks whose stale stock stays in warehouse 05 of the new year;
        // a description a spreadsheet would take for a formula.
        TestInstall::exec(f.oldArchive(), QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, giacenza5) "
                                                         "values (' E5 ', 'Staffe', 118)"));
        TestInstall::exec(f.oldArchive(),
                          QStringLiteral("update ANAG_ART set DescrArt = '=1+1' where CodArt = 'B2'"));
        runYearOpening(f.ctx);
        const QString stem = f.install.host(f.host.reportPath).chopped(int(qstrlen(".html")));
        const auto lines = [](const QString& path) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return QStringList();
            const QByteArray bytes = file.readAll();
            if (!bytes.startsWith("\xEF\xBB\xBF"))
                return QStringList{QStringLiteral("no byte order mark")};
            return QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        };
        const QStringList stock = lines(stem + QStringLiteral("_giacenze.csv"));
        QCOMPARE(stock.value(0),
                 years::fill(QStringLiteral("Azienda;Ragione sociale;Articolo;Deposito;Giacenza {old};"
                                            "Movimento RIAPERTURA {new};Giacenza {new};Descrizione;Avviso")));
        const QStringList expected{
            QStringLiteral("Azienda_1;Azienda 1 S.r.l.;A1;02;2,5;2,5;2,5;Viti;"),
            QStringLiteral("Azienda_1;Azienda 1 S.r.l.;B2;01;-1;-1;-1;'=1+1;"),
            QStringLiteral("Azienda_1;Azienda 1 S.r.l.;\" C3 \";01;9;9;9;Dadi;"),
            // The warned ones: the twin that got both twins' movements, the
            // code with blanks whose stock is where none is carried.
            QStringLiteral(
                "Azienda_1;Azienda 1 S.r.l.;d4;01;1;1;8;Rondelle;\"codice gemello di \"\"D4\"\"\""),
            QStringLiteral("Azienda_1;Azienda 1 S.r.l.;D4;01;7;7;7;Rondelle grandi;"),
            QStringLiteral("Azienda_1;Azienda 1 S.r.l.;\" E5 \";05;118;0;118;Staffe;codice con spazi")};
        for (const QString& line : expected)
            QVERIFY2(stock.contains(line),
                     qPrintable(line + QStringLiteral("\nnot in\n") + stock.join(QLatin1Char('\n'))));
        QCOMPARE(stock.filter(QStringLiteral("codice ")).size(), 2);

        const QStringList items = lines(stem + QStringLiteral("_partite.csv"));
        QCOMPARE(items.value(0),
                 years::fill(QStringLiteral("Azienda;Ragione sociale;Tipo;Codice cliente/fornitore;Data;"
                                            "Tipo documento;Numero documento;Totale {old};Totale {new};Esito;"
                                            "Nome cliente/fornitore")));
        QCOMPARE(items.size(), 5); // the four open items of the old year, under the heading
        QVERIFY2(items.filter(QStringLiteral(";FT;13;50,5;50,5;riportata;")).size() == 1,
                 qPrintable(items.join(QLatin1Char('\n'))));
        QVERIFY(items.last().endsWith(QStringLiteral(";30;;non riportata;")));
    }

    // Each old-year item finds its new-year twin by the key fields whatever the
    // order the new-year archive holds them in; a new-year item no old-year item takes
    // comes after them. A party's line shows its name as the archive has it,
    // even one that looks like a placeholder of the line's own text.
    void theItemsArePairedByTheirKeyFields()
    {
        Fixture f;
        runYearOpening(f.ctx);
        const QString next = f.newArchive();
        TestInstall::exec(next, QStringLiteral("update MOV_CONT set rowid = -rowid")); // read in reverse
        TestInstall::exec(
            next, QStringLiteral("update MOV_CONT set Totale_Mov_Cont = 60 where Totale_Mov_Cont = 50.5"));
        TestInstall::exec(
            next, years::fill(QStringLiteral("insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, "
                                             "Tipo_Documento, Numero_Documento, Totale_Mov_Cont) values "
                                             "('{old}-07-01', 'C', '003', 'FT', 15, 10)")));
        // The names come from the old-year archive, for the items of either year.
        TestInstall::exec(f.oldArchive(),
                          QStringLiteral("insert into ANAG_CLI(CodCliFor, Ragione_Sociale1) values "
                                         "('001', 'Rossi S.r.l.'), ('003', 'Verdi 100%4 S.p.A.')"));
        QStringList lines;
        SpreadsheetRows rows;
        rows.openItem = [&lines](const CompanyVerification& c, const OpenItemRow& r) {
            lines << QString::fromUtf8(spreadsheetLine(c, r)).section(QLatin1Char(';'), 5).trimmed();
        };
        const CompanyVerification v = verifyCompany(*f.open(years::Old), *f.open(years::New), 1, true, rows);
        QCOMPARE(lines,
                 QStringList({QStringLiteral("FT;12;100;100;riportata;Rossi S.r.l."),
                              QStringLiteral("FT;13;50,5;60;totale diverso;Rossi S.r.l."),
                              QStringLiteral("FA;7;30;30;riportata;"),
                              QStringLiteral("FA;\"   \";30;;non riportata;"),
                              years::fill(QStringLiteral("FT;15;;10;solo nel {new};Verdi 100%4 S.p.A."))}));
        QCOMPARE(
            texts(v.findings, Finding::Kind::Mismatch).filter(QStringLiteral("Cliente/fornitore")),
            QStringList({years::fill(QStringLiteral("Cliente/fornitore C 001 (Rossi S.r.l.): 2 partite per "
                                                    "150,50 nel {old}, 2 per 160,00 nel {new}")),
                         years::fill(QStringLiteral("Cliente/fornitore C 003 (Verdi 100%4 S.p.A.): 0 partite "
                                                    "per 0,00 nel {old}, 1 per 10,00 nel {new}"))}));
    }

    // The comparison reads inside the engine where the driver lets it (the
    // new archive attached to the old one) and row by row through Query
    // where it does not: whatever the archives hold, both give the same
    // report, line for line.
    void theEngineReadsAsTheRowsDo_data()
    {
        QTest::addColumn<QString>("archive"); // "old" or "new"
        QTest::addColumn<QString>("change");
        // %1 in a change stands for the old year.
        const auto add = [](const char* name, const char* archive, const char* change) {
            QString sql = QString::fromUtf8(change);
            if (sql.contains(QLatin1String("%1")))
                sql = sql.arg(layout::AnnoInCorso);
            QTest::newRow(name) << QString::fromLatin1(archive) << sql;
        };
        add("as the run leaves it", "new", "select 1");
        add("movements numbered out of rowid order", "new",
            "update MOV_MAG set Progr_Mov_Mag = 3 - Progr_Mov_Mag where Progr_Mov_Mag <= 3");
        add("a number twice, the later row wins", "new",
            "insert into MOV_MAG(Progr_Mov_Mag, TipoMov, CodArt, DEP, Qta) values (1, 'RIAPERTURA', 'B2', "
            "'01', 9)");
        add("numbers below 0 and past the last", "new",
            "insert into MOV_MAG(Progr_Mov_Mag, TipoMov, CodArt, DEP, Qta) values (-1, 'RIAPERTURA', 'A1', "
            "'01', 1), "
            "(40, 'RIAPERTURA', 'ZZ', '03', 2), (40.7, 'RIAPERTURA', 'ZZ', '04', 3)");
        // Read in rowid order, the movements may still not follow their articles.
        add("a movement numbered past the last, of a known code", "new",
            "insert into MOV_MAG(Progr_Mov_Mag, TipoMov, CodArt, DEP, Qta) values (100, 'RIAPERTURA', 'A1', "
            "'03', 4)");
        add("a movement carrying a later article's code", "new",
            "update MOV_MAG set CodArt = 'D4' where CodArt = 'A1' and DEP = '02'");
        add("an opening movement in another warehouse", "new",
            "update MOV_MAG set DEP = '04' where CodArt = 'B2' and TipoMov = 'RIAPERTURA'");
        add("a warehouse left Null", "new",
            "update MOV_MAG set DEP = null where CodArt = 'A1' and DEP = '02'");
        add("a stock written as Italian text", "new",
            "update ANAG_ART set giacenza2 = '2,5' where CodArt = 'A1'");
        add("a stock that is no number", "new", "update ANAG_ART set giacenza4 = 'n.d.' where CodArt = 'B2'");
        add("an old stock as Italian text", "old",
            "update ANAG_ART set Giacenza1 = '-1,0' where CodArt = 'B2'");
        add("a description Null", "new", "update ANAG_ART set DescrArt = null where CodArt = 'A1'");
        add("two articles of the same code", "old",
            "insert into ANAG_ART(CodArt, DescrArt, Giacenza1) values ('A1', 'Viti bis', 0)");
        add("a new article without its old row", "new",
            "insert into ANAG_ART(rowid, CodArt, DescrArt, giacenza3) values (900, 'N9', 'Nuovo', 1)");
        add("... numbered below the first", "new",
            "insert into ANAG_ART(rowid, CodArt, DescrArt, giacenza3) values (0, 'N0', 'Nuovo', 1)");
        add("... in a gap of the old rows", "old", "delete from ANAG_ART where CodArt = 'B2'");
        add("an article code Null", "old", "update ANAG_ART set CodArt = null where CodArt = 'B2'");
        add("an item dated with a time of day", "new",
            "update MOV_CONT set Data_Mov_Cont = '%1-03-01 10:30:00' where Totale_Mov_Cont = 100");
        add("an item dated in Italian", "new",
            "update MOV_CONT set Data_Mov_Cont = '01/04/%1' where Totale_Mov_Cont = 50.5");
        add("a document number as text", "old",
            "update MOV_CONT set Numero_Documento = '7a' where Numero_Documento = 7");
        add("a total as Italian text", "new",
            "update MOV_CONT set Totale_Mov_Cont = '100,0' where Totale_Mov_Cont = 100");
        add("an item dated on Jet's day zero", "new",
            "update MOV_CONT set Data_Mov_Cont = '1899-12-30' where Totale_Mov_Cont = 30");
        add("a new-year description of the same length", "new",
            "update ANAG_ART set DescrArt = 'Vite' where CodArt = 'A1'");
    }
    void theEngineReadsAsTheRowsDo()
    {
        QFETCH(QString, archive);
        QFETCH(QString, change);
        Fixture f;
        runYearOpening(f.ctx);
        TestInstall::exec(archive == QLatin1String("old") ? f.oldArchive() : f.newArchive(), change);
        const QStringList inEngine = described(false);
        const QStringList byRows = described(true);
        QCOMPARE(inEngine, byRows);
        QCOMPARE(described(false, true), inEngine);
    }

    // One value changed in the new-year archive between the last step and the
    // verification, on data with no refused item: the verification alone
    // finds it, names it, and makes the run end with errors.
    void oneTamperedValueIsTheRunsOnlyError_data()
    {
        QTest::addColumn<QString>("tamper");
        QTest::addColumn<QString>("named");
        QTest::newRow("opening movement quantity")
            << QStringLiteral(
                   "update MOV_MAG set Qta = 2 where TipoMov='RIAPERTURA' and CodArt='A1' and DEP='02'")
            << QStringLiteral("Articolo \"A1\" deposito 02:");
        QTest::newRow("open item total") << QStringLiteral("update MOV_CONT set Totale_Mov_Cont = 100.5")
                                         << QStringLiteral("Cliente/fornitore C 001:");
    }
    void oneTamperedValueIsTheRunsOnlyError()
    {
        QFETCH(QString, tamper);
        QFETCH(QString, named);
        StepFixture f;
        f.install.addCompany(1);
        f.host.onStepFinished = [&f, &tamper](const QString& step, int) {
            if (step == QLatin1String("CREAZIONE_MOVIMENTI_CONTABILI"))
                TestInstall::exec(f.newArchive(), tamper);
        };

        QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors);

        for (const FakeHost::Step& step : std::as_const(f.host.steps))
            QVERIFY2(step.ok, qPrintable(step.name));
        QCOMPARE(f.host.boxesContaining(QStringLiteral("Azienda 1 S.r.l. eseguita con errori")), 0);
        QCOMPARE(f.host.summary,
                 QStringList({QStringLiteral("Azienda_1 Azienda 1 S.r.l.: 1 discordanza, 0 avvisi"),
                              QStringLiteral("RIAPERTURA ESEGUITA CON ERRORI: 1 discordanza, 0 avvisi")}));
        QCOMPARE(f.host.boxes.last().text,
                 QStringLiteral("APERTURA NUOVO ESERCIZIO TERMINATA CON ERRORI: controllare il LOG Eventi"));
        const QStringList mismatches =
            texts(verifyCompany(*f.open(years::Old), *f.open(years::New), 1, true).findings,
                  Finding::Kind::Mismatch);
        QCOMPARE(mismatches.size(), 1);
        QVERIFY2(mismatches.first().startsWith(named), qPrintable(mismatches.first()));
    }

    void aRemovedMovementAndADroppedItemAreReported()
    {
        Fixture f;
        const QString next = f.newArchive();
        f.host.onStepFinished = [&next](const QString& step, int) {
            if (step != QLatin1String("CREAZIONE_MOVIMENTI_CONTABILI"))
                return;
            TestInstall::exec(
                next, QStringLiteral("delete from MOV_MAG where TipoMov='RIAPERTURA' and CodArt='B2'"));
            TestInstall::exec(next, QStringLiteral("delete from MOV_CONT where Totale_Mov_Cont=30"));
        };
        QCOMPARE(runYearOpening(f.ctx), RunOutcome::DoneWithErrors);
        QVERIFY(f.host.summary.last().startsWith(QStringLiteral("RIAPERTURA ESEGUITA CON ERRORI")));
        QCOMPARE(f.host.boxes.last().text,
                 QStringLiteral("APERTURA NUOVO ESERCIZIO TERMINATA CON ERRORI: controllare il LOG Eventi"));

        const CompanyVerification v = f.verify();
        const QStringList mismatches = texts(v.findings, Finding::Kind::Mismatch);
        // The missing movement, the counters that no longer agree, the
        // supplier's item (and the one the writer refused).
        QVERIFY2(mismatches.filter(QStringLiteral("\"B2\" deposito 01")).size() == 1,
                 qPrintable(mismatches.join(QLatin1Char('\n'))));
        QVERIFY(mismatches.filter(QStringLiteral("Cliente/fornitore F 900")).size() == 1);
        QVERIFY(mismatches.filter(QStringLiteral("Progr_Mov_Mag")).size() == 1);
        QVERIFY(mismatches.filter(QStringLiteral("Progr_Mov_Cont")).size() == 1);
        QCOMPARE(mismatches.size(), 5);
    }
};

QTEST_GUILESS_MAIN(TestVerification)
#include "test_verification.moc"
