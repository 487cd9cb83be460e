#include "warehouse/ripristino_magazzino.h"

#include "context/run_context.h"
#include "data/batch_commit.h"
#include "data/database.h"
#include "data/error.h"
#include "data/filesystem.h"
#include "data/value.h"

#include <QScopeGuard>

#include <algorithm>
#include <optional>
#include <string>
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

constexpr qint64 KeptBytes = engineMemory::BudgetBytes / 4;

// The rows the recomputation writes stocks into, by code: a row per code
// letter case aside and blanks counting, the first row of the file
// winning among codes that differ only in case. Read in file order, one
// row at a time: nothing is held per article but its entry.
StockReading readArticleKeys(Connection& db, const std::function<void()>& yield)
{
    StockReading keys;
    Query q(db, QStringLiteral("select rowid, CodArt from ANAG_ART order by rowid"));
    q.exec();
    QByteArray key;
    while (q.next()) {
        if (yield)
            yield();
        ++keys.articles;
        if (q.isNullAt(1)) {
            ++keys.withoutCode;
            if (keys.firstWithoutCode == 0)
                keys.firstWithoutCode = keys.articles;
            continue;
        }
        keys.table.add(upperKey(q.textAt(1), key), qint64(q.numberAt(0)));
    }
    return keys;
}

// The articles in code order, the order of the program's captions.
const QString ArticlesByCodeSql =
    QStringLiteral("select rowid, CodArt, DescrArt from ANAG_ART order by CodArt");

// One column of one article, for the rare article whose row is another's.
class ArticleColumn
{
public:
    ArticleColumn(Connection& db, const QString& column)
        : m_query(db, QStringLiteral("select %1 from ANAG_ART where rowid = ?").arg(column))
    {
    }
    Value of(qint64 rowid)
    {
        m_query.bind(0, rowid);
        m_query.exec();
        m_query.moveFirst();
        const Value v = m_query.value(0);
        m_query.finish();
        return v;
    }

private:
    Query m_query;
};

// The warehouse of a code "01".."05"; the engine's comparison may have let
// another form of the number through ("1" stored as a number).
int warehouseOf(QByteArrayView code)
{
    if (code.size() == 2 && code[0] == '0' && code[1] >= '1' && code[1] <= '5')
        return code[1] - '0';
    return QString::fromUtf8(code).toInt();
}

} // namespace

QString articleKey(const QString& articleCode)
{
    return asciiUpper(trimBlanks(articleCode));
}

void StockReadings::keep(StockReading reading)
{
    qint64 held = reading.table.bytesHeld();
    for (const auto& kept : m_kept)
        held += kept->table.bytesHeld();
    if (reading.stamp && held <= KeptBytes)
        m_kept.push_back(std::make_unique<StockReading>(std::move(reading)));
}

std::unique_ptr<StockReading> StockReadings::take(Connection& Db)
{
    const std::optional<ArchiveStamp> now = archiveStamp(Db);
    if (!now)
        return nullptr;
    for (auto it = m_kept.begin(); it != m_kept.end(); ++it) {
        if ((*it)->stamp->file != now->file)
            continue;
        std::unique_ptr<StockReading> reading = std::move(*it);
        m_kept.erase(it);
        if (*reading->stamp != *now)
            return nullptr; // written since: read again
        return reading;
    }
    return nullptr;
}

ArticleCodeReview reviewArticleCodes(Connection& Db, StockReadings* keep)
{
    // One read transaction: the stamp then names the very state read.
    if (keep)
        Db.beginTrans();
    // A read ends with nothing to write: its commit only lets the file go.
    const auto endRead = qScopeGuard([&] {
        if (keep && Db.inTransaction()) {
            try {
                Db.commitTrans();
            } catch (const Error&) {
                // Raised on the way out of a failed read: that failure is the one said.
            }
        }
    });
    StockReading keys = readArticleKeys(Db, {});
    ArticleCodeReview review;
    review.articles = keys.articles;
    review.withoutCode = keys.withoutCode;
    review.firstWithoutCode = keys.firstWithoutCode;
    {
        Query q(Db, ArticlesByCodeSql);
        ArticleColumn codeOfRow(Db, QStringLiteral("CodArt"));
        q.exec();
        QByteArray key;
        while (q.next()) {
            if (q.isNullAt(1))
                continue;
            const QByteArrayView code = q.textAt(1);
            StockTable::Entry* row = keys.table.find(lookupKey(code, key));
            if (!row) {
                review.skipped << QString::fromUtf8(code);
                continue;
            }
            if (row->rowid != qint64(q.numberAt(0)))
                review.twins << std::pair(QString::fromUtf8(code), textOf(codeOfRow.of(row->rowid)));
            row->setAskedFor();
        }
    }
    QSet<QByteArray> unknown;
    LEGGO_MOVIMENTI(Db, keys.table, {}, &review.movementsWithoutCode, &unknown);
    for (const StockTable::Entry& e : keys.table.entries())
        if (e.moved() && !e.askedFor())
            review.unmatchedMovementCodes << QString::fromUtf8(keys.table.keyOf(e));
    for (const QByteArray& code : std::as_const(unknown))
        review.unmatchedMovementCodes << QString::fromUtf8(code);
    review.unmatchedMovementCodes.sort();
    if (keep) {
        keys.stamp = archiveStamp(Db);
        Db.commitTrans();
        keep->keep(std::move(keys));
    }
    return review;
}

