#pragma once

#include "data/value.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <utility>

namespace rio {

class Connection;
class RunContext;

// Recomputes the five warehouse stocks of every article of the archive behind
// Db from its movements. Has no error handler: a failure raises to the caller.
// An empty article table warns and writes nothing.
// Inside the caller's transaction the caller commits; otherwise the rows are
// committed in batches and at the end, a failure included.
void RIPRISTINA_MAGAZZINO(RunContext& ctx, Connection& Db, const QString& Numero_Azienda);

// The rows the recomputation writes stocks into, found by code as it finds
// them: a row per code letter case aside and blanks counting, the first row
// in the file winning among codes that differ only in case.
class ArticleRows
{
public:
    struct Row
    {
        qint64 rowid = 0;
        QString description;
    };
    // An article of ANAG_ART; a Null code has no row.
    void add(qint64 rowid, const Value& code, const Value& description);
    // The row an article's code leads to: the one whose code is the
    // article's without blanks around it, letter case aside; nullptr when
    // none (a code with blanks around it, or of blanks only, and no
    // trimmed twin): the article's stock is then not recomputed. Raises 94
    // "Invalid use of Null" for a Null code, as the recomputation does.
    const Row* rowFor(const Value& code) const;

private:
    QHash<QString, Row> m_rows;
};

// The articles of an archive whose stock the recomputation cannot give them
// on their own, found with its own rules, in the order it reads them.
struct ArticleCodeReview
{
    qint64 articles = 0;
    // An article without code stops the recomputation: its place in the
    // file (1 for the first row), 0 when every article has a code.
    qint64 firstWithoutCode = 0;
    qint64 withoutCode = 0;
    // Codes whose stock lands on another article's row (twins by case or
    // blanks), each as "code" -> the code of that row.
    QList<std::pair<QString, QString>> twins;
    // Codes that lead to no row (blanks around them or blanks only): their
    // stock is left as it was.
    QStringList skipped;
    // Movements of warehouses 01-05 the recomputation counts for no
    // article: without code, or with a code (upper-cased, sorted) that no
    // article's lookup asks for (none such, or only with blanks around it).
    qint64 movementsWithoutCode = 0;
    QStringList unmatchedMovementCodes;
};
// Reads ANAG_ART and MOV_MAG as the recomputation reads them. Raises the
// engine's errors.
ArticleCodeReview reviewArticleCodes(Connection& Db);

// Stock of warehouses 01..05 (index 0..4).
using WarehouseStocks = std::array<double, 5>;

// The key an article code is looked up by: blanks around it removed, ASCII
// letters upper-cased, as the file compares text.
QString articleKey(const QString& articleCode);

// The stock of every article code that has movements in warehouses 01..05,
// by the code's ASCII upper case (blanks kept: a movement code with blanks
// around it never matches a trimmed article key). One pass over MOV_MAG.
// yield runs after each movement read: a million movements take a while.
// withoutCode, when given, counts the movements passed over for their
// Null code.
QHash<QString, WarehouseStocks> LEGGO_MOVIMENTI(Connection& Db, const std::function<void()>& yield = {},
                                                qint64* withoutCode = nullptr);

} // namespace rio
