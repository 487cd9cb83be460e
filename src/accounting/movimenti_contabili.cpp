#include "accounting/movimenti_contabili.h"

#include "accounting/genero_movimento_contabile.h"
#include "data/database.h"
#include "data/error.h"
#include "shell/layout.h"
#include "shell/run_context.h"

namespace rio {

namespace {

const auto ProcedureLabel = QStringLiteral("CREAZIONI_MOVIMENTI_CONTABILI");
const auto OpenItemsSql = QStringLiteral("select * from MOV_CONT where stato_partita  is null");

// Movements written between two commits of the new archive: enough to avoid
// a disk sync per row, few enough that only a crash loses any work.
constexpr int CommitBatch = 1000;

// Keeps the movements already written when the step ends early.
void commitQuietly(Connection& connection) noexcept
{
    try {
        if (connection.isOpen() && connection.inTransaction())
            connection.commitTrans();
    } catch (...) {
    }
}

// The item's fields in the writer's order; the expiry days and the site
// codes start again from 0 in the new year.
MovimentoContabile openItem(const Query& item)
{
    const Value zero = qlonglong(0);
    return {item.value(QStringLiteral("Data_Mov_Cont")),
            zero,
            item.value(QStringLiteral("TipoCliFor")),
            item.value(QStringLiteral("CodCliFor")),
            item.value(QStringLiteral("Tipo_Documento")),
            item.value(QStringLiteral("Numero_Documento")),
            item.value(QStringLiteral("ID_Generico")),
            item.value(QStringLiteral("Descrizione_Operazione")),
            item.value(QStringLiteral("Dep")),
            item.value(QStringLiteral("Imponibile_Mov_Cont")),
            item.value(QStringLiteral("Imposta_Mov_Cont")),
            item.value(QStringLiteral("Totale_Mov_Cont")),
            item.value(QStringLiteral("Sezione")),
            item.value(QStringLiteral("ID_PArtita")),
            item.value(QStringLiteral("Tipo_Mov")),
            zero,
            zero,
            item.value(QStringLiteral("CodAgente")),
            item.value(QStringLiteral("Stato_Partita"))};
}

} // namespace

void CREAZIONE_MOVIMENTI_CONTABILI(RunContext& ctx, QString Numero_Azienda)
{
    RunState& state = ctx.state();
    Connection dbOld;
    Connection dbNew;
    try {
        ctx.setProgress(QStringLiteral("STO CREANDO I MOVIMENTI CONTABILI..."));
        if (state.ConnessioneDbOld)
            state.ConnessioneDbOld->release();

        dbOld.open(layout::archiveConnectionString(
            layout::archivePath(state.PercorsoBase, Numero_Azienda, layout::AnnoInCorso),
            state.PercorsoSystemMdw));
        dbNew.open(layout::archiveConnectionString(
            layout::archivePath(state.PercorsoBase, Numero_Azienda, layout::AnnoDaAprire),
            state.PercorsoSystemMdw));

        {
            Query items(dbOld, OpenItemsSql);
            const qint64 total = items.count();
            qint64 done = 0;
            items.exec();
            MovimentoContabileWriter writer(ctx, dbNew, QStringLiteral("MOV_CONT"),
                                            QStringLiteral("Progr_mov_cont"));
            dbNew.beginTrans();
            int sinceCommit = 0;
            // No open item: nothing to carry, the step still completes.
            while (items.next()) {
                ctx.yield();
                ctx.stepProgress(++done, total);
                writer.write(openItem(items));
                if (++sinceCommit >= CommitBatch) {
                    dbNew.commitTrans();
                    dbNew.beginTrans();
                    sinceCommit = 0;
                }
            }
            dbNew.commitTrans();
        }

        ctx.setProgress(QStringLiteral("RIPRISTINO MOVIMENTO CONTABILI COMPLETATI..."));
        ctx.host().setStatus(StatusBox::CreazioneMovimContabili, true);
        dbOld.close();
        dbNew.close();
    } catch (const Error& e) {
        commitQuietly(dbNew);
        dbOld.release();
        dbNew.release();
        ctx.reportError(e, ProcedureLabel);
    } catch (...) {
        commitQuietly(dbNew);
        throw;
    }
}

} // namespace rio
