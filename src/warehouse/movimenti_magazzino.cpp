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

const QString ProcedureLabel = QStringLiteral("CREAZIONE_MOVIMENTI_MAGAZZINO");

struct OldArticle
{
    Value code, stock1, stock2, vatCode, standardCost, averageCost, lastCost;
};

std::vector<OldArticle> readArticles(RunContext& ctx, Connection& dbOld)
{
    std::vector<OldArticle> articles;
    Query q(dbOld, QStringLiteral("select codart,Giacenza1,Giacenza2,CodIva,CostoStandard,CostoMedio,"
                                  "CostoUltimo from ANAG_ART"));
    q.exec();
    while (q.next()) {
        ctx.yield();
        articles.push_back(
            {q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5), q.value(6)});
    }
    return articles;
}

bool openingMovementsExist(Connection& dbNew)
{
    Query q(dbNew, QStringLiteral("select TOP 1 TipoMov from MOV_MAG where TipoMov='RIAPERTURA'"));
    q.exec();
    const bool found = q.next();
    q.finish();
    return found;
}

// The movement counter: the first CONTATORI row's Progr_Mov_Mag. Read when the
// first movement needs it, as the program reads it; an empty table fails there.
class MovementCounter
{
public:
    explicit MovementCounter(Connection& db) : m_db(db)
    {
        // Fails at once when the table or its field is missing, as opening
        // "select progr_mov_mag from Contatori" does.
        Query(m_db, QStringLiteral("select progr_mov_mag from Contatori"));
    }

    // The number the next movement takes; then the counter moves on.
    Value next()
    {
        if (!m_rowid)
            read();
        const Value number = m_value;
        // Null + 1 is Null: numbers and counter stay Null.
        if (!isNull(m_value))
            m_value = static_cast<qlonglong>(numberOf(m_value)) + 1;
        m_advanced = true;
        return number;
    }

    // Written once: the final value is the start plus the movements written.
    void save()
    {
        if (!m_advanced)
            return;
        RowUpdater(m_db, QStringLiteral("CONTATORI"), {QStringLiteral("Progr_Mov_Mag")})
            .update(*m_rowid, {m_value});
    }

private:
    void read()
    {
        const qint64 rowid = firstRowId(m_db, QStringLiteral("CONTATORI"));
        Query q(m_db, QStringLiteral("select progr_mov_mag from Contatori where rowid = ?"));
        q.bind(0, rowid);
        q.exec();
        q.moveFirst();
        m_value = q.value(0);
        q.finish();
        m_rowid = rowid;
    }

    Connection& m_db;
    std::optional<qint64> m_rowid;
    Value m_value;
    bool m_advanced = false;
};

const QStringList& movementFields()
{
    static const QStringList fields{
        QStringLiteral("Progr_Mov_Mag"),  QStringLiteral("DataMov"),    QStringLiteral("DEP"),
        QStringLiteral("Carico_Scarico"), QStringLiteral("DescrMov"),   QStringLiteral("oRAMov"),
        QStringLiteral("TipoMov"),        QStringLiteral("CodCliFor"),  QStringLiteral("TipoCliFor"),
        QStringLiteral("TipoDoc"),        QStringLiteral("DataDoc"),    QStringLiteral("CodArt"),
        QStringLiteral("CodIva"),         QStringLiteral("CostoMedio"), QStringLiteral("CostoUltimo"),
        QStringLiteral("CostoStandard"),  QStringLiteral("Qta"),        QStringLiteral("NumDoc")};
    return fields;
}

// The time of day as the program stores it: on the date engine's day zero,
// whole seconds. Made once a second: each QDateTime in local time asks the
// time zone (under the C library's lock), tens of thousands of rows a second.
class TimeOfDay
{
public:
    const Value& now()
    {
        const QTime now = QTime::currentTime();
        const int second = now.msecsSinceStartOfDay() / 1000;
        if (second != m_second) {
            m_second = second;
            m_value = QDateTime(QDate(1899, 12, 30), QTime(now.hour(), now.minute(), now.second()));
        }
        return m_value;
    }

private:
    int m_second = -1;
    Value m_value;
};

