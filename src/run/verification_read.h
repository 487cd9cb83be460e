#pragma once

// What the verification reads from the two archives, and how it compares and
// shows the values it reads. For the verification's own files only.

#include "data/value.h"

#include <QHash>
#include <QList>
#include <QString>

namespace rio {

class Connection;

namespace verification {

// A value as a number, Null counting as 0.
double numberOrZero(const Value& v);

// A value as the report shows it: "Null" for Null.
QString shown(const Value& v);

// A number as the report shows it.
QString number(double v);

// Whether two sums of money are the same: read in another order they may
// differ in the last bits.
bool sameAmount(double a, double b);

// One article with its stock per warehouse (the first `warehouses` read).
struct ArticleRow
{
    qint64 rowid = 0;
    QString code;
    Value stock[5];
};

// The articles of ANAG_ART in rowid order, with stock 1-2 or, for
// warehouses == 5, stock 1-5. Raises the engine's error.
QList<ArticleRow> readArticles(Connection& c, int warehouses);

// One opening movement (TipoMov 'RIAPERTURA') of MOV_MAG.
struct OpeningMovement
{
    QString dep;
    QString code;
    double qta = 0;
};

// The opening movements of an archive by their Progr_Mov_Mag (Null as 0).
// Raises the engine's error.
QHash<qint64, OpeningMovement> readOpeningMovements(Connection& c);

// One accounting item of MOV_CONT: the writer's key fields and the total.
struct ItemRow
{
    Value date, tipo, codice, documentType, documentNumber, total;
};

// What the comparisons read of a company's two archives, each table once,
// as the files hold them at the end of the run.
struct ArchiveRows
{
    QList<ArticleRow> oldArticles;          // 2023, stock 1-2
    QList<ArticleRow> newArticles;          // 2024, stock 1-5
    QHash<qint64, OpeningMovement> opening; // 2024
    QList<ItemRow> oldOpenItems;            // 2023, Stato_PArtita Null, in rowid order
    QList<ItemRow> newItems;                // every 2024 item, in rowid order
};

// Reads them. Raises the engine's error.
ArchiveRows readArchives(Connection& oldDb, Connection& newDb);

// Rows of a table, with an optional " where ..." clause. Raises the engine's
// error, NoTable when the table is absent.
qint64 countRows(Connection& c, const QString& table, const QString& where = QString());

// Ragione_Sociale1 of the AZIENDE row 'Azienda_<slot>'; empty without the row
// or with a Null name. Raises the engine's error.
QString companyName(Connection& c, int slot);

} // namespace verification
} // namespace rio
