#include "warehouse/movimenti_magazzino.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/value.h"
#include "warehouse/ripristino_magazzino.h"

#include <QDateTime>

#include <memory>
#include <optional>
#include <vector>

namespace rio {

namespace {

const QString Procedura = QStringLiteral("CREAZIONE_MOVIMENTI_MAGAZZINO");

struct ArticoloVecchio
{
    Value codArt, giacenza1, giacenza2, codIva, costoStandard, costoMedio, costoUltimo;
};

std::vector<ArticoloVecchio> leggiArticoli(Connection& dbOld)
{
    std::vector<ArticoloVecchio> articoli;
    Query q(dbOld, QStringLiteral("select codart,Giacenza1,Giacenza2,CodIva,CostoStandard,CostoMedio,"
                                  "CostoUltimo from ANAG_ART"));
    q.exec();
    while (q.next())
        articoli.push_back(
            {q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5), q.value(6)});
    return articoli;
}

bool riaperturaEsistente(Connection& dbNew)
{
    Query q(dbNew, QStringLiteral("select TOP 1 TipoMov from MOV_MAG where TipoMov='RIAPERTURA'"));
    q.exec();
    const bool trovata = q.next();
    q.finish();
    return trovata;
}

// The movement counter: the first CONTATORI row's Progr_Mov_Mag. Read when the
// first movement needs it, as the program reads it; an empty table fails there.
class Contatore
{
public:
    explicit Contatore(Connection& db) : m_db(db)
    {
        // Fails at once when the table or its field is missing, as opening
        // "select progr_mov_mag from Contatori" does.
        Query(m_db, QStringLiteral("select progr_mov_mag from Contatori"));
    }

    // The number the next movement takes; then the counter moves on.
    Value prossimo()
    {
        if (!m_rowid)
            leggi();
        const Value numero = m_valore;
        // Null + 1 is Null: numbers and counter stay Null.
        if (!isNull(m_valore))
            m_valore = static_cast<qlonglong>(numberOf(m_valore)) + 1;
        m_avanzato = true;
        return numero;
    }

    // Written once: the final value is the start plus the movements written.
    void salva()
    {
        if (!m_avanzato)
            return;
        RowUpdater(m_db, QStringLiteral("CONTATORI"), {QStringLiteral("Progr_Mov_Mag")})
            .update(*m_rowid, {m_valore});
    }

private:
    void leggi()
    {
        const qint64 rowid = firstRowId(m_db, QStringLiteral("CONTATORI"));
        Query q(m_db, QStringLiteral("select progr_mov_mag from Contatori where rowid = ?"));
        q.bind(0, rowid);
        q.exec();
        q.moveFirst();
        m_valore = q.value(0);
        q.finish();
        m_rowid = rowid;
    }

    Connection& m_db;
    std::optional<qint64> m_rowid;
    Value m_valore;
    bool m_avanzato = false;
};

const QStringList& campiMovimento()
{
    static const QStringList campi{
        QStringLiteral("Progr_Mov_Mag"),  QStringLiteral("DataMov"),    QStringLiteral("DEP"),
        QStringLiteral("Carico_Scarico"), QStringLiteral("DescrMov"),   QStringLiteral("oRAMov"),
        QStringLiteral("TipoMov"),        QStringLiteral("CodCliFor"),  QStringLiteral("TipoCliFor"),
        QStringLiteral("TipoDoc"),        QStringLiteral("DataDoc"),    QStringLiteral("CodArt"),
        QStringLiteral("CodIva"),         QStringLiteral("CostoMedio"), QStringLiteral("CostoUltimo"),
        QStringLiteral("CostoStandard"),  QStringLiteral("Qta"),        QStringLiteral("NumDoc")};
    return campi;
}

// The time of day as the program stores it: on the date engine's day zero,
// whole seconds.
Value oraCorrente()
{
    const QTime adesso = QTime::currentTime();
    return QDateTime(QDate(1899, 12, 30), QTime(adesso.hour(), adesso.minute(), adesso.second()));
}

void scriviMovimenti(RunContext& ctx, Connection& dbNew, const std::vector<ArticoloVecchio>& articoli,
                     Contatore& contatore)
{
    const QString data = QStringLiteral("01/01/%1").arg(layout::AnnoDaAprire);
    RowInserter movimento(dbNew, QStringLiteral("MOV_MAG"), campiMovimento());
    qint64 fatti = 0;
    for (const ArticoloVecchio& a : articoli) {
        ctx.yield();
        ctx.stepProgress(++fatti, qint64(articoli.size()));
        for (int d = 1; d <= 2; ++d) {
            const Value& giacenza = d == 1 ? a.giacenza1 : a.giacenza2;
            if (isNull(giacenza) || numberOf(giacenza) == 0)
                continue;
            movimento.insert({contatore.prossimo(), data, QStringLiteral("0%1").arg(d), QStringLiteral("C"),
                              QStringLiteral("RIPORTO DA ESERCIZIO PRECEDENTE"), oraCorrente(),
                              QStringLiteral("RIAPERTURA"), QStringLiteral("VENTOR"), QStringLiteral("F"),
                              QStringLiteral("RIAPERTURA"), data, a.codArt, a.codIva, a.costoMedio,
                              a.costoUltimo, a.costoStandard, giacenza, QStringLiteral("0")});
        }
    }
    contatore.salva();
}

} // namespace