void writeMovements(RunContext& ctx, Connection& dbNew, const std::vector<OldArticle>& articles,
                    MovementCounter& counter)
{
    const QString openingDate = QStringLiteral("01/01/%1").arg(layout::AnnoDaAprire);
    RowInserter movementInserter(dbNew, QStringLiteral("MOV_MAG"), movementFields());
    TimeOfDay timeOfDay;
    qint64 done = 0;
    for (const OldArticle& a : articles) {
        ctx.yield();
        ctx.stepProgress(++done, qint64(articles.size()));
        for (int d = 1; d <= 2; ++d) {
            const Value& stock = d == 1 ? a.stock1 : a.stock2;
            if (isNull(stock) || numberOf(stock) == 0)
                continue;
            movementInserter.insert({counter.next(), openingDate, QStringLiteral("0%1").arg(d),
                                     QStringLiteral("C"), QStringLiteral("RIPORTO DA ESERCIZIO PRECEDENTE"),
                                     timeOfDay.now(), QStringLiteral("RIAPERTURA"), QStringLiteral("VENTOR"),
                                     QStringLiteral("F"), QStringLiteral("RIAPERTURA"), openingDate, a.code,
                                     a.vatCode, a.averageCost, a.lastCost, a.standardCost, stock,
                                     QStringLiteral("0")});
        }
    }
    counter.save();
}

} // namespace

void CREAZIONE_MOVIMENTI_MAGAZZINO(RunContext& ctx, const QString& Numero_Azienda)
{
    RunState& state = ctx.state();
    std::unique_ptr<Connection> newConnection;
    try {
        ctx.setProgress(QStringLiteral("STO CREANDO I MOVIMENTI DI MAGAZZINO NEL NUOVO DB"));

        if (state.ConnessioneDbOld)
            state.ConnessioneDbOld->release();
        else
            state.ConnessioneDbOld = std::make_unique<Connection>();
        Connection& dbOld = *state.ConnessioneDbOld;
        dbOld.open(layout::archiveConnectionString(
            layout::archivePath(state.PercorsoBase, Numero_Azienda, layout::AnnoInCorso),
            state.PercorsoSystemMdw));
        newConnection = std::make_unique<Connection>();
        Connection& dbNew = *newConnection;
        dbNew.open(layout::archiveConnectionString(
            layout::archivePath(state.PercorsoBase, Numero_Azienda, layout::AnnoDaAprire),
            state.PercorsoSystemMdw));
        // Its commits wait for a disk still writing back the new-year copies.
        dbNew.setWhileBusy([&ctx] { ctx.yield(); });

        if (openingMovementsExist(dbNew)) {
            newConnection.reset();
            const QString text = QStringLiteral("Ripertura Magazzino Già esistente, impossibile continuare!");
            ctx.message(text, Buttons::Ok, Icon::Exclamation, QStringLiteral("Ventor"));
            ctx.host().showBusy(false);
            // The log says why the program ended.
            ctx.addEventLine(text);
            throw ProgramEnd{text};
        }

        MovementCounter counter(dbNew);
        // Read in full before any write, so that the old archive holds no
        // open read (and no lock) once the step returns; the program's
        // read-only transaction there has nothing to keep and is left out.
        const std::vector<OldArticle> articles = readArticles(ctx, dbOld);
        if (articles.empty()) {
            ctx.message(QStringLiteral("Nessun Articolo trovato"), Buttons::Ok, Icon::Exclamation,
                        QStringLiteral("Ventor"));
            return;
        }

        dbNew.beginTrans();
        ctx.host().showBusy(true);
        writeMovements(ctx, dbNew, articles, counter);
        dbNew.commitTrans();

        RIPRISTINA_MAGAZZINO(ctx, dbNew, Numero_Azienda);

        ctx.host().showStageDone(Stage::CreazioneMagazzino, true);
        ctx.host().showBusy(false);
        ctx.setProgress(QStringLiteral("Riapertura Magazzino ") + Numero_Azienda +
                        QStringLiteral(" completata!"));
    } catch (const Error& e) {
        // Uncommitted movements and counter advances are discarded with the
        // connection, before the box waits for the user.
        newConnection.reset();
        ctx.reportError(e, ProcedureLabel);
    }
}

} // namespace rio
