// The stock comparison inside the engine: the new year's archive attached to
// the old year's, the articles of both years and their opening quantities joined
// in one statement, the movements followed in number order beside the
// articles. Nothing is held per article: only what differs.
#include "run/verification_stock.h"

#include "data/engine_read.h"
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

// The declared types of what the comparison reads, by which Query would
// convert each value.
struct ArticleTypes
{
    ColumnType code = ColumnType::Other;
    ColumnType description = ColumnType::Other;
    ColumnType stock[5] = {};
};

struct Types
{
    ArticleTypes old;
    ArticleTypes carried;
    ColumnType number = ColumnType::Other; // MOV_MAG: Progr_Mov_Mag, CodArt, DEP, Qta
    ColumnType code = ColumnType::Other;
    ColumnType dep = ColumnType::Other;
    ColumnType quantity = ColumnType::Other;
};

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
std::optional<Types> declaredTypes(Connection& oldDb, Connection& newDb)
{
    try {
        Types t;
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

// A column read as a number, Null as 0, as Query and numberOrZero give it.
double numberAt(const EngineRows& q, int column, ColumnType type)
{
    switch (q.stored(column)) {
    case EngineRows::Stored::Null:
        return 0;
    case EngineRows::Stored::Number:
        if (type != ColumnType::Boolean)
            return q.number(column);
        break;
    default:
        break;
    }
    return numberOrZero(q.value(column, type));
}

// A column read as text, Null as empty, as Query and textOrEmpty give it.
QString textAt(const EngineRows& q, int column, ColumnType type)
{
    switch (q.stored(column)) {
    case EngineRows::Stored::Null:
        return QString();
    case EngineRows::Stored::Text:
        if (type != ColumnType::Date)
            return q.text(column);
        break;
    default:
        break;
    }
    return textOrEmpty(q.value(column, type));
}

// The same into `into`, reusing its room: for the texts read on every row.
void readTextAt(const EngineRows& q, int column, ColumnType type, QString& into)
{
    if (q.stored(column) == EngineRows::Stored::Text && type != ColumnType::Date)
        q.readText(column, into);
    else
        into = textAt(q, column, type);
}

// The warehouse "01" to "05" a column names, from 0; -1 for any other text.
int warehouseAt(const EngineRows& q, int column, ColumnType type)
{
    const EngineRows::Stored stored = q.stored(column);
    if (stored == EngineRows::Stored::Text && type != ColumnType::Date) {
        const QByteArrayView dep = q.utf8(column);
        return dep.size() == 2 && dep[0] == '0' && dep[1] >= '1' && dep[1] <= '5' ? dep[1] - '1' : -1;
    }
    if (stored == EngineRows::Stored::Null)
        return -1;
    const QString dep = textAt(q, column, type);
    return dep.size() == 2 && dep.at(0) == u'0' && dep.at(1) >= u'1' && dep.at(1) <= u'5'
               ? dep.at(1).unicode() - u'1'
               : -1;
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
                       "(select count(*) from nuovo.ANAG_ART n where not exists "
                       "(select 1 from main.ANAG_ART o where o.rowid = n.rowid))"));
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

// The opening movements in number order, each number once (the last row of
// a number wins, as a later row replaces an earlier one when they are read
// into a table by number). Read in rowid order, which is number order as
// the run writes them; when a number goes down, ordered() says so.
class MovementCursor
{
public:
    MovementCursor(Connection& oldDb, const Types& types, bool sorted)
        : m_rows(oldDb, QStringLiteral("select Progr_Mov_Mag, CodArt, DEP, Qta from nuovo.MOV_MAG where "
                                       "TipoMov = 'RIAPERTURA' order by ") +
                            (sorted ? QStringLiteral("cast(coalesce(Progr_Mov_Mag, 0) as integer), rowid")
                                    : QStringLiteral("rowid"))),
          m_types(types)
    {
        m_rows.exec();
        advance();
    }

    // The movement numbered `number`; asked with 0, 1, 2, ... in turn.
    const OpeningMovement* at(qint64 number)
    {
        while (m_pending && m_number < number)
            take();
        if (!m_pending || m_number != number)
            return nullptr;
        take();
        return &m_current;
    }

    // Reads the numbers left once expected, the count of movements to
    // expect, is known.
    void drain(qint64 expected)
    {
        m_limit = expected;
        while (m_pending)
            take();
    }

    bool ordered() const { return m_ordered; }
    // How many distinct numbers the movements carry, and how many of them
    // lie outside 0 .. expected-1.
    qint64 numbers() const { return m_numbers; }
    qint64 extra() const { return m_extra; }

private:
    void advance()
    {
        m_pending = m_rows.next();
        if (m_pending)
            m_number = qint64(numberAt(m_rows, 0, m_types.number));
    }

    // Moves past the run of rows of the current number, keeping its last.
    void take()
    {
        const qint64 number = m_number;
        do {
            const int warehouse = warehouseAt(m_rows, 2, m_types.dep);
            m_current.dep = warehouse >= 0 ? warehouseName(warehouse) : textAt(m_rows, 2, m_types.dep);
            readTextAt(m_rows, 1, m_types.code, m_current.code);
            m_current.qta = numberAt(m_rows, 3, m_types.quantity);
            advance();
        } while (m_pending && m_number == number);
        if (m_pending && m_number < number)
            m_ordered = false;
        ++m_numbers;
        // While numbers are asked, the one taken is at most the one asked,
        // below the count to expect.
        if (number < 0 || number >= m_limit)
            ++m_extra;
    }

    EngineRows m_rows;
    const Types& m_types;
    bool m_pending = false;
    qint64 m_number = 0;
    bool m_ordered = true;
    OpeningMovement m_current;
    qint64 m_numbers = 0;
    qint64 m_extra = 0;
    qint64 m_limit = std::numeric_limits<qint64>::max();
};

// The movement check: the old year's articles with a stock to carry, in rowid
// order, beside the movements in number order. Nothing in v changes until
// it is finished.
struct MovementResult
{
    MovementCheck moves;
    qint64 numbers = 0;
    qint64 extra = 0;
    bool ordered = true;
};

MovementResult checkMovements(Connection& oldDb, const Types& types, bool sorted)
{
    MovementCursor cursor(oldDb, types, sorted);
    // Asked only while the articles are read below.
    MovementCheck moves([&cursor](qint64 number) { return cursor.at(number); });
    // Every article whose 01 or 02 may not be 0 (a text in a number column
    // is not 0 to the engine): the check decides.
    EngineRows articles(oldDb, QStringLiteral("select CodArt, Giacenza1, giacenza2 from main.ANAG_ART where "
                                              "coalesce(Giacenza1, 0) <> 0 or coalesce(giacenza2, 0) <> 0 "
                                              "order by rowid"));
    articles.exec();
    ArticleRow row;
    while (cursor.ordered() && articles.next()) {
        readTextAt(articles, 0, types.old.code, row.code);
        for (int d = 0; d < 2; ++d)
            row.stock[d] = numberAt(articles, d + 1, types.old.stock[d]);
        moves.oldArticle(row);
    }
    articles.finish();
    cursor.drain(moves.expected());
    return {std::move(moves), cursor.numbers(), cursor.extra(), cursor.ordered()};
}

// The articles' statement: every old year's article with something to show or
// compare (a stock to carry, an opening movement, a new stock), its new
// row by rowid and, a row each, the opening movements of its exact code.
QString articlesSql()
{
    QStringList anyStock{QStringLiteral("coalesce(o.Giacenza1, 0) <> 0"),
                         QStringLiteral("coalesce(o.giacenza2, 0) <> 0"),
                         QStringLiteral("m.rowid is not null")};
    for (const char* column : StockColumns)
        anyStock << QStringLiteral("coalesce(n.%1, 0) <> 0").arg(QLatin1String(column));
    return QStringLiteral(
               "select o.rowid, o.CodArt, o.DescrArt, %1, n.rowid, n.CodArt, n.DescrArt, %2, m.DEP, "
               "m.Qta from main.ANAG_ART o left join nuovo.ANAG_ART n on n.rowid = o.rowid "
               "left join nuovo.MOV_MAG m on m.CodArt = o.CodArt and m.CodArt = o.CodArt collate "
               "binary and m.TipoMov = 'RIAPERTURA' where %3 order by o.rowid")
        .arg(stockList("o"), stockList("n"), anyStock.join(QStringLiteral(" or ")));
}

// Reads an article's columns from `first` on: rowid, code, description,
// the five stocks.
void readArticle(const EngineRows& q, int first, const ArticleTypes& types, ArticleRow& row)
{
    row.rowid = q.integer(first);
    readTextAt(q, first + 1, types.code, row.code);
    readTextAt(q, first + 2, types.description, row.description);
    for (int d = 0; d < 5; ++d)
        row.stock[d] = numberAt(q, first + 3 + d, types.stock[d]);
}

// The same for the new year's article, whose code and description are most
// often the old year's own bytes: then it shares the old year's texts.
void readCarried(const EngineRows& q, int first, const Types& types, const ArticleRow& old, ArticleRow& row)
{
    const bool textTypes = types.carried.code != ColumnType::Date && types.old.code != ColumnType::Date &&
                           types.carried.description != ColumnType::Date &&
                           types.old.description != ColumnType::Date;
    row.rowid = q.integer(first);
    if (textTypes && q.sameText(first + 1, 1))
        row.code = old.code;
    else
        readTextAt(q, first + 1, types.carried.code, row.code);
    if (textTypes && q.sameText(first + 2, 2))
        row.description = old.description;
    else
        readTextAt(q, first + 2, types.carried.description, row.description);
    for (int d = 0; d < 5; ++d)
        row.stock[d] = numberAt(q, first + 3 + d, types.carried.stock[d]);
}

} // namespace

