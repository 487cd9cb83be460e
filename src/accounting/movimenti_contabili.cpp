#include "accounting/movimenti_contabili.h"

#include "accounting/genero_movimento_contabile.h"
#include "context/layout.h"
#include "context/run_context.h"
#include "data/batch_commit.h"
#include "data/database.h"
#include "data/error.h"

#include <array>
#include <optional>

namespace rio {

namespace {

const auto ProcedureLabel = QStringLiteral("CREAZIONI_MOVIMENTI_CONTABILI");
const auto OpenItemsSql = QStringLiteral("select * from MOV_CONT where stato_partita  is null");

// The item's fields, read from the row by position: a hundred thousand
// items would otherwise look up sixteen names each.
const std::array<QLatin1StringView, 16> OpenItemFieldNames{
    QLatin1StringView("Data_Mov_Cont"),
    QLatin1StringView("TipoCliFor"),
    QLatin1StringView("CodCliFor"),
    QLatin1StringView("Tipo_Documento"),
    QLatin1StringView("Numero_Documento"),
    QLatin1StringView("ID_Generico"),
    QLatin1StringView("Descrizione_Operazione"),
    QLatin1StringView("Dep"),
    QLatin1StringView("Imponibile_Mov_Cont"),
    QLatin1StringView("Imposta_Mov_Cont"),
    QLatin1StringView("Totale_Mov_Cont"),
    QLatin1StringView("Sezione"),
    QLatin1StringView("ID_PArtita"),
    QLatin1StringView("Tipo_Mov"),
    QLatin1StringView("CodAgente"),
    QLatin1StringView("Stato_Partita"),
};

} // namespace

OpenItems::OpenItems(Connection& oldArchive) : m_items(oldArchive, OpenItemsSql) {}

qint64 OpenItems::count()
{
    return m_items.count();
}

bool OpenItems::next()
{
    if (!m_started) {
        m_items.exec();
        m_started = true;
    }
    if (!m_items.next())
        return false;
    // Resolved at the first item, so that an unknown name fails where
    // reading it did: with no item, nothing fails.
    if (!m_fields) {
        std::array<int, FieldCount> fields{};
        for (int i = 0; i < FieldCount; ++i)
            fields[size_t(i)] = m_items.indexOf(OpenItemFieldNames[size_t(i)]);
        m_fields = fields;
    }
    return true;
}

// The item's fields in the writer's order; the expiry days and the site
// codes start again from 0 in the new year.
AccountingMovement OpenItems::movement() const
{
    const Value zero = qlonglong(0);
    auto field = [&](int i) {
        return m_items.value((*m_fields)[size_t(i)]);
    };
    return {field(0),  zero,     field(1), field(2),  field(3),  field(4),  field(5),
            field(6),  field(7), field(8), field(9),  field(10), field(11), field(12),
            field(13), zero,     zero,     field(14), field(15)};
}

void CREAZIONE_MOVIMENTI_CONTABILI(RunContext& ctx, QString Numero_Azienda)
{
    RunState& state = ctx.state();
    Connection dbOld;
    Connection dbNew;
    std::optional<Error> lostBatch; // the last batch's commit, failed while unwinding
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
        // The window repaints while a commit waits for the disk (one every
        // BatchCommit::RowsPerCommit items).
        dbNew.setWhileBusy([&ctx] { ctx.yield(); });

        {
            OpenItems items(dbOld);
            const qint64 total = items.count();
            qint64 done = 0;
            AccountingMovementWriter writer(ctx, dbNew, QStringLiteral("MOV_CONT"),
                                            QStringLiteral("Progr_mov_cont"));
            // What is written stays written if a later item fails; the
            // counter is written with each batch, in its transaction.
            writer.holdCounter();
            BatchCommit commit(dbNew, &lostBatch);
            commit.beforeEachCommit([&writer] { writer.saveCounter(); });
            // No open item: nothing to carry, the step still completes.
            while (items.next()) {
                ctx.yield();
                ctx.stepProgress(++done, total);
                writer.GENERO_MOVIMENTO_CONTABILE(items.movement());
                commit.rowWritten();
            }
            commit.finish();
        }

        ctx.setProgress(QStringLiteral("RIPRISTINO MOVIMENTO CONTABILI COMPLETATI..."));
        ctx.host().showStageDone(Stage::CreazioneMovimContabili, true);
        dbOld.close();
        dbNew.close();
    } catch (const Error& e) {
        dbOld.release();
        dbNew.release();
        ctx.reportError(e, ProcedureLabel);
        if (lostBatch)
            ctx.reportError(Error(lostBatch->number(),
                                  lostBatch->description() +
                                      QStringLiteral(" (i movimenti scritti dopo l'ultima conferma non sono "
                                                     "stati salvati)")),
                            ProcedureLabel);
    }
}

} // namespace rio
