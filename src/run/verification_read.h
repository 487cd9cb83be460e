#pragma once

// What the verification reads from the two archives, and how it compares and
// shows the values it reads. For the verification's own files only.

#include "data/database.h"
#include "data/value.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <memory>

namespace rio {

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

// One article with its description and its stock per warehouse 01-05
// (Null as 0).
struct ArticleRow
{
    qint64 rowid = 0;
    QString code;
    QString description;
    double stock[5] = {};
};

// The articles of ANAG_ART read forward in rowid order: a company's
// comparison holds one at a time.
class ArticleReader
{
public:
    explicit ArticleReader(Connection& c); // raises the engine's error
    // The next article into row; false past the last. Raises the engine's error.
    bool next(ArticleRow& row);

private:
    Query m_query;
};

// One opening movement (TipoMov 'RIAPERTURA') of MOV_MAG.
struct OpeningMovement
{
    QString dep;
    QString code;
    double qta = 0;
};

// The key of an article code in a warehouse, for quantities summed by both.
QString codeAndWarehouse(const QString& code, const QString& dep);

// The opening movements of an archive, read once.
struct OpeningMovements
{
    QHash<qint64, OpeningMovement> byNumber; // by Progr_Mov_Mag (Null as 0)
    QHash<QString, double> quantities;       // summed by codeAndWarehouse(), in file order
};

// Reads them. Raises the engine's error.
OpeningMovements readOpeningMovements(Connection& c);

// One accounting item of MOV_CONT: the writer's key fields and the total.
struct ItemRow
{
    Value date, tipo, codice, documentType, documentNumber, total;
};

// The columns of MOV_CONT an item is read by: the writer's key fields (date,
// tipo, codice, document type and number), then the total.
QStringList itemColumns();

// The items of MOV_CONT read forward in rowid order, with an optional
// " where ..." clause.
class ItemReader
{
public:
    ItemReader(Connection& c, const QString& where); // raises the engine's error
    // The next item into row; false past the last. Raises the engine's error.
    bool next(ItemRow& row);

private:
    Query m_query;
};

// The writer's key fields of an item (data, tipo, codice, tipo and number of
// the document) as text, Null as nothing, with which of them were Null.
struct ItemKeys
{
    QString text[5];
    bool null[5] = {};

    // As the report shows it: "Null" for Null.
    QString shown(int i) const { return null[i] ? QStringLiteral("Null") : text[i]; }
    QString party() const { return shown(1) + QChar(0x1F) + shown(2); }
    // Whether the key fields' texts are those of other: then their joined()
    // are the same too.
    bool sameTexts(const ItemKeys& other) const
    {
        for (int i = 0; i < 5; ++i)
            if (text[i] != other.text[i])
                return false;
        return true;
    }
    // The key the two years' items are paired on.
    QString joined() const
    {
        const QChar separator(0x1F);
        return text[0] + separator + text[1] + separator + text[2] + separator + text[3] + separator +
               text[4];
    }
    // The writer refuses an item with a key field of blank text.
    bool refusedByWriter() const
    {
        for (int i = 0; i < 5; ++i)
            if (!null[i] && std::all_of(text[i].cbegin(), text[i].cend(), [](QChar c) { return c == u' '; }))
                return true;
        return false;
    }
};

// The items of MOV_CONT in rowid order, each as its key fields' texts and
// its total.
class ItemSource
{
public:
    virtual ~ItemSource() = default;
    // The next item; false past the last. Raises the engine's error.
    virtual bool next(ItemKeys& keys, double& total) = 0;
};

// The items of a connection, with an optional " where ..." clause: straight
// from the engine on Qt's SQLite driver, each value turned into the text and
// number Query's value gives; through ItemReader otherwise. Raises the
// engine's error.
std::unique_ptr<ItemSource> itemSource(Connection& c, const QString& where);

// Rows of a table, with an optional " where ..." clause. Raises the engine's
// error, NoTable when the table is absent.
qint64 countRows(Connection& c, const QString& table, const QString& where = QString());

// The names of an archive's customers (ANAG_CLI) and suppliers (ANAG_FOR),
// by type and code, held for one company's comparison. An archive without
// either table, or whose table cannot be read, has no names for that type:
// the names only help the reader.
class PartyNames
{
public:
    explicit PartyNames(Connection& c);
    // Ragione_Sociale1 of the party, code compared without regard to case;
    // empty when the archive has none.
    QString name(const QString& tipo, const QString& codice) const;

private:
    QHash<QString, QString> m_names;
};

// Ragione_Sociale1 of the AZIENDE row 'Azienda_<slot>'; empty without the row
// or with a Null name. Raises the engine's error.
QString companyName(Connection& c, int slot);

} // namespace verification
} // namespace rio