bool checkStockInEngine(Connection& oldDb, Connection& newDb, CompanyVerification& v,
                        const SpreadsheetRows& rows)
{
    if (!AttachedArchive::possible(oldDb, newDb))
        return false;
    const std::optional<Types> types = declaredTypes(oldDb, newDb);
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

    // Each code is one article's: its quantities are shown with it.
    double opening[5] = {};
    StockPass pass(*codes, v, rows, [&opening](const QString&, int warehouse) { return opening[warehouse]; });
    ArticleRow old;
    ArticleRow carried;
    EngineRows q(oldDb, articlesSql());
    q.exec();
    bool more = q.next();
    while (more) {
        // The old year's texts are read into their own room again once
        // nothing shares them.
        carried.code.clear();
        carried.description.clear();
        readArticle(q, 0, types->old, old);
        const bool hasCarried = !q.isNull(8);
        if (hasCarried)
            readCarried(q, 8, *types, old, carried);
        std::fill(std::begin(opening), std::end(opening), 0.0);
        // The opening movements of the article's code, a row each: summed
        // per warehouse as they come.
        do {
            const int warehouse = warehouseAt(q, 16, types->dep);
            if (warehouse >= 0)
                opening[warehouse] += numberAt(q, 17, types->quantity);
            more = q.next();
        } while (more && q.integer(0) == old.rowid);
        pass.article(&old, hasCarried ? &carried : nullptr);
    }
    pass.oldCount = counts.oldCount;
    pass.newCount = counts.newCount;
    pass.finish(v, movements.moves, movements.numbers, movements.extra);
    return true;
}

} // namespace rio::verification
