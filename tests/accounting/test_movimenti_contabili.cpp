#include "accounting_fixture.h"
#include "support/years.h"

#include "accounting/movimenti_contabili.h"
#include "context/layout.h"
#include "data/database.h"
#include "data/error.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace {

const QString Completed = QStringLiteral("RIPRISTINO MOVIMENTO CONTABILI COMPLETATI...");
const QString Working = QStringLiteral("STO CREANDO I MOVIMENTI CONTABILI...");
const QString StepError = QStringLiteral("in procedure CREAZIONI_MOVIMENTI_CONTABILI of Form frmRiapri");

// One old MOV_CONT row; state is SQL (NULL for an open item).
QString item(int progressive, const QString& number, const QString& state,
             const QString& date = years::fill(QStringLiteral("{old}-03-10")))
{
    return QStringLiteral(
               "insert into MOV_CONT(progr_mov_cont, ID_MOV_CONT, Data_Mov_Cont, DESCRIZIONE_OPERAZIONE, "
               "Tipo_Mov, Tipo_Documento, Numero_Documento, TipoCliFor, CodCLIFOR, CodAgente, ID_Generico, "
               "Sezione, Imponibile_Mov_Cont, Imposta_Mov_Cont, Totale_Mov_Cont, Dep, Giorni_Scadenza, "
               "ID_PARTITA, Stato_PArtita, Cod_Cantiere, Cod_SubCantiere, User) values(%1, 'OLD-%1', "
               "'%4', 'Fattura %1', 'fa', 'FT', %2, 'C', '000%1', 'AG', 'G%1', 'D', 100, 22, 122, '01', "
               "60, 'P%1', %3, 5, 7, 'Admin')")
        .arg(progressive)
        .arg(number, state, date);
}