void LEGGO_MOVIMENTI(Connection& Db, StockTable& stocks, const std::function<void()>& yield,
                     qint64* withoutCode, QSet<QByteArray>* unknownCodes)
{
    // One pass over the table in file order, summed here: the engine's
    // grouping would walk the (CodArt, Dep) index and look every movement up
    // in the table, several times slower on movements entered day by day.
    // Within a code and warehouse the quantities add in rowid order, the
    // order the index holds them in, so every sum keeps its last bit; the
    // cast reads a quantity as sum() reads it.
    Query q(Db, QStringLiteral("select CodArt, Dep, cast(Qta as real) from MOV_MAG "
                               "where Dep in ('01','02','03','04','05') order by rowid"));
    q.exec();
    // Looked up a batch at a time, the batch in file order: the sums add in
    // the same order, and the memory waits of the lookups overlap.
    struct Movement
    {
        size_t keyStart;
        size_t keyLength;
        int warehouse;
        double quantity;
    };
    constexpr size_t Batch = 256;
    std::vector<Movement> batch;
    std::string keys; // the batch's codes, upper-cased, one after the other
    std::vector<QByteArrayView> views;
    std::vector<StockTable::Entry*> found;
    const auto sumBatch = [&] {
        views.clear();
        for (const Movement& m : batch)
            views.emplace_back(keys.data() + m.keyStart, qsizetype(m.keyLength));
        found.resize(batch.size());
        stocks.findAll(views.data(), found.data(), batch.size());
        for (size_t i = 0; i < batch.size(); ++i) {
            if (found[i])
                StockTable::addMovement(*found[i], batch[i].warehouse, batch[i].quantity);
            else if (unknownCodes)
                unknownCodes->insert(views[i].toByteArray());
        }
        batch.clear();
        keys.clear();
    };
    while (q.next()) {
        if (yield)
            yield();
        const bool noCode = q.isNullAt(0);
        if (noCode || q.isNullAt(1) || q.isNullAt(2)) {
            if (withoutCode && noCode && !q.isNullAt(1) && !q.isNullAt(2))
                ++*withoutCode;
            continue;
        }
        const int warehouse = warehouseOf(q.textAt(1));
        if (warehouse < 1 || warehouse > 5)
            continue;
        const QByteArrayView code = q.textAt(0);
        const size_t start = keys.size();
        for (const char c : code)
            keys.push_back(c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c);
        batch.push_back({start, size_t(code.size()), warehouse - 1, q.numberAt(2)});
        if (batch.size() == Batch)
            sumBatch();
    }
    sumBatch();
}

void RIPRISTINA_MAGAZZINO(RunContext& ctx, Connection& Db, const QString& Numero_Azienda,
                          StockReadings* readAhead)
{
    Q_UNUSED(Numero_Azienda);
    ctx.host().showBusy(true);

    std::unique_ptr<StockReading> readBefore = readAhead ? readAhead->take(Db) : nullptr;
    StockReading keys = readBefore ? std::move(*readBefore) : readArticleKeys(Db, [&ctx] { ctx.yield(); });
    if (keys.articles == 0) {
        ctx.message(QStringLiteral("Nessun Movimento trovato!"), Buttons::Ok, Icon::Exclamation,
                    QStringLiteral("Ventor"));
        ctx.host().showBusy(false);
        return;
    }
    StockTable& table = keys.table;
    if (!readBefore)
        LEGGO_MOVIMENTI(Db, table, [&ctx] { ctx.yield(); });

    // The captions in code order, as the program shows them.
    {
        Query q(Db, ArticlesByCodeSql);
        ArticleColumn descriptionOfRow(Db, QStringLiteral("DescrArt"));
        q.exec();
        QByteArray key;
        qint64 done = 0;
        while (q.next()) {
            ctx.yield();
            ctx.stepProgress(++done, keys.articles);
            const QByteArrayView code = q.textAt(1); // a Null code raises here
            StockTable::Entry* row = table.find(lookupKey(code, key));
            // An article whose row the search does not find (its code has blanks
            // around it and no trimmed twin) gets no caption and nothing written.
            if (!row)
                continue;
            const qint64 rowid = qint64(q.numberAt(0));
            const Value description = row->rowid == rowid ? q.value(2) : descriptionOfRow.of(row->rowid);
            ctx.setProgress(QStringLiteral("Ripristino in corso articolo: ") + QString::fromUtf8(code) +
                                QStringLiteral(" - ") + textOrEmpty(description),
                            fs::LogFile::Timing::MayWait);
            // Articles with the same key find the same row: it is saved once.
            row->setAskedFor();
        }
    }

    RowUpdater stockUpdater(Db, QStringLiteral("ANAG_ART"), stockFields());
    std::optional<Error> lostBatch; // the last batch's commit, failed while unwinding
    try {
        BatchCommit commit(Db, &lostBatch);
        // Saved in file order (the table's entries are in the order read):
        // in code order every batch would touch (and journal, and write back)
        // nearly every page of the table again, so the pages written grew
        // with the square of the articles.
        for (const StockTable::Entry& row : table.entries()) {
            if (!row.askedFor())
                continue;
            ctx.yield();
            const WarehouseStocks& s = row.stocks;
            stockUpdater.update(row.rowid, {s[0], s[1], s[2], s[3], s[4]});
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
