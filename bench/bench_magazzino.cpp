// Times the stock recomputation of the old-year archive and the opening stock
// movements of one company: bench_magazzino [articles] [movements]
// (default 50000 and 1000000).
#include "support/fake_host.h"
#include "support/test_install.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "context/run_state.h"
#include "data/database.h"
#include "warehouse/movimenti_magazzino.h"
#include "warehouse/ripristino_magazzino.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int articles = args.size() > 1 ? args.at(1).toInt() : 50000;
    const int movements = args.size() > 2 ? args.at(2).toInt() : 1000000;

    TestInstall install;
    const QString oldArchive = install.createArchive(1, years::Old);
    TestInstall::exec(
        oldArchive,
        QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, CodIva) "
                       "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                       "select 'ART' || substr('000000' || i, -6), 'Articolo ' || i, '22' from n")
            .arg(articles));
    TestInstall::exec(
        oldArchive,
        QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta) "
                       "with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                       "select 'ART' || substr('000000' || (i % %2 + 1), -6), "
                       "'0' || (i % 6 + 1), (i % 7) - 2 from n")
            .arg(movements)
            .arg(articles));

    FakeHost host;
    rio::RunState state;
    state.PercorsoBase = TestInstall::base();
    state.PercorsoSystemMdw = TestInstall::mdw();
    rio::RunContext ctx(host, state);
    QTextStream out(stdout);

    QElapsedTimer timer;
    timer.start();
    {
        rio::Connection db;
        db.open(rio::layout::archiveConnectionString(TestInstall::archiveWindowsPath(1, years::Old),
                                                     TestInstall::mdw()));
        db.beginTrans();
        rio::RIPRISTINA_MAGAZZINO(ctx, db, QStringLiteral("Azienda_1"));
        db.commitTrans();
    }
    out << "RIPRISTINA_MAGAZZINO " << years::Old << ": " << articles << " articles, " << movements
        << " movements: " << timer.elapsed() << " ms\n";
    out.flush();

    const QString newArchive = install.archiveHost(1, years::New);
    QDir().mkpath(QFileInfo(newArchive).absolutePath());
    QFile::copy(oldArchive, newArchive);
    TestInstall::exec(newArchive, QStringLiteral("delete from MOV_MAG"));
    TestInstall::exec(newArchive, QStringLiteral("update CONTATORI set Progr_Mov_Mag = 0"));

    timer.restart();
    rio::CREAZIONE_MOVIMENTI_MAGAZZINO(ctx, QStringLiteral("Azienda_1"));
    const qint64 ms = timer.elapsed();
    state.ConnessioneDbOld.reset();
    const qlonglong written =
        TestInstall::scalar(newArchive, QStringLiteral("select count(*) from MOV_MAG")).toLongLong();
    out << "CREAZIONE_MOVIMENTI_MAGAZZINO: " << written << " movements written, boxes: " << host.boxes.size()
        << ", " << ms << " ms\n";
    return host.boxes.isEmpty() && written > 0 ? 0 : 1;
}