void insertOpenItems(const AccountingFixture& f, int count)
{
    TestInstall::exec(
        f.oldArchive(),
        years::fill(
            QStringLiteral("insert into MOV_CONT(progr_mov_cont, Data_Mov_Cont, Tipo_Documento, "
                           "Numero_Documento, TipoCliFor, CodCLIFOR, Totale_Mov_Cont) "
                           "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                           "select i, '{old}-05-02', 'FT', i, 'F', 'S' || i, i from n"))
            .arg(count));
}

} // namespace

class TestAccountingMovements : public QObject
{
    Q_OBJECT

private slots:
    // RIO_TEST_DB_DRIVER=odbc runs the same cases through the ODBC driver.
    void initTestCase() { rio::Connection::setSqliteThroughOdbc(qgetenv("RIO_TEST_DB_DRIVER") == "odbc"); }

    void carriesOnlyTheOpenItems()
    {
        AccountingFixture f;
        for (int i = 1; i <= 8; ++i) {
            const bool open = i % 3 == 1; // 1, 4, 7
            const QString state = open     ? QStringLiteral("NULL")
                                  : i == 2 ? QStringLiteral("''")
                                           : QStringLiteral("'C'");
            TestInstall::exec(f.oldArchive(), item(100 + i, QString::number(i), state));
        }
        // The opening stock movements leave this connection open on the old archive.
        f.state.ConnessioneDbOld = StepFixture::open(years::Old);

        rio::CREAZIONE_MOVIMENTI_CONTABILI(f.ctx, QStringLiteral("Azienda_1"));

        QVERIFY(!f.state.ConnessioneDbOld->isOpen());
        QVERIFY2(f.host.boxes.isEmpty(), f.shownBoxes().constData());
        const auto rows = TestInstall::rows(
            f.newArchive(),
            QStringLiteral(
                "select progr_mov_cont, ID_MOV_CONT, Numero_Documento, Stato_PArtita from MOV_CONT "
                "order by progr_mov_cont"));
        QCOMPARE(rows.size(), 3);
        const QStringList ids{years::fill(QStringLiteral("{old}*C*000101*FT*1")),
                              years::fill(QStringLiteral("{old}*C*000104*FT*4")),
                              years::fill(QStringLiteral("{old}*C*000107*FT*7"))};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rows.at(i).at(0).toLongLong(), i + 1);
            QCOMPARE(rows.at(i).at(1).toString(), ids.at(i));
            QVERIFY(rows.at(i).at(3).isNull());
        }
        QCOMPARE(f.counter(), 3);
        QVERIFY(f.host.yields >= 3); // and while a commit waits for the disk
        QCOMPARE(f.host.events, (QStringList{Working.toLower(), Completed.toLower()}));
        QCOMPARE(f.host.progressCaption, Completed);
        QVERIFY(f.host.ticked(rio::Stage::CreazioneMovimContabili));
        QCOMPARE(
            TestInstall::scalar(f.oldArchive(), QStringLiteral("select count(*) from MOV_CONT")).toLongLong(),
            8);
    }

    void keepsTheDateAndResetsDaysAndSites()
    {
        AccountingFixture f;
        TestInstall::exec(f.oldArchive(), item(40, QStringLiteral("9"), QStringLiteral("NULL"),
                                               years::fill(QStringLiteral("{old}-06-15"))));

        rio::CREAZIONE_MOVIMENTI_CONTABILI(f.ctx, QStringLiteral("Azienda_1"));

        QVERIFY2(f.host.boxes.isEmpty(), f.shownBoxes().constData());
        const auto rows = TestInstall::rows(
            f.newArchive(),
            QStringLiteral("select date(Data_Mov_Cont), Giorni_Scadenza, Cod_Cantiere, "
                           "Cod_SubCantiere, DESCRIZIONE_OPERAZIONE, Totale_Mov_Cont, CodCLIFOR, "
                           "ID_PARTITA, User, ID_MOV_CONT from MOV_CONT"));
        QCOMPARE(rows.size(), 1);
        const QVariantList& r = rows.first();
        QCOMPARE(r.at(0).toString(), years::fill(QStringLiteral("{old}-06-15")));
        QCOMPARE(r.at(1).toLongLong(), 0);
        QCOMPARE(r.at(2).toDouble(), 0.0);
        QCOMPARE(r.at(3).toDouble(), 0.0);
        QCOMPARE(r.at(4).toString(), QStringLiteral("FATTURA 40"));
        QCOMPARE(r.at(5).toDouble(), 122.0);
        QCOMPARE(r.at(6).toString(), QStringLiteral("00040"));
        QCOMPARE(r.at(7).toString(), QStringLiteral("P40"));
        QCOMPARE(r.at(8).toString(), QStringLiteral("Larvinote"));
        QCOMPARE(r.at(9).toString(), years::fill(QStringLiteral("{old}*C*00040*FT*9")));
    }

    void refusedItemDoesNotStopTheOthers()
    {
        AccountingFixture f;
        TestInstall::exec(f.oldArchive(), item(1, QStringLiteral("1"), QStringLiteral("NULL")));
        TestInstall::exec(f.oldArchive(), item(2, QStringLiteral("2"), QStringLiteral("NULL")));
        TestInstall::exec(f.oldArchive(), item(3, QStringLiteral("3"), QStringLiteral("NULL")));
        TestInstall::exec(
            f.oldArchive(),
            QStringLiteral("update MOV_CONT set Numero_Documento = '' where progr_mov_cont = 2"));

        rio::CREAZIONE_MOVIMENTI_CONTABILI(f.ctx, QStringLiteral("Azienda_1"));

        QCOMPARE(f.host.boxes.size(), 1);
        QCOMPARE(f.host.boxes.first().title, QStringLiteral("CONTATTARE IL GESTORE - "));
        QCOMPARE(f.newCount(), 2);
        QCOMPARE(TestInstall::rows(f.newArchive(), QStringLiteral("select ID_MOV_CONT from MOV_CONT where "
                                                                  "progr_mov_cont = 2"))
                     .value(0)
                     .value(0)
                     .toString(),
                 years::fill(QStringLiteral("{old}*C*0003*FT*3")));
        QCOMPARE(f.counter(), 2);
        QCOMPARE(f.host.progressCaption, Completed);
        QVERIFY(f.host.ticked(rio::Stage::CreazioneMovimContabili));
    }

    // A row that fails inside a batch costs its number only.
    void failedItemLeavesAGapAndTheOthersFollow()
    {
        AccountingFixture f;
        for (int i = 1; i <= 3; ++i)
            TestInstall::exec(f.oldArchive(), item(i, i == 2 ? QStringLiteral("NULL") : QString::number(i),
                                                   QStringLiteral("NULL")));

        rio::CREAZIONE_MOVIMENTI_CONTABILI(f.ctx, QStringLiteral("Azienda_1"));

        QCOMPARE(f.host.boxes.size(), 1);
        QVERIFY2(f.host.boxes.first().text.startsWith(QStringLiteral("Error 94 (")) &&
                     f.host.boxes.first().text.endsWith(
                         QStringLiteral("in procedure GENERO_MOVIMENTO_CONTABILE of Form frmRiapri")),
                 qPrintable(f.host.boxes.first().text));
        const auto rows = TestInstall::rows(f.newArchive(),
                                            QStringLiteral("select progr_mov_cont, ID_MOV_CONT from MOV_CONT "
                                                           "order by progr_mov_cont"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).at(0).toLongLong(), 1);
        QCOMPARE(rows.at(1).at(0).toLongLong(), 3);
        QCOMPARE(rows.at(1).at(1).toString(), years::fill(QStringLiteral("{old}*C*0003*FT*3")));
        QCOMPARE(f.counter(), 3);
        QVERIFY(f.host.ticked(rio::Stage::CreazioneMovimContabili));
    }

    void noOpenItemCompletesWithoutWriting()
    {
        AccountingFixture f;
        TestInstall::exec(f.oldArchive(), item(1, QStringLiteral("1"), QStringLiteral("'C'")));

        rio::CREAZIONE_MOVIMENTI_CONTABILI(f.ctx, QStringLiteral("Azienda_1"));

        QVERIFY2(f.host.boxes.isEmpty(), f.shownBoxes().constData());
        QCOMPARE(f.newCount(), 0);
        QCOMPARE(f.counter(), 0);
        QCOMPARE(f.host.progressCaption, Completed);
        QVERIFY(f.host.ticked(rio::Stage::CreazioneMovimContabili));
    }

    void missingOldArchiveLeavesTheNewOneAlone()
    {
        AccountingFixture f;
        QVERIFY(QFile::remove(f.oldArchive()));

        rio::CREAZIONE_MOVIMENTI_CONTABILI(f.ctx, QStringLiteral("Azienda_1"));

        QCOMPARE(f.host.boxes.size(), 1);
        QVERIFY2(f.host.boxes.first().text.endsWith(StepError), qPrintable(f.host.boxes.first().text));
        QCOMPARE(f.host.boxes.first().title, QStringLiteral("Riapertura"));
        QCOMPARE(f.host.boxes.first().icon, rio::Icon::None);
        QVERIFY(!QFile::exists(f.oldArchive()));
        QCOMPARE(f.newCount(), 0);
        QCOMPARE(f.counter(), 0);
        QCOMPARE(f.host.progressCaption, Working);
        QVERIFY(!f.host.ticked(rio::Stage::CreazioneMovimContabili));
        QVERIFY(f.ctx.companyHadErrors());
    }

    void carriesAllItemsAcrossBatches()
    {
        AccountingFixture f;
        insertOpenItems(f, 2500);

        rio::CREAZIONE_MOVIMENTI_CONTABILI(f.ctx, QStringLiteral("Azienda_1"));

        QVERIFY2(f.host.boxes.isEmpty(), f.shownBoxes().constData());
        QCOMPARE(f.newCount(), 2500);
        QCOMPARE(f.counter(), 2500);
        QVERIFY(f.host.yields >= 2500);
        QVERIFY(f.host.ticked(rio::Stage::CreazioneMovimContabili));
    }

    void failureKeepsEveryMovementWritten_data()
    {
        QTest::addColumn<bool>("commitFails");
        QTest::newRow("the last batch kept") << false;
        // Another program reads the archive as the last batch is committed:
        // the commit fails, and that is said beside the failure.
        QTest::newRow("the last batch's commit fails") << true;
    }

    // Movements are committed in batches; a failure of the step keeps every
    // movement written so far, the last unfinished batch included, or says
    // that batch was lost.
    void failureKeepsEveryMovementWritten()
    {
        QFETCH(bool, commitFails);
        AccountingFixture f;
        insertOpenItems(f, 1500);
        QSqlDatabase reader;
        f.host.onYield = [&] {
            if (f.host.yields != 1201)
                return;
            if (commitFails) {
                reader = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
                reader.setDatabaseName(f.newArchive());
                QVERIFY(reader.open());
                QVERIFY(QSqlQuery(reader).exec(QStringLiteral("begin")));
                QVERIFY(QSqlQuery(reader).exec(QStringLiteral("select count(*) from CONTATORI")));
            }
            throw rio::Error(rio::err::EngineFailure, QStringLiteral("Lettura interrotta"));
        };

        rio::CREAZIONE_MOVIMENTI_CONTABILI(f.ctx, QStringLiteral("Azienda_1"));
        if (reader.isOpen()) {
            QVERIFY(QSqlQuery(reader).exec(QStringLiteral("rollback")));
            reader.close();
        }
        reader = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("reader"));

        QCOMPARE(f.host.boxes.size(), commitFails ? 2 : 1);
        QCOMPARE(f.host.boxes.first().text,
                 QStringLiteral("Error -2147467259 (Lettura interrotta) ") + StepError);
        const qint64 written = f.newCount();
        if (commitFails) {
            QVERIFY2(f.host.boxes[1].text.contains(QStringLiteral(
                         "(i movimenti scritti dopo l'ultima conferma non sono stati salvati)")),
                     qPrintable(f.host.boxes[1].text));
            QCOMPARE(written, 0);
            QCOMPARE(f.counter(), 0);
            return;
        }
        // A few yields come from inside the engine: the failure comes a few items early.
        QVERIFY2(written > 1000 && written <= 1200, qPrintable(QString::number(written)));
        QCOMPARE(f.counter(), written);
        QCOMPARE(
            TestInstall::scalar(f.newArchive(), QStringLiteral("select max(progr_mov_cont) from MOV_CONT"))
                .toLongLong(),
            written);
        QCOMPARE(f.host.progressCaption, Working);
        QVERIFY(!f.host.ticked(rio::Stage::CreazioneMovimContabili));
    }
};

QTEST_GUILESS_MAIN(TestAccountingMovements)
#include "test_movimenti_contabili.moc"
