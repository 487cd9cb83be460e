#include "warehouse/ripristino_magazzino.h"

#include "context/run_context.h"
#include "data/batch_commit.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/value.h"

#include <QSet>

#include <algorithm>
#include <optional>
#include <vector>

namespace rio {

namespace {

const QStringList& stockFields()
{
    static const QStringList fields{QStringLiteral("Giacenza1"), QStringLiteral("giacenza2"),
                                    QStringLiteral("giacenza3"), QStringLiteral("giacenza4"),
                                    QStringLiteral("giacenza5")};
    return fields;
}

struct Article
{
    qint64 rowid = 0;
    Value code;
    Value description;
};

const QString ArticlesSql = QStringLiteral("select rowid, CodArt, DescrArt from ANAG_ART order by CodArt");

std::vector<Article> readArticles(RunContext& ctx, Connection& db)
{
    std::vector<Article> articles;
    Query q(db, ArticlesSql);
    q.exec();
    while (q.next()) {
        ctx.yield();
        articles.push_back({q.value(0).toLongLong(), q.value(1), q.value(2)});
    }
    return articles;
}

ArticleRows rowsByKey(const std::vector<Article>& articles)
{
    ArticleRows rows;
    for (const Article& a : articles)
        rows.add(a.rowid, a.code, a.description);
    return rows;
}

} // namespace

QString articleKey(const QString& articleCode)
{
    return asciiUpper(trimBlanks(articleCode));
}

void ArticleRows::add(qint64 rowid, const Value& code, const Value& description)
{
    if (isNull(code))
        return;
    const QString key = asciiUpper(textOf(code));
    auto it = m_rows.find(key);
    if (it == m_rows.end() || rowid < it->rowid)
        m_rows.insert(key, {rowid, textOrEmpty(description)});
}

const ArticleRows::Row* ArticleRows::rowFor(const Value& code) const
{
    const auto row = m_rows.constFind(articleKey(textOf(code)));
    return row == m_rows.constEnd() ? nullptr : &*row;
}

ArticleCodeReview reviewArticleCodes(Connection& Db)
{
    std::vector<Article> articles;
    {
        Query q(Db, ArticlesSql);
        q.exec();
        while (q.next())
            articles.push_back({q.value(0).toLongLong(), q.value(1), Value()});
    }
    const ArticleRows rows = rowsByKey(articles);
    ArticleCodeReview review;
    review.articles = qint64(articles.size());
    QHash<qint64, QString> codeOfRow;
    std::optional<qint64> firstNullRowid;
    for (const Article& a : articles) {
        if (isNull(a.code)) {
            ++review.withoutCode;
            firstNullRowid = std::min(firstNullRowid.value_or(a.rowid), a.rowid);
        } else {
            codeOfRow.insert(a.rowid, textOf(a.code));
        }
    }
    if (firstNullRowid)
        review.firstWithoutCode = std::count_if(articles.begin(), articles.end(),
                                                [&](const Article& a) { return a.rowid <= *firstNullRowid; });
    QSet<QString> askedFor; // the keys the recomputation looks the sums up by
    for (const Article& a : articles) {
        if (isNull(a.code))
            continue;
        const QString code = textOf(a.code);
        const ArticleRows::Row* row = rows.rowFor(a.code);
        if (!row)
            review.skipped << code;
        else if (row->rowid != a.rowid)
            review.twins << std::pair(code, codeOfRow.value(row->rowid));
        if (row)
            askedFor.insert(articleKey(code));
    }
    const QHash<QString, WarehouseStocks> sums = LEGGO_MOVIMENTI(Db, {}, &review.movementsWithoutCode);
    for (auto it = sums.keyBegin(); it != sums.keyEnd(); ++it)
        if (!askedFor.contains(*it))
            review.unmatchedMovementCodes << *it;
    review.unmatchedMovementCodes.sort();
    return review;
}

QHash<QString, WarehouseStocks> LEGGO_MOVIMENTI(Connection& Db, const std::function<void()>& yield,
                                                qint64* withoutCode)
{
    // One pass over the table in file order, summed here: the engine's
    // grouping would walk the (CodArt, Dep) index and look every movement up
    // in the table, several times slower on movements entered day by day.
    // Within a code and warehouse the quantities add in rowid order, the
    // order the index holds them in, so every sum keeps its last bit; the
    // cast reads a quantity as sum() reads it.
    QHash<QString, WarehouseStocks> sums;
    Query q(Db, QStringLiteral("select CodArt, Dep, cast(Qta as real) from MOV_MAG "
                               "where Dep in ('01','02','03','04','05') order by rowid"));
    q.exec();
    while (q.next()) {
        if (yield)
            yield();
        const Value code = q.value(0);
        const Value warehouseCode = q.value(1);
        const Value quantity = q.value(2);
        if (isNull(code) || isNull(warehouseCode) || isNull(quantity)) {
            if (withoutCode && isNull(code) && !isNull(warehouseCode) && !isNull(quantity))
                ++*withoutCode;
            continue;
        }
        const int warehouse = textOf(warehouseCode).toInt();
        if (warehouse < 1 || warehouse > 5)
            continue;
        const QString key = asciiUpper(textOf(code));
        auto it = sums.find(key);
        if (it == sums.end())
            it = sums.insert(key, WarehouseStocks{});
        (*it)[warehouse - 1] += numberOf(quantity);
    }
    return sums;
}

void RIPRISTINA_MAGAZZINO(RunContext& ctx, Connection& Db, const QString& Numero_Azienda)
{
    Q_UNUSED(Numero_Azienda);
    ctx.host().showBusy(true);

    const std::vector<Article> articles = readArticles(ctx, Db);
    if (articles.empty()) {
        ctx.message(QStringLiteral("Nessun Movimento trovato!"), Buttons::Ok, Icon::Exclamation,
                    QStringLiteral("Ventor"));
        ctx.host().showBusy(false);
        return;
    }

    const ArticleRows rows = rowsByKey(articles);
    const QHash<QString, WarehouseStocks> sums = LEGGO_MOVIMENTI(Db, [&ctx] { ctx.yield(); });

    RowUpdater stockUpdater(Db, QStringLiteral("ANAG_ART"), stockFields());
    std::optional<Error> lostBatch; // the last batch's commit, failed while unwinding
    try {
        BatchCommit commit(Db, &lostBatch);
        QSet<qint64> savedRows;
        struct StockRow
        {
            qint64 rowid;
            WarehouseStocks stocks;
        };
        std::vector<StockRow> pending; // one a row, saved after the captions
        pending.reserve(articles.size());
        qint64 done = 0;
        for (const Article& a : articles) {
            ctx.yield();
            ctx.stepProgress(++done, qint64(articles.size()));
            const QString articleCode = textOf(a.code);
            const QString key = articleKey(articleCode);
            const ArticleRows::Row* row = rows.rowFor(a.code);
            // An article whose row the search does not find (its code has blanks
            // around it and no trimmed twin) gets no caption and nothing written.
            if (!row)
                continue;
            ctx.setProgress(QStringLiteral("Ripristino in corso articolo: ") + articleCode +
                                QStringLiteral(" - ") + row->description,
                            fs::LogFile::Timing::MayWait);
            // Articles with the same key find the same row and would write the
            // same quantities into it again.
            if (savedRows.contains(row->rowid))
                continue;
            pending.push_back({row->rowid, sums.value(key, WarehouseStocks{})});
            savedRows.insert(row->rowid);
        }
        // Written in file order: in code order every batch would touch (and
        // journal, and write back) nearly every page of the table again, so
        // the pages written grew with the square of the articles.
        std::sort(pending.begin(), pending.end(),
                  [](const StockRow& a, const StockRow& b) { return a.rowid < b.rowid; });
        for (const StockRow& p : pending) {
            ctx.yield();
            stockUpdater.update(p.rowid, {p.stocks[0], p.stocks[1], p.stocks[2], p.stocks[3], p.stocks[4]});
            commit.rowWritten();
        }
        ctx.writeHeldLogLines(); // the flow's last lines, before the commit waits for the disk
        commit.finish();
    } catch (const Error& e) {
        if (!lostBatch)
            throw;
        // The step has no handler of its own: the error it raises says both.
        throw Error(e.number(),
                    e.description() +
                        QStringLiteral("; le giacenze scritte dopo l'ultima conferma sono andate perse: ") +
                        lostBatch->description());
    }

    ctx.host().showStageDone(Stage::RipristinoMagazzino, true);
    ctx.host().allowNewRun(true);
}

} // namespace rio
