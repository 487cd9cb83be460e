#include "warehouse/movimenti_magazzino.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/value.h"
#include "warehouse/ripristino_magazzino.h"

#include <QDateTime>

#include <memory>
#include <optional>

namespace rio {

namespace {

const QString ProcedureLabel = QStringLiteral("CREAZIONE_MOVIMENTI_MAGAZZINO");

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

// The fields that change from movement to movement, in the order of the
// program's assignments; the others are the same in every movement
// (fixedFields) and are bound once.
const QStringList& movementFields()
{
    static const QStringList fields{
        QStringLiteral("Progr_Mov_Mag"), QStringLiteral("DEP"),           QStringLiteral("oRAMov"),
        QStringLiteral("CodArt"),        QStringLiteral("CodIva"),        QStringLiteral("CostoMedio"),
        QStringLiteral("CostoUltimo"),   QStringLiteral("CostoStandard"), QStringLiteral("Qta")};
    return fields;
}

QList<FixedField> fixedFields()
{
    const QString openingDate = QStringLiteral("01/01/%1").arg(layout::AnnoDaAprire);
    return {{QStringLiteral("DataMov"), openingDate},
            {QStringLiteral("Carico_Scarico"), QStringLiteral("C")},
            {QStringLiteral("DescrMov"), QStringLiteral("RIPORTO DA ESERCIZIO PRECEDENTE")},
            {QStringLiteral("TipoMov"), QStringLiteral("RIAPERTURA")},
            {QStringLiteral("CodCliFor"), QStringLiteral("VENTOR")},
            {QStringLiteral("TipoCliFor"), QStringLiteral("F")},
            {QStringLiteral("TipoDoc"), QStringLiteral("RIAPERTURA")},
            {QStringLiteral("DataDoc"), openingDate},
            {QStringLiteral("NumDoc"), QStringLiteral("0")}};
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

// The old year's articles, read one at a time as the movements are written:
// nothing is held per article.
class OldArticles
{
public:
    explicit OldArticles(Connection& dbOld)
        : m_query(dbOld, QStringLiteral("select codart,Giacenza1,Giacenza2,CodIva,CostoStandard,"
                                        "CostoMedio,CostoUltimo from ANAG_ART"))
    {
    }
    qint64 count() { return m_query.count(); }
    // The first article; false when there is none.
    bool first()
    {
        m_query.exec();
        return m_query.next();
    }
    bool next() { return m_query.next(); }
    Query& row() { return m_query; }

private:
    Query m_query;
};

// Column of each value in OldArticles' rows.
enum OldColumn { Code, Stock1, Stock2, VatCode, StandardCost, AverageCost, LastCost };

void writeMovements(RunContext& ctx, Connection& dbNew, OldArticles& articles, qint64 total,
                    MovementCounter& counter)
{
    RowInserter movementInserter(dbNew, QStringLiteral("MOV_MAG"), movementFields(), fixedFields());
    const Value warehouses[] = {QStringLiteral("01"), QStringLiteral("02")};
    TimeOfDay timeOfDay;
    Query& a = articles.row();
    qint64 done = 0;
    do {
        ctx.yield();
        ctx.stepProgress(++done, total);
        for (int d = 1; d <= 2; ++d) {
            const int stock = d == 1 ? Stock1 : Stock2;
            if (a.isNullAt(stock) || a.numberAt(stock) == 0)
                continue;
            movementInserter.insert({counter.next(), warehouses[d - 1], timeOfDay.now(), a.value(Code),
                                     a.value(VatCode), a.value(AverageCost), a.value(LastCost),
                                     a.value(StandardCost), a.value(stock)});
        }
    } while (articles.next());
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
        {
            // Read while the movements are written and ended with them, so
            // that the old archive holds no open read (and no lock) once the
            // step returns; the program's read-only transaction there has
            // nothing to keep and is left out.
            OldArticles articles(dbOld);
            const qint64 total = articles.count();
            if (!articles.first()) {
                ctx.message(QStringLiteral("Nessun Articolo trovato"), Buttons::Ok, Icon::Exclamation,
                            QStringLiteral("Ventor"));
                return;
            }
            dbNew.beginTrans();
            ctx.host().showBusy(true);
            writeMovements(ctx, dbNew, articles, total, counter);
        }
        // The old archive's pages are read no more in this step: its page
        // cache need not sit beside the new archive's while its stock is
        // recomputed.
        dbOld.releaseMemory();
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
