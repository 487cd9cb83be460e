// Times the carry-forward of a company's open accounting items into the new
// archive: bench_movimenti_contabili [items] (default 100000);
// RIO_TEST_DB_DRIVER=odbc goes through the ODBC driver.
#include "support/fake_host.h"
#include "support/test_install.h"

#include "accounting/movimenti_contabili.h"
#include "context/run_context.h"
#include "context/run_state.h"
#include "data/database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int items = args.size() > 1 ? args.at(1).toInt() : 100000;
    rio::Connection::setSqliteThroughOdbc(qgetenv("RIO_TEST_DB_DRIVER") == "odbc");

    TestInstall install;
    install.createArchive(1, years::Old);
    install.createArchive(1, years::New);
    const QString oldArchive = install.archiveHost(1, years::Old);
    const QString newArchive = install.archiveHost(1, years::New);
    TestInstall::exec(newArchive, QStringLiteral("delete from MOV_CONT"));
    TestInstall::exec(newArchive, QStringLiteral("update CONTATORI set Progr_Mov_Cont = 0"));
    TestInstall::exec(oldArchive, QStringLiteral("delete from MOV_CONT"));
    // Open items with every carried field set, a tenth without amounts, and as
    // many closed ones that the query passes over.
    TestInstall::exec(
        oldArchive,
        years::fill(
            QStringLiteral(
                "insert into MOV_CONT(progr_mov_cont, ID_MOV_CONT, Data_Mov_Cont, DESCRIZIONE_OPERAZIONE, "
                "Tipo_Mov, Tipo_Documento, Numero_Documento, TipoCliFor, CodCLIFOR, CodAgente, ID_Generico, "
                "Sezione, Imponibile_Mov_Cont, Imposta_Mov_Cont, Totale_Mov_Cont, Dep, Giorni_Scadenza, "
                "ID_PARTITA, Stato_PArtita) "
                "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                "select i, 'X' || i, date('{old}-01-01', '+' || (i % 365) || ' days'), "
                "'Fattura numero ' || i, 'fa', 'FT', i, 'C', substr('00000' || (i % 5000), -6), 'AG', 'G' || "
                "i, "
                "'D', case when i % 10 = 0 then 0 else 100 end, 22, 122, '01', 30, 'P' || i, "
                "case when i % 2 = 0 then 'C' end from n"))
            .arg(items * 2));

    FakeHost host;
    rio::RunState state;
    state.PercorsoBase = TestInstall::base();
    state.PercorsoSystemMdw = TestInstall::mdw();
    rio::RunContext ctx(host, state);

    QElapsedTimer timer;
    timer.start();
    rio::CREAZIONE_MOVIMENTI_CONTABILI(ctx, QStringLiteral("Azienda_1"));
    const qint64 ms = timer.elapsed();

    const qlonglong written =
        TestInstall::scalar(newArchive, QStringLiteral("select count(*) from MOV_CONT")).toLongLong();
    QTextStream out(stdout);
    out << "open items: " << items << ", movements written: " << written << ", boxes: " << host.boxes.size()
        << ", time: " << ms << " ms (" << (ms > 0 ? written * 1000 / ms : written) << " movements/s)\n";
    return written == items && host.boxes.isEmpty() ? 0 : 1;
}
