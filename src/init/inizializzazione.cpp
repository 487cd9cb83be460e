#include "init/inizializzazione.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/error.h"
#include "data/product_schema.h"

#include <QSet>

namespace rio {

namespace {

const QString Procedura = QStringLiteral("INIZIALIZZAZIONE_FILE");

// Empties a table; a table that is not there (or a name that can name
// none) is passed over.
// The window repaints between two tables; a big table's single delete still
// holds it until it ends.
void svuotaSeEsiste(RunContext& ctx, Connection& db, const QString& tabella)
{
    ctx.yield();
    try {
        db.execute(QStringLiteral("delete * from ") + Connection::quoteIdentifier(tabella));
    } catch (const Error& e) {
        if (e.number() != err::NoTable)
            throw;
    }
}

void svuotaMovimenti(RunContext& ctx, Connection& db)
{
    for (const char* tabella : {"MOV_MAG", "MOV_CONT", "MOV_IVA", "MOV_PROVV", "MOV_TRASP"})
        svuotaSeEsiste(ctx, db, QLatin1String(tabella));
}

// Document-table names of the active causals; none when CAUSALI is missing.
QList<Value> tabelleDocumenti(Connection& db)
{
    QList<Value> tabelle;
    try {
        Query q(db, QStringLiteral("select Tipo_Causale,Nome_Tabella_Archiviazione_dati_documento as tabella "
                                   "from CAUSALI where Attivazione_causale=true"));
        q.exec();
        while (q.next())
            tabelle << q.value(QStringLiteral("tabella"));
    } catch (const Error& e) {
        if (e.number() != err::NoTable)
            throw;
    }
    return tabelle;
}

void svuotaDocumenti(RunContext& ctx, Connection& db)
{
    const QList<Value> nomi = tabelleDocumenti(db);
    if (nomi.isEmpty())
        return;
    // A name that no table of the catalogue bears is passed over before any
    // statement is formed from it: some drivers refuse a quoted name holding
    // ";" with an error that is not the missing-table one.
    QSet<QString> esistenti;
    for (const QString& t : db.tableNames())
        esistenti.insert(t.toUpper());
    const auto svuota = [&](const QString& tabella) {
        if (esistenti.contains(tabella.toUpper()))
            svuotaSeEsiste(ctx, db, tabella);
    };
    for (const Value& valore : nomi) {
        // A Null name names no table.
        if (isNull(valore))
            continue;
        // The name comes from data: trimmed and quoted, it can only ever name
        // a table.
        const QString nome = trimBlanks(textOf(valore));
        if (nome == QLatin1String("DISTINTA_BASE") || nome == QLatin1String("LISTINO_AUTO_1"))
            continue;
        svuota(QStringLiteral("T_") + nome);
        svuota(QStringLiteral("C_") + nome);
    }
}

void azzeraContatori(Connection& db)
{
    const QStringList campi = schema::counterFields();
    const qint64 primaRiga = firstRowId(db, QStringLiteral("CONTATORI"));
    const QList<Value> zeri(campi.size(), Value(qlonglong(0)));
    RowUpdater(db, QStringLiteral("CONTATORI"), campi).update(primaRiga, zeri);
}

} // namespace

bool INIZIALIZZAZIONE_FILE(RunContext& ctx, const QString& Numero_Azienda)
{
    ctx.setProgress(QStringLiteral("STO INIZIALIZZANDO IL NUOVO ARCHIVIO..."));
    Connection db;
    try {
        const RunState& stato = ctx.state();
        db.open(layout::archiveConnectionString(
            layout::archivePath(stato.PercorsoBase, Numero_Azienda, layout::AnnoDaAprire),
            stato.PercorsoSystemMdw));
        // One transaction for the whole archive: either fully initialised or
        // left as it was.
        db.beginTrans();
        svuotaMovimenti(ctx, db);
        svuotaDocumenti(ctx, db);
        ctx.setProgress(QStringLiteral("STO RESETTANDO I PROGRESSIVI..."));
        azzeraContatori(db);
        db.commitTrans();
    } catch (const Error& e) {
        // Discards the uncommitted work before the box waits for the user.
        db.release();
        ctx.reportError(e, Procedura);
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
        const QString cercato = trimBlanks(textOf(NomeTabella)).toUpper();
        bool trovata = false;
        for (const QString& nome : Connessione->tableNames())
            if (trimBlanks(nome.toUpper()) == cercato)
                trovata = true;
        return trovata;
    } catch (...) {
        return false;
    }
}

} // namespace rio
