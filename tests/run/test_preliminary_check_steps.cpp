// The check before the run foresees what the steps will pass over or refuse:
// ATTENZIONE, never a refusal of the run, said in the order the steps meet it.
#include "check_fixture.h"
#include "run/preliminary_check.h"
#include "run/run.h"
#include "support/years.h"

#include <QFile>
#include <QTest>

using namespace rio;
using Level = PreliminaryFinding::Level;

class TestPreliminaryCheckSteps : public QObject
{
    Q_OBJECT

private slots:
    // What the steps report and pass over never blocks the start; what they
    // will refuse or leave to be checked by hand is ATTENZIONE, counted, the
    // first rows named, and the run then meets it.
    void whatTheStepsPassOverDoesNotRefuseTheRun_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("warning");  // empty: none
        QTest::addColumn<QString>("runMeets"); // an event of the run, empty: none looked for
        QTest::newRow("no movement table")
            << QStringLiteral("drop table MOV_PROVV") << QString() << QString();
        QTest::newRow("no CAUSALI") << QStringLiteral("drop table CAUSALI")
                                    << QStringLiteral("tabella CAUSALI assente") << QString();
        QTest::newRow("empty ANAG_ART") << QStringLiteral("delete from ANAG_ART") << QString() << QString();
        const QString item = QStringLiteral(
            "insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, Numero_Documento, "
            "Totale_Mov_Cont) values ");
        QTest::newRow("open item without supplier code")
            << item + years::fill(QStringLiteral(
                          "('{old}-05-02', 'F', '  ', 'FA', '12', 30), ('{old}-05-03', 'F', '7', 'FA', "
                          "'13', 30)"))
            << years::fill(QStringLiteral(
                   "Azienda_1: 1 partite aperte non saranno riportate nel {new} (il programma le "
                   "rifiuta): andranno registrate a mano: \"F\" \"  \", documento \"FA\" n. "
                   "\"12\" del \"02/05/{old}\" (dati mancanti: codice cliente/fornitore)"))
            << QStringLiteral("Non si è potuto creare l'ID del Movimento Contabile");
        // Read side by side, said in the order the steps meet them.
        QTest::newRow("twin articles, then a refused open item")
            << QStringLiteral("insert into ANAG_ART(CodArt) values ('Q1'), ('q1'); ") + item +
                   years::fill(QStringLiteral("('{old}-05-02', 'F', '  ', 'FA', '12', 30)"))
            << QStringLiteral("Azienda_1: 1 articoli con codice gemello\nAzienda_1: 1 partite aperte non "
                              "saranno riportate")
            << QString();
        QTest::newRow("open items without a field the carry-forward reads")
            << item + years::fill(QStringLiteral("('{old}-05-02', 'C', '9', 'FT', '7', 30)")) +
                   QStringLiteral("; alter table MOV_CONT drop column Tipo_Mov")
            << QStringLiteral("Azienda_1: partite aperte non leggibili, il loro riporto fallirà: errore 3265")
            << QString();
        // Not refused for its key, but the writer cannot read its number.
        QTest::newRow("open item with a Null document number")
            << item + years::fill(QStringLiteral("('{old}-05-02', 'C', '9', 'FT', null, 30)"))
            << years::fill(QStringLiteral(
                   "Azienda_1: 1 partite aperte non saranno riportate nel {new} (il programma le "
                   "rifiuta): andranno registrate a mano: \"C\" \"9\", documento \"FT\" n. Null "
                   "del \"02/05/{old}\" (numero documento Null)"))
            << QStringLiteral("Error 94 (Invalid use of Null) in procedure GENERO_MOVIMENTO_CONTABILE");
        // Refused when the row is stored: its date column holds no date.
        QTest::newRow("open item with a date the column cannot hold")
            << item + QStringLiteral("('domani', 'C', '9', 'FT', '4', 30)")
            << years::fill(QStringLiteral(
                   "Azienda_1: 1 partite aperte non saranno riportate nel {new} (il programma le "
                   "rifiuta): andranno registrate a mano: \"C\" \"9\", documento \"FT\" n. \"4\" "
                   "del \"domani\" (errore -2147217913"))
            << QStringLiteral("in procedure GENERO_MOVIMENTO_CONTABILE");
        QTest::newRow("six refused open items, five named")
            << years::fill(QStringLiteral(
                   "with recursive n(i) as (select 1 union all select i + 1 from n where i < 6) insert "
                   "into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, Tipo_Documento, "
                   "Numero_Documento) select '{old}-05-02', 'F', i, 'FA', ' ' from n"))
            << QStringLiteral("(dati mancanti: numero documento) e altri 1") << QString();
        QTest::newRow("twin codes by case and by blanks")
            << QStringLiteral(
                   "insert into ANAG_ART(CodArt, DescrArt) values ('d4', 'a'), ('D4', 'b'), (' D4', "
                   "'c'), ('E5', 'd')")
            << years::fill(QStringLiteral(
                   "Azienda_1: 2 articoli con codice gemello di un altro (differiscono solo per "
                   "maiuscole/minuscole o spazi): il ricalcolo delle giacenze dà i loro movimenti "
                   "a un solo articolo e la giacenza {new} andrà controllata a mano: \" D4\" (come "
                   "\"d4\"), \"D4\" (come \"d4\")"))
            << QString();
        QTest::newRow("movements no article's lookup counts")
            << QStringLiteral(
                   "insert into ANAG_ART(CodArt) values ('H8 '), ('J9'); insert into MOV_MAG(CodArt, "
                   "Dep, Qta) values (null, '01', 4), ('h8 ', '01', 1), ('J9', '02', 1), ('k1', '03', "
                   "1), (null, '07', 1)")
            << QStringLiteral(
                   "Azienda_1: 1 movimenti di magazzino senza codice articolo: il ricalcolo delle "
                   "giacenze non li conta\nAzienda_1: movimenti di magazzino di 2 codici che nessun "
                   "articolo ha (o che un articolo ha solo con spazi all'inizio o alla fine): il "
                   "ricalcolo delle giacenze non li conta: \"H8 \", \"K1\"")
            << QString();
        QTest::newRow("blank and padded codes")
            << QStringLiteral(
                   "insert into ANAG_ART(CodArt, DescrArt) values ('   ', 'a'), ('F6 ', 'b'), ('G7', "
                   "'c'), ('', 'd')")
            << years::fill(QStringLiteral(
                   "Azienda_1: 1 articoli con codice vuoto o con spazi all'inizio o alla fine: il "
                   "ricalcolo delle giacenze li salta e la giacenza {new} andrà controllata a mano: "
                   "\"F6 \""))
            << QString();
    }
    void whatTheStepsPassOverDoesNotRefuseTheRun()
    {
        QFETCH(QString, sql);
        QFETCH(QString, warning);
        QFETCH(QString, runMeets);
        CheckFixture f;
        TestInstall::execAll(f.oldArchive(1), sql.split(QStringLiteral("; ")));
        const PreliminaryCheck check = runPreliminaryCheck(f.host, f.state);
        const QStringList errors = findingTexts(check, Level::Error);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        const QStringList warnings = findingTexts(check, Level::Warning);
        qsizetype previous = -1;
        for (const QString& expected : warning.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QVERIFY2(warnings.filter(expected).size() == 1, qPrintable(warnings.join(QLatin1Char('\n'))));
            // In the order given.
            qsizetype at = 0;
            while (!warnings.at(at).contains(expected))
                ++at;
            QVERIFY2(at > previous, qPrintable(warnings.join(QLatin1Char('\n'))));
            previous = at;
        }
        f.host.events.clear();
        QVERIFY(runYearOpening(f.ctx) != RunOutcome::NotStarted);
        QVERIFY(QFile::exists(f.newArchive(1)));
        QVERIFY(QFile::exists(f.newArchive(3)));
        if (!runMeets.isEmpty())
            QVERIFY2(!f.host.events.filter(runMeets).isEmpty(),
                     qPrintable(f.host.events.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestPreliminaryCheckSteps)
#include "test_preliminary_check_steps.moc"