void CREAZIONE_MOVIMENTI_MAGAZZINO(RunContext& ctx, const QString& Numero_Azienda)
{
    RunState& stato = ctx.state();
    std::unique_ptr<Connection> ConnessioneDbNew;
    try {
        ctx.setProgress(QStringLiteral("STO CREANDO I MOVIMENTI DI MAGAZZINO NEL NUOVO DB"));

        if (stato.ConnessioneDbOld)
            stato.ConnessioneDbOld->release();
        else
            stato.ConnessioneDbOld = std::make_unique<Connection>();
        Connection& dbOld = *stato.ConnessioneDbOld;
        dbOld.open(layout::archiveConnectionString(
            layout::archivePath(stato.PercorsoBase, Numero_Azienda, layout::AnnoInCorso),
            stato.PercorsoSystemMdw));
        ConnessioneDbNew = std::make_unique<Connection>();
        Connection& dbNew = *ConnessioneDbNew;
        dbNew.open(layout::archiveConnectionString(
            layout::archivePath(stato.PercorsoBase, Numero_Azienda, layout::AnnoDaAprire),
            stato.PercorsoSystemMdw));

        if (riaperturaEsistente(dbNew)) {
            ConnessioneDbNew.reset();
            const QString testo =
                QStringLiteral("Ripertura Magazzino Già esistente, impossibile continuare!");
            ctx.message(testo, Buttons::Ok, Icon::Exclamation, QStringLiteral("Ventor"));
            ctx.host().showBusy(false);
            // The log says why the program ended.
            ctx.addEventLine(testo);
            throw ProgramEnd{testo};
        }

        Contatore contatore(dbNew);
        // Read in full before any write, so that the old archive holds no
        // open read (and no lock) once the step returns; the program's
        // read-only transaction there has nothing to keep and is left out.
        const std::vector<ArticoloVecchio> articoli = leggiArticoli(dbOld);
        if (articoli.empty()) {
            ctx.message(QStringLiteral("Nessun Articolo trovato"), Buttons::Ok, Icon::Exclamation,
                        QStringLiteral("Ventor"));
            return;
        }

        dbNew.beginTrans();
        ctx.host().showBusy(true);
        scriviMovimenti(ctx, dbNew, articoli, contatore);
        dbNew.commitTrans();

        RIPRISTINA_MAGAZZINO(ctx, dbNew, Numero_Azienda);

        ctx.host().showStageDone(Stage::CreazioneMagazzino, true);
        ctx.host().showBusy(false);
        ctx.setProgress(QStringLiteral("Riapertura Magazzino ") + Numero_Azienda +
                        QStringLiteral(" completata!"));
    } catch (const Error& e) {
        // Uncommitted movements and counter advances are discarded with the
        // connection, before the box waits for the user.
        ConnessioneDbNew.reset();
        ctx.reportError(e, Procedura);
    }
}

} // namespace rio
