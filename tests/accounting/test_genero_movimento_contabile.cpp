#include "accounting_fixture.h"
#include "support/years.h"

#include "accounting/genero_movimento_contabile.h"
#include "context/layout.h"
#include "data/database.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTest>

using rio::AccountingMovement;
using rio::Value;

namespace {

const QString Fields = QStringLiteral(
    "progr_mov_cont, ID_MOV_CONT, date(Data_Mov_Cont), DESCRIZIONE_OPERAZIONE, Tipo_Mov, Tipo_Documento, "
    "Numero_Documento, UltimoAggiornamento, TipoCliFor, CodCLIFOR, CodAgente, ID_Generico, Sezione, "
    "Imponibile_Mov_Cont, Imposta_Mov_Cont, Totale_Mov_Cont, Dep, Giorni_Scadenza, ID_PARTITA, "
    "Stato_PArtita, "
    "Cod_Cantiere, Cod_SubCantiere, User");
enum Col {
    Progressive,
    Id,
    Date,
    Description,
    MovementType,
    DocumentType,
    DocumentNumber,
    LastUpdate,
    PartyType,
    PartyCode,
    Agent,
    GenericId,
    Section,
    Taxable,
    Tax,
    Total,
    Warehouse,
    ExpiryDays,
    OpenItemId,
    ItemState,
    Site,
    SubSite,
    User
};

Value date(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(0, 0));
}

// A complete movement: 15/06 of the old year, C, 000123, FT, 45.
AccountingMovement movement()
{
    AccountingMovement m;
    m.Data_Movimento = date(years::Old, 6, 15);
    m.Giorni_Scadenza = qlonglong(30);
    m.Tp_CLI_FOR = QStringLiteral("C");
    m.Cod_CLIFOR = QStringLiteral("000123");
    m.Tipo_Documento = QStringLiteral("FT");
    m.Num_Documento = 45.0;
    m.ID_Generico = QStringLiteral("G1");
    m.DESCRIZIONE_OPERAZIONE = QStringLiteral(" fattura di vendita ");
    m.DEPOSITO = QStringLiteral("01");
    m.Imponibile = 100.0;
    m.Imposta = 22.0;
    m.Totale = 122.0;
    m.Sezione = QStringLiteral("D");
    m.ID_PARTITA = QStringLiteral("P-9");
    m.Tipo_Mov = QStringLiteral(" fa ");
    m.Cod_Cantiere = qlonglong(3);
    m.Cod_SubCantiere = QStringLiteral("4 b");
    m.CodAgente = QStringLiteral("AG1");
    m.Partita_Chiusa = rio::nullValue();
    return m;
}

} // namespace

class TestAccountingMovementWriter : public QObject
{
    Q_OBJECT

    struct Writing : AccountingFixture
    {
        Writing() : connection(open(years::New)) {}
        // Through the procedure, one call per movement: a writer of its own,
        // so the counter is read from the archive every time.
        void write(const AccountingMovement& m, const QString& table = QStringLiteral("MOV_CONT"))
        {
            rio::AccountingMovementWriter(ctx, *connection, table, QStringLiteral("Progr_mov_cont"))
                .GENERO_MOVIMENTO_CONTABILE(m);
        }
        QList<QVariantList> rows(const QString& table = QStringLiteral("MOV_CONT"))
        {
            return TestInstall::rows(newArchive(),
                                     QStringLiteral("select %1 from %2 order by rowid").arg(Fields, table));
        }
        std::unique_ptr<rio::Connection> connection;
    };

private slots:
    // RIO_TEST_DB_DRIVER=odbc runs the same cases through the ODBC driver.
    void initTestCase() { rio::Connection::setSqliteThroughOdbc(qgetenv("RIO_TEST_DB_DRIVER") == "odbc"); }

