#pragma once

// The stock comparison's parts, shared by its two ways of reading: inside
// the engine, with the new archive attached to the old one, and row by row
// through Query on the drivers that cannot attach. For the verification's
// own files only.

#include "run/verification.h"
#include "run/verification_read.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace rio::verification {

// Why an old year's code cannot match by design: blanks around it, or a twin that
// differs only in case. what says it in the findings' words.
struct Irregular
{
    StockWarning::Reason reason;
    QString what;
    QStringList twins;
};

// The name of a warehouse from 0: "01" to "05".
QString warehouseName(int warehouse);

// Old year's codes by the key the recomputation matches them on (matchKey), each
// list in rowid order. Codes alone under their key may be left out: a code
// without twins needs no entry.
using CodesByKey = QHash<QString, QStringList>;
QString matchKey(const QString& code);

// Why an old year's code cannot match by design, or nothing.
std::optional<Irregular> irregularCode(const QString& code, const CodesByKey& codes);

// The opening movements against the old year's stock: the k-th non-zero stock in
// 01-02 of the articles in rowid order (01 before 02) is carried by the
// movement numbered k.
class MovementCheck
{
public:
    // The movement of a number, or nullptr; asked with 0, 1, 2, ... in turn.
    using Lookup = std::function<const OpeningMovement*(qint64 number)>;
    explicit MovementCheck(Lookup lookup) : m_lookup(std::move(lookup)) {}

    // Each old year's article, in rowid order.
    void oldArticle(const ArticleRow& row);
    // Movements to expect so far: one per non-zero stock.
    qint64 expected() const { return m_expected; }

    // Adds the findings, then the check line: numbers is how many distinct
    // numbers the opening movements carry, extra how many of those lie
    // outside 0 .. expected()-1.
    void finish(CompanyVerification& v, qint64 numbers, qint64 extra);

private:
    Lookup m_lookup;
    qint64 m_expected = 0;
    int m_mismatches = 0;
    QList<Finding> m_findings;
};

// A warehouse whose new stock is not what it should hold: its old stock in
// 01-02 (0 without an old row), 0 in 03-05.
struct WarehouseDifference
{
    int warehouse = 0; // 0 for "01"
    double expected = 0;
    double found = 0;
};

// A new year's article whose stock is not what was carried, and why by design when
// the code of the old year's article of its row explains it.
struct StockDifference
{
    QString code;
    QString description;
    std::optional<Irregular> irregular;
    QList<WarehouseDifference> differences;
};

// The articles of both years side by side, in rowid order: the counts, the
// new stock against what was carried, the spreadsheet's rows.
class StockPass
{
public:
    // The quantity the opening movements carry for an exact code into a
    // warehouse (0 for "01" to 4 for "05"), asked at most once per code and
    // warehouse: the first article of a code shows it.
    using Opening = std::function<double(const QString& code, int warehouse)>;
    StockPass(const CodesByKey& codes, const CompanyVerification& v, const SpreadsheetRows& rows,
              Opening opening)
        : m_codes(codes), m_v(v), m_rows(rows), m_opening(std::move(opening))
    {
    }

    // The articles of one row: the old year's, the new one, or both.
    void article(const ArticleRow* old, const ArticleRow* carried);

    // The movement check's findings and line, then the article count's,
    // then the new stock's.
    void finish(CompanyVerification& v, MovementCheck& moves, qint64 numbers, qint64 extra);

    // Articles of each year; counted by article(), or set when the rows
    // given to article() are not all of them.
    qint64 oldCount = 0;
    qint64 newCount = 0;

private:
    void sheetRows(const ArticleRow& article, const ArticleRow* old, const ArticleRow* carried,
                   const StockDifference* difference);
    void finishArticleCount(CompanyVerification& v) const;
    void finishCarriedStock(CompanyVerification& v) const;

    const CodesByKey& m_codes;
    const CompanyVerification& m_v;
    const SpreadsheetRows& m_rows;
    Opening m_opening;
    QList<StockDifference> m_differences;
};

// The stock check inside the engine, the new archive attached to the old
// one; false, having changed nothing, where it cannot run there: another
// driver, or data it would read otherwise than Query does (a value stored
// under another type than the check reads, a code without text, two
// articles of the same code, a new year's article without its old row). Raises
// the engine's error.
bool checkStockInEngine(Connection& oldDb, Connection& newDb, CompanyVerification& v,
                        const SpreadsheetRows& rows);

} // namespace rio::verification
