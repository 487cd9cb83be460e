#include "run/verification.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/product_schema.h"
#include "init/inizializzazione.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QMap>

#include <cmath>

namespace rio {

namespace {

double numberOrZero(const Value& v)
{
    return isNull(v) ? 0.0 : numberOf(v);
}

QString shown(const Value& v)
{
    return isNull(v) ? QStringLiteral("Null") : textOf(v);
}

QString number(double v)
{
    return textOf(Value(v));
}

// Sums of money read in another order may differ in the last bits.
bool sameAmount(double a, double b)
{
    return std::fabs(a - b) <= 1e-6 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

struct ArticleRow
{
    qint64 rowid = 0;
    QString code;
    Value stock[5];
};

QList<ArticleRow> readArticles(Connection& c, int warehouses)
{
    QString sql = QStringLiteral("select rowid, CodArt, Giacenza1, giacenza2");
    if (warehouses == 5)
        sql += QStringLiteral(", giacenza3, giacenza4, giacenza5");
    sql += QStringLiteral(" from ANAG_ART order by rowid");
    Query q(c, sql);
    q.exec();
    QList<ArticleRow> rows;
    while (q.next()) {
        ArticleRow row;
        row.rowid = q.value(0).toLongLong();
        row.code = textOrEmpty(q.value(1));
        for (int i = 0; i < warehouses; ++i)
            row.stock[i] = q.value(2 + i);
        rows << row;
    }
    return rows;
}

qint64 countRows(Connection& c, const QString& table, const QString& where = QString())
{
    Query q(c, QStringLiteral("select count(*) from ") + Connection::quoteIdentifier(table) + where);
    q.exec();
    q.next();
    const qint64 n = q.value(0).toLongLong();
    q.finish();
    return n;
}

// Codes the stock rules cannot match by design: blanks around the code, or a
// twin that differs only in case.
QSet<qint64> irregularRows(const QList<ArticleRow>& rows)
{
    QHash<QString, int> perKey;
    for (const ArticleRow& r : rows)
        ++perKey[asciiUpper(trimBlanks(r.code))];
    QSet<qint64> irregular;
    for (const ArticleRow& r : rows) {
        const bool blanks = r.code != trimBlanks(r.code);
        if (blanks || perKey.value(asciiUpper(trimBlanks(r.code))) > 1)
            irregular.insert(r.rowid);
    }
    return irregular;
}

void checkStock(Connection& oldDb, Connection& newDb, CompanyVerification& v)
{
    const QList<ArticleRow> oldRows = readArticles(oldDb, 2);
    const QString area = QStringLiteral("Magazzino");

    // The opening movements follow the articles in the order they were read,
    // numbered from 0: the k-th stock to carry is movement number k.
    struct Movement
    {
        QString dep;
        QString code;
        double qta = 0;
    };
    QHash<qint64, Movement> moves;
    {
        Query q(newDb, QStringLiteral(
                           "select Progr_Mov_Mag, DEP, CodArt, Qta from MOV_MAG where TipoMov='RIAPERTURA'"));
        q.exec();
        while (q.next())
            moves.insert(numberOrZero(q.value(0)), Movement{textOrEmpty(q.value(1)), textOrEmpty(q.value(2)),
                                                            numberOrZero(q.value(3))});
    }
    qint64 expectedMoves = 0;
    int moveMismatches = 0;
    for (const ArticleRow& row : oldRows) {
        for (int d = 0; d < 2; ++d) {
            const double stock = numberOrZero(row.stock[d]);
            if (stock == 0)
                continue;
            const qint64 number = expectedMoves++;
            const QString dep = QStringLiteral("0%1").arg(d + 1);
            const auto found = moves.constFind(number);
            if (found == moves.cend()) {
                v.findings << Finding{
                    Finding::Kind::Mismatch, area,
                    QStringLiteral("Articolo \"%1\" deposito %2: giacenza %3, movimento RIAPERTURA n. %4 "
                                   "mancante")
                        .arg(row.code, dep, textOf(Value(stock)))
                        .arg(number)};
                ++moveMismatches;
                continue;
            }
            if (found->code != row.code || found->dep != dep || found->qta != stock) {
                v.findings << Finding{
                    Finding::Kind::Mismatch, area,
                    QStringLiteral("Articolo \"%1\" deposito %2: giacenza %3, movimento RIAPERTURA n. %4 "
                                   "per \"%5\" deposito %6 quantità %7")
                        .arg(row.code, dep, textOf(Value(stock)))
                        .arg(number)
                        .arg(found->code, found->dep, textOf(Value(found->qta)))};
                ++moveMismatches;
            }
        }
    }
    const qint64 extra = std::count_if(moves.keyBegin(), moves.keyEnd(),
                                       [expectedMoves](qint64 k) { return k < 0 || k >= expectedMoves; });
    if (extra > 0) {
        v.findings << Finding{
            Finding::Kind::Mismatch, area,
            QStringLiteral("%1 movimenti RIAPERTURA senza articolo corrispondente").arg(extra)};
        ++moveMismatches;
    }

    v.checks << CheckLine{area, QStringLiteral("Movimenti RIAPERTURA (giacenze 01 e 02 del 2023)"),
                          QString::number(expectedMoves), QString::number(moves.size()), moveMismatches == 0};

    // The 2024 stock recomputed from those movements.
    const QList<ArticleRow> newRows = readArticles(newDb, 5);
    const bool sameArticles = newRows.size() == oldRows.size();
    v.checks << CheckLine{area, QStringLiteral("Articoli (2023 e 2024)"), QString::number(oldRows.size()),
                          QString::number(newRows.size()), sameArticles};
    if (!sameArticles)
        v.findings << Finding{Finding::Kind::Mismatch, area,
                              QStringLiteral("Il 2024 ha %1 articoli, il 2023 ne ha %2")
                                  .arg(newRows.size())
                                  .arg(oldRows.size())};
    QHash<qint64, const ArticleRow*> oldByRow;
    for (const ArticleRow& r : oldRows)
        oldByRow.insert(r.rowid, &r);
    const QSet<qint64> irregular = irregularRows(oldRows);
    int stockMismatches = 0;
    int stockWarnings = 0;
    for (const ArticleRow& row : newRows) {
        const ArticleRow* old = oldByRow.value(row.rowid);
        QStringList differences;
        for (int d = 0; d < 5; ++d) {
            const double expected = (d < 2 && old) ? numberOrZero(old->stock[d]) : 0.0;
            const double found = numberOrZero(row.stock[d]);
            if (found != expected)
                differences << QStringLiteral("deposito 0%1: attesa %2, trovata %3")
                                   .arg(d + 1)
                                   .arg(number(expected), number(found));
        }
        if (differences.isEmpty())
            continue;
        const bool byDesign = irregular.contains(row.rowid);
        (byDesign ? stockWarnings : stockMismatches)++;
        v.findings << Finding{
            byDesign ? Finding::Kind::Warning : Finding::Kind::Mismatch, area,
            QStringLiteral("Giacenza 2024 dell'articolo \"%1\"%2: %3")
                .arg(row.code,
                     byDesign ? QStringLiteral(" (codice con spazi o gemello per maiuscole)") : QString(),
                     differences.join(QStringLiteral("; ")))};
    }
    v.checks << CheckLine{area, QStringLiteral("Giacenze 2024 uguali a quelle riportate (03-05 a zero)"),
                          QString::number(newRows.size()),
                          stockWarnings == 0 ? QString::number(newRows.size() - stockMismatches)
                                             : QStringLiteral("%1 (+%2 con avviso)")
                                                   .arg(newRows.size() - stockMismatches - stockWarnings)
                                                   .arg(stockWarnings),
                          stockMismatches == 0};
}

// An item the writer refuses: one of its key fields is blank text.
bool refusedByWriter(const QList<Value>& keys)
{
    for (const Value& k : keys)
        if (!isNull(k) && trimBlanks(textOf(k)).isEmpty())
            return true;
    return false;
}

QString partyKey(const Value& tipo, const Value& codice)
{
    return shown(tipo) + QChar(0x1F) + shown(codice);
}

void checkOpenItems(Connection& oldDb, Connection& newDb, CompanyVerification& v)
{
    const QString area = QStringLiteral("Partite aperte");
    QMap<QString, PartyLine> parties;
    qint64 expectedCount = 0;
    double expectedTotal = 0;
    {
        Query items(
            oldDb,
            QStringLiteral("select Data_Mov_Cont, TipoCliFor, CodCliFor, Tipo_Documento, "
                           "Numero_Documento, Totale_Mov_Cont from MOV_CONT where Stato_PArtita is null"));
        items.exec();
        while (items.next()) {
            const QList<Value> keys{items.value(0), items.value(1), items.value(2), items.value(3),
                                    items.value(4)};
            if (refusedByWriter(keys)) {
                v.refusedItems << QStringLiteral("%1 %2 %3 documento %4 n. \"%5\" totale %6")
                                      .arg(shown(keys[0]), shown(keys[1]), shown(keys[2]), shown(keys[3]),
                                           shown(keys[4]), shown(items.value(5)));
                continue;
            }
            PartyLine& p = parties[partyKey(keys[1], keys[2])];
            p.tipo = shown(keys[1]);
            p.codice = shown(keys[2]);
            ++p.expectedCount;
            p.expectedTotal += numberOrZero(items.value(5));
            ++expectedCount;
            expectedTotal += numberOrZero(items.value(5));
        }
    }
    qint64 carriedCount = 0;
    double carriedTotal = 0;
    {
        Query carried(newDb, QStringLiteral("select TipoCliFor, CodCLIFOR, Totale_Mov_Cont from MOV_CONT"));
        carried.exec();
        while (carried.next()) {
            PartyLine& p = parties[partyKey(carried.value(0), carried.value(1))];
            p.tipo = shown(carried.value(0));
            p.codice = shown(carried.value(1));
            ++p.carriedCount;
            p.carriedTotal += numberOrZero(carried.value(2));
            ++carriedCount;
            carriedTotal += numberOrZero(carried.value(2));
        }
    }
    v.parties = parties.values();
    for (const PartyLine& p : std::as_const(v.parties))
        if (!p.ok())
            v.findings << Finding{
                Finding::Kind::Mismatch, area,
                QStringLiteral("Cliente/fornitore %1 %2: %3 partite per %4 nel 2023, %5 per %6 nel 2024")
                    .arg(p.tipo, p.codice)
                    .arg(p.expectedCount)
                    .arg(number(p.expectedTotal))
                    .arg(p.carriedCount)
                    .arg(number(p.carriedTotal))};
    for (const QString& item : std::as_const(v.refusedItems))
        v.findings << Finding{Finding::Kind::Warning, area,
                              QStringLiteral("Partita non riportata (dati chiave mancanti): ") + item};
    v.checks << CheckLine{area, QStringLiteral("Numero di partite aperte riportate"),
                          QString::number(expectedCount), QString::number(carriedCount),
                          expectedCount == carriedCount};
    v.checks << CheckLine{area, QStringLiteral("Totale delle partite aperte riportate"),
                          number(expectedTotal), number(carriedTotal),
                          sameAmount(expectedTotal, carriedTotal)};
}

void checkCounters(Connection& newDb, CompanyVerification& v)
{
    const QString area = QStringLiteral("Contatori");
    const qint64 opening =
        countRows(newDb, QStringLiteral("MOV_MAG"), QStringLiteral(" where TipoMov='RIAPERTURA'"));
    const qint64 accounting = countRows(newDb, QStringLiteral("MOV_CONT"));
    Query counters(newDb, QStringLiteral("select * from CONTATORI order by rowid"));
    counters.exec();
    if (!counters.next()) {
        v.findings << Finding{Finding::Kind::Mismatch, area, QStringLiteral("La tabella CONTATORI è vuota")};
        return;
    }
    for (const QString& field : schema::counterFields()) {
        qint64 expected = 0;
        if (field.compare(QLatin1String("Progr_Mov_Mag"), Qt::CaseInsensitive) == 0)
            expected = opening;
        else if (field.compare(QLatin1String("Progr_Mov_Cont"), Qt::CaseInsensitive) == 0)
            expected = accounting;
        const Value value = counters.value(field);
        const double found = numberOrZero(value);
        const bool ok = found == double(expected);
        if (!ok || expected != 0)
            v.checks << CheckLine{area, field, QString::number(expected), shown(value), ok};
        if (!ok)
            v.findings << Finding{
                Finding::Kind::Mismatch, area,
                QStringLiteral("%1 vale %2, atteso %3").arg(field, shown(value)).arg(expected)};
    }
}

void checkEmptied(Connection& newDb, CompanyVerification& v)
{
    const QString area = QStringLiteral("Archivio");
    auto exists = [&newDb](const QString& t) {
        return gEsistenza_Tabella(&newDb, Value(t));
    };
    auto expectEmpty = [&](const QString& table, const QString& where, const QString& what) {
        if (!exists(table))
            return;
        const qint64 n = countRows(newDb, table, where);
        v.checks << CheckLine{area, what, QStringLiteral("0"), QString::number(n), n == 0};
        if (n != 0)
            v.findings << Finding{Finding::Kind::Mismatch, area,
                                  QStringLiteral("%1: %2 righe rimaste").arg(what).arg(n)};
    };
    expectEmpty(QStringLiteral("MOV_MAG"), QStringLiteral(" where TipoMov<>'RIAPERTURA' or TipoMov is null"),
                QStringLiteral("MOV_MAG oltre ai movimenti RIAPERTURA"));
    for (const char* t : {"MOV_IVA", "MOV_PROVV", "MOV_TRASP"})
        expectEmpty(QLatin1String(t), QString(), QLatin1String(t));
    if (!exists(QStringLiteral("CAUSALI")))
        return;
    QStringList documents;
    {
        Query causali(
            newDb, QStringLiteral("select Nome_Tabella_Archiviazione_dati_documento as tabella from CAUSALI "
                                  "where Attivazione_causale=true"));
        causali.exec();
        while (causali.next()) {
            const Value t = causali.value(0);
            if (isNull(t))
                continue;
            const QString name = trimBlanks(textOf(t));
            if (name != QLatin1String("DISTINTA_BASE") && name != QLatin1String("LISTINO_AUTO_1") &&
                !documents.contains(name))
                documents << name;
        }
    }
    for (const QString& name : std::as_const(documents)) {
        expectEmpty(QStringLiteral("T_") + name, QString(), QStringLiteral("T_") + name);
        expectEmpty(QStringLiteral("C_") + name, QString(), QStringLiteral("C_") + name);
    }
}

QString companyName(Connection& oldDb, int slot)
{
    Query q(oldDb,
            QStringLiteral("select Ragione_Sociale1 from AZIENDE where ID_Azienda='Azienda_%1'").arg(slot));
    q.exec();
    const QString name = q.next() && !isNull(q.value(0)) ? textOf(q.value(0)) : QString();
    q.finish();
    return name;
}

} // namespace

bool PartyLine::ok() const
{
    return expectedCount == carriedCount && sameAmount(expectedTotal, carriedTotal);
}

int CompanyVerification::mismatches() const
{
    return int(std::count_if(findings.begin(), findings.end(),
                             [](const Finding& f) { return f.kind == Finding::Kind::Mismatch; }));
}

int CompanyVerification::warnings() const
{
    return int(findings.size()) - mismatches();
}

int VerificationReport::mismatches() const
{
    int n = 0;
    for (const auto& c : companies)
        n += c.mismatches();
    return n;
}

int VerificationReport::warnings() const
{
    int n = 0;
    for (const auto& c : companies)
        n += c.warnings();
    return n;
}

CompanyVerification verifyCompany(Connection& oldArchive, Connection& newArchive, int slot, bool initialised)
{
    CompanyVerification v;
    v.slot = slot;
    v.name = companyName(oldArchive, slot);
    if (!initialised) {
        v.findings << Finding{
            Finding::Kind::Mismatch, QStringLiteral("Archivio"),
            QStringLiteral("Il nuovo archivio non è stato inizializzato: nessun movimento creato")};
        return v;
    }
    checkStock(oldArchive, newArchive, v);
    checkOpenItems(oldArchive, newArchive, v);
    checkCounters(newArchive, v);
    checkEmptied(newArchive, v);
    return v;
}

VerificationReport verifyYearOpening(RunContext& ctx, QString* reportPath)
{
    RunState& state = ctx.state();
    VerificationReport report;
    for (int slot : std::as_const(state.record.companies)) {
        // A company's check reads whole tables: the window repaints between two.
        ctx.yield();
        const QString numero = layout::companyFolderName(slot);
        try {
            Connection oldDb;
            oldDb.open(layout::archiveConnectionString(
                layout::archivePath(state.PercorsoBase, numero, layout::AnnoInCorso),
                state.PercorsoSystemMdw));
            Connection newDb;
            newDb.open(layout::archiveConnectionString(
                layout::archivePath(state.PercorsoBase, numero, layout::AnnoDaAprire),
                state.PercorsoSystemMdw));
            report.companies << verifyCompany(oldDb, newDb, slot, state.record.initialised.contains(slot));
        } catch (const Error& e) {
            CompanyVerification v;
            v.slot = slot;
            v.findings << Finding{
                Finding::Kind::Mismatch, QStringLiteral("Archivio"),
                QStringLiteral("Verifica non eseguita: errore %1 (%2)").arg(e.number()).arg(e.description())};
            report.companies << v;
        }
    }

    const QString path = state.PercorsoBase + QStringLiteral("dati\\tmp\\verifica_Riapertura_") +
                         QString::number(layout::AnnoDaAprire) + QLatin1Char('_') +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss")) +
                         QStringLiteral(".html");
    QFile file(fs::hostPath(path));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(report.html(state).toUtf8()) >= 0) {
        file.close();
        if (reportPath)
            *reportPath = path;
    } else {
        ctx.addEventLine(QStringLiteral("Rapporto di verifica non scritto: ") + path);
        if (reportPath)
            reportPath->clear();
    }
    if (report.mismatches() > 0)
        ctx.markError();
    return report;
}

} // namespace rio