    void writesEveryFieldWithTheNextNumber()
    {
        Writing w;
        w.write(movement());
        AccountingMovement second = movement();
        second.Num_Documento = 46.0;
        w.write(second);

        QVERIFY(w.host.boxes.isEmpty());
        QCOMPARE(w.counter(), 2);
        const auto rows = w.rows();
        QCOMPARE(rows.size(), 2);
        const QVariantList& r = rows.at(0);
        QCOMPARE(r[Progressive].toLongLong(), 1);
        QCOMPARE(rows.at(1)[Progressive].toLongLong(), 2);
        QCOMPARE(r[Id].toString(), years::fill(QStringLiteral("{old}*C*000123*FT*45")));
        QCOMPARE(rows.at(1)[Id].toString(), years::fill(QStringLiteral("{old}*C*000123*FT*46")));
        QCOMPARE(r[Date].toString(), years::fill(QStringLiteral("{old}-06-15")));
        QCOMPARE(r[Description].toString(), QStringLiteral("FATTURA DI VENDITA"));
        QCOMPARE(r[MovementType].toString(), QStringLiteral("FA"));
        QCOMPARE(r[DocumentType].toString(), QStringLiteral("FT"));
        QCOMPARE(r[DocumentNumber].toDouble(), 45.0);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d$"))
                     .match(r[LastUpdate].toString())
                     .hasMatch(),
                 qPrintable(r[LastUpdate].toString()));
        QVERIFY(
            r[LastUpdate].toString().startsWith(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))));
        QCOMPARE(r[PartyType].toString(), QStringLiteral("C"));
        QCOMPARE(r[PartyCode].toString(), QStringLiteral("000123"));
        QCOMPARE(r[Agent].toString(), QStringLiteral("AG1"));
        QCOMPARE(r[GenericId].toString(), QStringLiteral("G1"));
        QCOMPARE(r[Section].toString(), QStringLiteral("D"));
        QCOMPARE(r[Taxable].toDouble(), 100.0);
        QCOMPARE(r[Tax].toDouble(), 22.0);
        QCOMPARE(r[Total].toDouble(), 122.0);
        QCOMPARE(r[Warehouse].toString(), QStringLiteral("01"));
        QCOMPARE(r[ExpiryDays].toLongLong(), 30);
        QCOMPARE(r[OpenItemId].toString(), QStringLiteral("P-9"));
        QVERIFY(r[ItemState].isNull());
        QCOMPARE(r[Site].toDouble(), 3.0);
        QCOMPARE(r[SubSite].toDouble(), 4.0);
        QCOMPARE(r[User].toString(), QStringLiteral("Larvinote"));
    }

    void theCounterIsReadAndWrittenInTheFirstRow()
    {
        Writing w;
        // A second counter row with a lower value, and an index that makes
        // the engine read the counters in value order.
        TestInstall::exec(w.newArchive(), QStringLiteral("update CONTATORI set Progr_Mov_Cont = 10"));
        TestInstall::exec(w.newArchive(), QStringLiteral("insert into CONTATORI(Progr_Mov_Cont) values (3)"));
        TestInstall::exec(w.newArchive(),
                          QStringLiteral("create index CONTATORI_Cont on CONTATORI(Progr_Mov_Cont)"));
        w.write(movement());
        QCOMPARE(w.rows().at(0)[Progressive].toLongLong(), 11);
        QCOMPARE(TestInstall::rows(w.newArchive(),
                                   QStringLiteral("select Progr_Mov_Cont from CONTATORI order by rowid")),
                 QList<QVariantList>({{11}, {3}}));
    }

    void refusesMissingKeyDataOnly()
    {
        Writing w;
        AccountingMovement blanks = movement();
        blanks.Num_Documento = QStringLiteral("   ");
        w.write(blanks);

        QCOMPARE(w.host.boxes.size(), 1);
        const FakeHost::Box& box = w.host.boxes.first();
        QCOMPARE(box.title, QStringLiteral("CONTATTARE IL GESTORE - "));
        QCOMPARE(box.icon, rio::Icon::Critical);
        QCOMPARE(box.buttons, rio::Buttons::Ok);
        QCOMPARE(box.text, QStringLiteral(
                               "Attenzione!!!Non è stato possibile registrare questo movimento contabile per "
                               "problemi interni al programma, si prega di contattare il Gestore!\r\n\r\n"
                               "DETTAGLIO ERRORE: Non si è potuto creare l'ID del Movimento Contabile "
                               "(Nome File:MOV_CONT), per mancanza parametri."));
        QVERIFY(w.ctx.companyHadErrors());
        QCOMPARE(w.newCount(), 0);
        QCOMPARE(w.counter(), 0);

        // Each key, empty or blank, is refused; none of them moves the counter.
        for (Value AccountingMovement::*key :
             {&AccountingMovement::Data_Movimento, &AccountingMovement::Tp_CLI_FOR,
              &AccountingMovement::Cod_CLIFOR, &AccountingMovement::Tipo_Documento}) {
            AccountingMovement m = movement();
            m.*key = QStringLiteral(" ");
            w.write(m);
        }
        QCOMPARE(w.host.boxes.size(), 5);
        QCOMPARE(w.counter(), 0);

        // Null is no empty text: it passes and adds nothing to the identifier.
        AccountingMovement nullType = movement();
        nullType.Tp_CLI_FOR = rio::nullValue();
        w.write(nullType);
        QCOMPARE(w.host.boxes.size(), 5);
        const auto rows = w.rows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0)[Progressive].toLongLong(), 1);
        QCOMPARE(rows.at(0)[Id].toString(), years::fill(QStringLiteral("{old}**000123*FT*45")));
        QVERIFY(rows.at(0)[PartyType].isNull());
    }

    void identifierTrimsAllButTheCode()
    {
        Writing w;
        AccountingMovement m = movement();
        m.Tp_CLI_FOR = QStringLiteral(" C ");
        m.Cod_CLIFOR = QStringLiteral(" 7");
        m.Data_Movimento = date(years::Old, 2, 1);
        m.Num_Documento = qlonglong(5);
        w.write(m);

        const auto r = w.rows().value(0);
        QCOMPARE(r.value(Id).toString(), years::fill(QStringLiteral("{old}*C* 7*FT*5")));
        QCOMPARE(r.value(Date).toString(), years::fill(QStringLiteral("{old}-02-01")));
        QCOMPARE(r.value(PartyType).toString(), QStringLiteral(" C "));
        QCOMPARE(r.value(PartyCode).toString(), QStringLiteral(" 7"));
    }

    void documentNumberIsReadFromItsText()
    {
        Writing w;
        AccountingMovement m = movement();
        m.Num_Documento = QStringLiteral("12/A");
        w.write(m);

        const auto r = w.rows().value(0);
        QVERIFY(r.value(Id).toString().endsWith(QStringLiteral("*12/A")));
        QCOMPARE(r.value(DocumentNumber).toDouble(), 12.0);
    }

    void amountsOfZeroOrNullKeepTheDefault()
    {
        Writing w;
        // A table like MOV_CONT whose amount defaults show whether they were written.
        TestInstall::exec(
            w.newArchive(),
            QStringLiteral(
                "create table MOV_PROVA(progr_mov_cont INTEGER, ID_MOV_CONT TEXT, Data_Mov_Cont DATE, "
                "DESCRIZIONE_OPERAZIONE TEXT, Tipo_Mov TEXT, Tipo_Documento TEXT, Numero_Documento REAL, "
                "UltimoAggiornamento TEXT, TipoCliFor TEXT, CodCLIFOR TEXT, CodAgente TEXT, "
                "ID_Generico TEXT, Sezione TEXT, Imponibile_Mov_Cont REAL DEFAULT 99.5, "
                "Imposta_Mov_Cont REAL DEFAULT 99.5, Totale_Mov_Cont REAL DEFAULT 99.5, Dep TEXT, "
                "Giorni_Scadenza INTEGER, ID_PARTITA TEXT, Stato_PArtita TEXT, Cod_Cantiere REAL, "
                "Cod_SubCantiere REAL, User TEXT)"));

        // One writer for several field sets, as the carry-forward uses it.
        rio::AccountingMovementWriter writer(w.ctx, *w.connection, QStringLiteral("MOV_PROVA"),
                                             QStringLiteral("Progr_mov_cont"));
        AccountingMovement m = movement();
        m.Imponibile = 0.0;
        m.Imposta = rio::nullValue();
        m.Totale = 122.0;
        QVERIFY(writer.GENERO_MOVIMENTO_CONTABILE(m));
        m.Imponibile = QStringLiteral("10");
        m.Imposta = 2.2;
        m.Totale = qlonglong(0);
        QVERIFY(writer.GENERO_MOVIMENTO_CONTABILE(m));
        QVERIFY(writer.GENERO_MOVIMENTO_CONTABILE(movement()));

        QVERIFY(w.host.boxes.isEmpty());
        const auto rows = w.rows(QStringLiteral("MOV_PROVA"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0)[Taxable].toDouble(), 99.5);
        QCOMPARE(rows.at(0)[Tax].toDouble(), 99.5);
        QCOMPARE(rows.at(0)[Total].toDouble(), 122.0);
        QCOMPARE(rows.at(1)[Taxable].toDouble(), 10.0);
        QCOMPARE(rows.at(1)[Tax].toDouble(), 2.2);
        QCOMPARE(rows.at(1)[Total].toDouble(), 99.5);
        QCOMPARE(rows.at(2)[Total].toDouble(), 122.0);
        QCOMPARE(rows.at(2)[Progressive].toLongLong(), 3);
        QCOMPARE(w.counter(), 3);
    }

    void descriptionIsCutThenUpperCasedThenTrimmed()
    {
        Writing w;
        QString letters;
        for (int i = 0; i < 300; ++i)
            letters.append(QChar(u'a' + i % 26));
        AccountingMovement m = movement();
        m.DESCRIZIONE_OPERAZIONE = letters;
        w.write(m);
        m.DESCRIZIONE_OPERAZIONE = QString(QString(10, QLatin1Char(' ')) + letters.left(290));
        w.write(m);
        // Upper case one character at a time: the length stays.
        m.DESCRIZIONE_OPERAZIONE = QStringLiteral("straße però");
        w.write(m);
        // Only spaces are trimmed: tabs stay, inside and around.
        m.DESCRIZIONE_OPERAZIONE = QStringLiteral(" \tnota\tinterna\t ");
        w.write(m);

        const auto rows = w.rows();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0)[Description].toString(), letters.left(254).toUpper());
        QCOMPARE(rows.at(1)[Description].toString(), letters.left(244).toUpper());
        QCOMPARE(rows.at(2)[Description].toString(), QStringLiteral("STRAßE PERÒ"));
        QCOMPARE(rows.at(3)[Description].toString(), QStringLiteral("\tNOTA\tINTERNA\t"));
    }

    void failedRowLeavesAGapInTheNumbers()
    {
        Writing w;
        AccountingMovement noNumber = movement();
        noNumber.Cod_Cantiere = rio::nullValue(); // its text cannot be formed
        w.write(noNumber);
        QCOMPARE(w.host.boxes.size(), 1);
        QVERIFY(w.host.boxes.first().text.startsWith(QStringLiteral("Error 94 (")));
        QVERIFY(w.host.boxes.first().text.endsWith(
            QStringLiteral(") in procedure GENERO_MOVIMENTO_CONTABILE of Form frmRiapri")));
        QCOMPARE(w.host.boxes.first().icon, rio::Icon::None);
        QCOMPARE(w.newCount(), 0);
        QCOMPARE(w.counter(), 1);

        w.write(movement());
        QCOMPARE(w.rows().value(0).value(Progressive).toLongLong(), 2);
    }

    void failuresBeforeTheCounterChangeNothing()
    {
        Writing w;
        w.write(movement(), QStringLiteral("MOV_MANCANTE"));
        QCOMPARE(w.host.boxesContaining(
                     QStringLiteral("in procedure GENERO_MOVIMENTO_CONTABILE of Form frmRiapri")),
                 1);
        QCOMPARE(w.counter(), 0);

        TestInstall::exec(w.newArchive(), QStringLiteral("delete from CONTATORI"));
        w.write(movement());
        QCOMPARE(w.host.boxesContaining(
                     QStringLiteral("in procedure GENERO_MOVIMENTO_CONTABILE of Form frmRiapri")),
                 2);
        QCOMPARE(w.newCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAccountingMovementWriter)
#include "test_genero_movimento_contabile.moc"
