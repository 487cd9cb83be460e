#include "init/inizializzazione.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/error.h"
#include "data/product_schema.h"

#include <QSet>

#include <iterator>

namespace rio {

namespace {

const QString ProcedureLabel = QStringLiteral("INIZIALIZZAZIONE_FILE");

// Empties a table; a table that is not there (or a name that can name
// none) is passed over. The window repaints between two tables, and during a
// big table's delete (the connection's whileBusy).
void emptyIfPresent(RunContext& ctx, Connection& db, const QString& table)
{
    ctx.yield();
    try {
        db.execute(QStringLiteral("delete * from ") + Connection::quoteIdentifier(table));
    } catch (const Error& e) {
        if (e.number() != err::NoTable)
            throw;
    }
}

// The units of the step's progress: each movement table, the documents, the
// counters, the commit.
const char* const MovementTables[] = {"MOV_MAG", "MOV_CONT", "MOV_IVA", "MOV_PROVV", "MOV_TRASP"};
constexpr qint64 ProgressUnits = std::size(MovementTables) + 3;

void emptyMovements(RunContext& ctx, Connection& db)
{
    qint64 done = 0;
    for (const char* table : MovementTables) {
        emptyIfPresent(ctx, db, QLatin1String(table));
        ctx.stepProgress(++done, ProgressUnits);
    }
}

// Document-table names of the active causals; none when CAUSALI is missing.
QList<Value> documentTables(Connection& db)
{
    QList<Value> tables;
    try {
        Query q(db, QStringLiteral("select Tipo_Causale,Nome_Tabella_Archiviazione_dati_documento as tabella "
                                   "from CAUSALI where Attivazione_causale=true"));
        q.exec();
        while (q.next())
            tables << q.value(QStringLiteral("tabella"));
    } catch (const Error& e) {
        if (e.number() != err::NoTable)
            throw;
    }
    return tables;
}

void emptyDocuments(RunContext& ctx, Connection& db)
{
    const QList<Value> names = documentTables(db);
    if (names.isEmpty())
        return;
    // A name that no table of the catalogue bears is passed over before any
    // statement is formed from it: some drivers refuse a quoted name holding
    // ";" with an error that is not the missing-table one.
    QSet<QString> existing;
    for (const QString& t : db.tableNames())
        existing.insert(t.toUpper());
    const auto emptyIfInCatalogue = [&](const QString& table) {
        if (existing.contains(table.toUpper()))
            emptyIfPresent(ctx, db, table);
    };
    for (const Value& value : names) {
        // A Null name names no table.
        if (isNull(value))
            continue;
        // The name comes from data: trimmed and quoted, it can only ever name
        // a table.
        const QString name = trimBlanks(textOf(value));
        if (name == QLatin1String("DISTINTA_BASE") || name == QLatin1String("LISTINO_AUTO_1"))
            continue;
        emptyIfInCatalogue(QStringLiteral("T_") + name);
        emptyIfInCatalogue(QStringLiteral("C_") + name);
    }
}

void resetCounters(Connection& db)
{
    const QStringList fields = schema::counterFields();
    const qint64 firstRow = firstRowId(db, QStringLiteral("CONTATORI"));
    const QList<Value> zeros(fields.size(), Value(qlonglong(0)));
    RowUpdater(db, QStringLiteral("CONTATORI"), fields).update(firstRow, zeros);
}

} // namespace

bool INIZIALIZZAZIONE_FILE(RunContext& ctx, const QString& Numero_Azienda)
{
    ctx.setProgress(QStringLiteral("STO INIZIALIZZANDO IL NUOVO ARCHIVIO..."));
    Connection db;
    try {
        const RunState& state = ctx.state();
        db.open(layout::archiveConnectionString(
            layout::archivePath(state.PercorsoBase, Numero_Azienda, layout::AnnoDaAprire),
            state.PercorsoSystemMdw));
        db.setWhileBusy([&ctx] { ctx.yield(); });
        // One transaction for the whole archive: either fully initialised or
        // left as it was.
        db.beginTrans();
        emptyMovements(ctx, db);
        emptyDocuments(ctx, db);
        ctx.stepProgress(ProgressUnits - 2, ProgressUnits);
        ctx.setProgress(QStringLiteral("STO RESETTANDO I PROGRESSIVI..."));
        resetCounters(db);
        ctx.stepProgress(ProgressUnits - 1, ProgressUnits);
        db.commitTrans();
        ctx.stepProgress(ProgressUnits, ProgressUnits);
    } catch (const Error& e) {
        // Discards the uncommitted work before the box waits for the user.
        db.release();
        ctx.reportError(e, ProcedureLabel);
        return false;
    }
    db.release();
    ctx.host().showStageDone(Stage::Inizializzazione, true);
    return true;
}

bool gEsistenza_Tabella(Connection* Connessione, const Value& NomeTabella)
{
    if (!Connessione || !Connessione->isOpen() || isNull(NomeTabella))
        return false;
    try {
        const QString wanted = trimBlanks(textOf(NomeTabella)).toUpper();
        bool found = false;
        for (const QString& name : Connessione->tableNames())
            if (trimBlanks(name.toUpper()) == wanted)
                found = true;
        return found;
    } catch (...) {
        return false;
    }
}

} // namespace rio
