// The stock comparison inside the engine: the new year's archive attached to
// the old year's, the articles of both years joined in one statement with
// their opening quantities, the movements followed in number order beside
// the articles. Nothing is held per article: only what differs.
#include "run/verification_stock_engine.h"

#include "data/error.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <iterator>
#include <limits>
#include <optional>

namespace rio::verification {

namespace {

// The schema name of the new year's archive on the old year's connection.
constexpr auto New = "nuovo";

const char* const StockColumns[5] = {"Giacenza1", "giacenza2", "giacenza3", "giacenza4", "giacenza5"};

// Looks the columns up; false when one is absent (the reading row by row
// then raises what it raises).
bool typeOf(const TableSchema& schema, const char* column, ColumnType& type)
{
    const ColumnInfo* info = schema.find(QLatin1String(column));
    if (info)
        type = info->type;
    return info != nullptr;
}

bool articleTypes(Connection& c, ArticleTypes& types)
{
    const TableSchema& schema = c.schema(QStringLiteral("ANAG_ART"));
    bool all = typeOf(schema, "CodArt", types.code) && typeOf(schema, "DescrArt", types.description);
    for (int d = 0; d < 5; ++d)
        all = all && typeOf(schema, StockColumns[d], types.stock[d]);
    return all;
}

// The types, or nothing where the engine's reading cannot stand for Query's:
// a column absent, or codes in a Date column (Query reads them as dates, and
// the statements match codes as the file holds them).
std::optional<StockTypes> declaredTypes(Connection& oldDb, Connection& newDb)
{
    try {
        StockTypes t;
        ColumnType tipoMov = ColumnType::Other;
        const TableSchema& moves = newDb.schema(QStringLiteral("MOV_MAG"));
        if (!articleTypes(oldDb, t.old) || !articleTypes(newDb, t.carried) ||
            !typeOf(moves, "Progr_Mov_Mag", t.number) || !typeOf(moves, "CodArt", t.code) ||
            !typeOf(moves, "DEP", t.dep) || !typeOf(moves, "Qta", t.quantity) ||
            !typeOf(moves, "TipoMov", tipoMov))
            return std::nullopt;
        if (t.old.code == ColumnType::Date || t.code == ColumnType::Date)
            return std::nullopt;
        return t;
    } catch (const Error&) {
        return std::nullopt;
    }
}

QString stockList(const char* alias)
{
    QStringList columns;
    for (const char* column : StockColumns)
        columns << QStringLiteral("%1.%2").arg(QLatin1String(alias), QLatin1String(column));
    return columns.join(QStringLiteral(", "));
}

// The article counts, and whether the statements below match codes as the
// steps' reading would: every old year's code and every opening movement's code a
// text (no Null, number or blob), and no new article without its old row.
struct Survey
{
    qint64 oldCount = 0;
    qint64 newCount = 0;
    bool fits = false;
};

Survey survey(Connection& oldDb)
{
    EngineRows q(
        oldDb,
        QStringLiteral("select (select count(*) from main.ANAG_ART), (select count(*) from nuovo.ANAG_ART), "
                       "(select count(*) from main.ANAG_ART where CodArt is null or CodArt < '' or "
                       "CodArt >= x'') + (select count(*) from nuovo.MOV_MAG where (CodArt is null or "
                       "CodArt < '' or CodArt >= x'') and TipoMov = 'RIAPERTURA') + "
                       // Old rows numbered 1 to their count, as a file without
                       // deletions has them: a new row without its old one lies
                       // outside, found without looking each row up.
                       "(select case when (select min(rowid) from main.ANAG_ART) = 1 and "
                       "(select max(rowid) from main.ANAG_ART) = (select count(*) from main.ANAG_ART) "
                       "then (select count(*) from nuovo.ANAG_ART where rowid < 1 or rowid > "
                       "(select max(rowid) from main.ANAG_ART)) "
                       "else (select count(*) from nuovo.ANAG_ART n where not exists "
                       "(select 1 from main.ANAG_ART o where o.rowid = n.rowid)) end)"));
    q.exec();
    q.next();
    Survey s;
    s.oldCount = q.integer(0);
    s.newCount = q.integer(1);
    s.fits = q.integer(2) == 0;
    q.finish();
    return s;
}

// The old year's codes that share their matchKey with another, in rowid order,
// found through the index of codes: a code without blanks around shares it
// only with codes equal but for case, or with codes that have blanks. Nothing
// when two articles have the very same code (each would show the other's
// opening quantities otherwise than the reading row by row does).
std::optional<CodesByKey> twinCodes(Connection& oldDb)
{
    EngineRows q(
        oldDb,
        QStringLiteral("with blanks as (select rowid as r, CodArt as c from main.ANAG_ART where "
                       "CodArt like ' %' or CodArt like '% '), "
                       "keys as (select upper(trim(CodArt, ' ')) as k from (select CodArt from "
                       "main.ANAG_ART group by CodArt having count(*) > 1) union select upper(trim(c, ' ')) "
                       "from blanks), "
                       "members as (select a.rowid as r, a.CodArt as c, keys.k as k from keys join "
                       "main.ANAG_ART a on a.CodArt = keys.k union select r, c, upper(trim(c, ' ')) from "
                       "blanks) "
                       "select c from members where k in (select k from members group by k having "
                       "count(*) > 1) order by r"));
    q.exec();
    CodesByKey codes;
    while (q.next()) {
        const QString code = q.text(0);
        QStringList& same = codes[matchKey(code)];
        if (same.contains(code))
            return std::nullopt;
        same << code;
    }
    return codes;
}

// The articles' statement: every old year's article with something to show or
// compare (a stock to carry, an opening movement, a new stock), its new
// row by rowid and, a row each, the opening movements of its exact code;
// without them when they are read beside the articles.
QString articlesSql(bool withMovements)
{
    QStringList anyStock{QStringLiteral("coalesce(o.Giacenza1, 0) <> 0"),
                         QStringLiteral("coalesce(o.giacenza2, 0) <> 0")};
    if (withMovements)
        anyStock << QStringLiteral("m.rowid is not null");
    for (const char* column : StockColumns)
        anyStock << QStringLiteral("coalesce(n.%1, 0) <> 0").arg(QLatin1String(column));
    return QStringLiteral(
               "select o.rowid, o.CodArt, o.DescrArt, %1, n.rowid, n.CodArt, n.DescrArt, %2%3 from "
               "main.ANAG_ART o left join nuovo.ANAG_ART n on n.rowid = o.rowid%4 where %5 order by "
               "o.rowid")
        .arg(stockList("o"), stockList("n"), withMovements ? QStringLiteral(", m.DEP, m.Qta") : QString(),
             withMovements
                 ? QStringLiteral(" left join nuovo.MOV_MAG m on m.CodArt = o.CodArt and m.CodArt = "
                                  "o.CodArt collate binary and m.TipoMov = 'RIAPERTURA'")
                 : QString(),
             anyStock.join(QStringLiteral(" or ")));
}

// Reads a text column into `into`, giving its bytes where textView has them.
QByteArrayView readText(const EngineRows& q, int column, ColumnType type, QString& into)
{
    const QByteArrayView bytes = textView(q, column, type);
    if (bytes.data())
        EngineRows::textInto(bytes, into);
    else
        into = textAt(q, column, type);
    return bytes;
}

// An article's code and description as the file holds them, where they are
// texts: the new year's most often the old year's own bytes.
struct ArticleBytes
{
    QByteArrayView code;
    QByteArrayView description;
};

// Reads an article's columns from `first` on: rowid, code, description,
// the five stocks.
ArticleBytes readArticle(const EngineRows& q, int first, const ArticleTypes& types, ArticleRow& row)
{
    row.rowid = q.integer(first);
    ArticleBytes bytes;
    bytes.code = readText(q, first + 1, types.code, row.code);
    bytes.description = readText(q, first + 2, types.description, row.description);
    for (int d = 0; d < 5; ++d)
        row.stock[d] = numberAt(q, first + 3 + d, types.stock[d]);
    return bytes;
}

// A text of the new year's article: the old year's own text where the bytes
// are the same.
void readCarriedText(const EngineRows& q, int column, ColumnType type, QByteArrayView oldBytes,
                     const QString& oldText, QString& into)
{
    const QByteArrayView bytes = textView(q, column, type);
    if (bytes.data() && oldBytes.data() && bytes == oldBytes)
        into = oldText;
    else if (bytes.data())
        EngineRows::textInto(bytes, into);
    else
        into = textAt(q, column, type);
}

// The same for the new year's article, sharing the old year's texts.
void readCarried(const EngineRows& q, int first, const ArticleTypes& types, const ArticleRow& old,
                 const ArticleBytes& oldBytes, ArticleRow& row)
{
    row.rowid = q.integer(first);
    readCarriedText(q, first + 1, types.code, oldBytes.code, old.code, row.code);
    readCarriedText(q, first + 2, types.description, oldBytes.description, old.description, row.description);
    for (int d = 0; d < 5; ++d)
        row.stock[d] = numberAt(q, first + 3 + d, types.stock[d]);
}

} // namespace

bool checkStockInEngine(Connection& oldDb, Connection& newDb, CompanyVerification& v,
                        const SpreadsheetRows& rows)
{
    if (!AttachedArchive::possible(oldDb, newDb))
        return false;
    const std::optional<StockTypes> types = declaredTypes(oldDb, newDb);
    if (!types)
        return false;
    const AttachedArchive attached(oldDb, newDb, QLatin1String(New));
    const Survey counts = survey(oldDb);
    if (!counts.fits)
        return false;
    const std::optional<CodesByKey> codes = twinCodes(oldDb);
    if (!codes)
        return false;
    MovementResult movements = checkMovements(oldDb, *types, false);
    if (!movements.ordered)
        movements = checkMovements(oldDb, *types, true);
    if (!movements.ordered)
        return false; // numbers the engine and the reading order apart

    // Each code is one article's: its quantities are shown with it. Where
    // the movements went with their articles, they are read beside them in
    // rowid order rather than looked up by code for each article.
    double opening[5] = {};
    StockPass pass(*codes, v, rows, [&opening](const QString&, int warehouse) { return opening[warehouse]; });
    ArticleRow old;
    ArticleRow carried;
    const bool beside = movements.besideTheirArticles;
    std::optional<EngineRows> besideRows;
    if (beside) {
        besideRows.emplace(oldDb, QStringLiteral("select CodArt, DEP, Qta from nuovo.MOV_MAG where TipoMov = "
                                                 "'RIAPERTURA' order by rowid"));
        besideRows->exec();
    }
    bool moreBeside = beside && besideRows->next();
    EngineRows q(oldDb, articlesSql(!beside));
    q.exec();
    bool more = q.next();
    while (more) {
        // The old year's texts are read into their own room again once
        // nothing shares them.
        carried.code.clear();
        carried.description.clear();
        const ArticleBytes oldBytes = readArticle(q, 0, types->old, old);
        const bool hasCarried = !q.isNull(8);
        if (hasCarried)
            readCarried(q, 8, types->carried, old, oldBytes, carried);
        std::fill(std::begin(opening), std::end(opening), 0.0);
        // The opening movements of the article's code, summed per warehouse
        // as they come: beside it, or a row each of its own.
        if (beside) {
            while (moreBeside && oldBytes.code.data()) {
                const QByteArrayView head = textView(*besideRows, 0, types->code);
                if (!head.data() || head != oldBytes.code)
                    break;
                const int warehouse = warehouseAt(*besideRows, 1, types->dep);
                if (warehouse >= 0)
                    opening[warehouse] += numberAt(*besideRows, 2, types->quantity);
                moreBeside = besideRows->next();
            }
            more = q.next();
        } else {
            do {
                const int warehouse = warehouseAt(q, 16, types->dep);
                if (warehouse >= 0)
                    opening[warehouse] += numberAt(q, 17, types->quantity);
                more = q.next();
            } while (more && q.integer(0) == old.rowid);
        }
        pass.article(&old, hasCarried ? &carried : nullptr);
    }
    pass.oldCount = counts.oldCount;
    pass.newCount = counts.newCount;
    pass.finish(v, movements.moves, movements.numbers, movements.extra);
    return true;
}

} // namespace rio::verification
