#pragma once

#include "data/value.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>

namespace rio {

class Connection;
class Query;
class RowInserter;
class RowUpdater;
class RunContext;

// The data of one accounting movement, in the writer's parameter order
// (after the table, the connection and the counter name).
struct AccountingMovement
{
    Value Data_Movimento;
    Value Giorni_Scadenza;
    Value Tp_CLI_FOR;
    Value Cod_CLIFOR;
    Value Tipo_Documento;
    Value Num_Documento;
    Value ID_Generico;
    Value DESCRIZIONE_OPERAZIONE;
    Value DEPOSITO;
    Value Imponibile;
    Value Imposta;
    Value Totale;
    Value Sezione;
    Value ID_PARTITA;
    Value Tipo_Mov;
    Value Cod_Cantiere;
    Value Cod_SubCantiere;
    Value CodAgente;
    Value Partita_Chiusa;
};

// Writes accounting movements into one table of an open archive, each with
// the next number of a CONTATORI counter. Keeps its statements prepared
// between movements so that a long series costs one insert and one counter
// update per movement; it neither opens, closes nor commits the connection.
// Every problem is reported in a box; nothing is thrown to the caller.
class AccountingMovementWriter
{
public:
    AccountingMovementWriter(RunContext& ctx, Connection& connection, const Value& table,
                             const Value& counterName);
    ~AccountingMovementWriter();
    AccountingMovementWriter(const AccountingMovementWriter&) = delete;
    AccountingMovementWriter& operator=(const AccountingMovementWriter&) = delete;

    // Writes one movement, the body of the procedure GENERO_MOVIMENTO_CONTABILE:
    // true when the row was stored; false when it was refused or failed
    // (already reported).
    bool GENERO_MOVIMENTO_CONTABILE(const AccountingMovement& movement);

    // From now on the counter moves in memory, each movement still taking
    // the next number (a movement that fails after taking it leaves it
    // unused), and is written by saveCounter() alone: for a caller that
    // commits in batches and saves it before each commit, in the same
    // transaction, so that the movements and the counter are kept or lost
    // together. One counter update a batch instead of one a movement.
    void holdCounter();
    // Writes the held counter if it moved since the last save; raises the
    // engine's error.
    void saveCounter();

    // The refusal text for a movement without its key data.
    static QString refusalText(const QString& table);
    // The identifier: year*type*code*document type*number.
    static QString movementId(const AccountingMovement& movement);
    // Description cut to 254 characters, upper case, blanks trimmed.
    static Value descriptionField(const Value& description);

private:
    friend class AccountingMovementProbe;
    // The row's fields and values as the writer stores them, with the
    // amounts that are assigned; raises where a conversion fails.
    static QList<Value> rowValues(const AccountingMovement& movement, const Value& number,
                                  const QString& lastUpdate, unsigned& amountMask);
    // The key fields of blank text, by name; empty when none.
    static QStringList missingKeys(const AccountingMovement& movement);
    // The row's values that the writer derives from the movement, raising
    // where a conversion fails.
    struct Derived
    {
        Value date;
        Value description;
        Value movementType;
        double documentNumber = 0;
        double site = 0;
        double subSite = 0;
    };
    static Derived derive(const AccountingMovement& movement);
    void store(const AccountingMovement& movement);
    Value nextProgressive();
    RowInserter& inserterFor(unsigned amountMask);

    RunContext& m_ctx;
    Connection& m_connection;
    QString m_table;
    QString m_counterName;
    std::unique_ptr<Query> m_counterQuery;
    std::unique_ptr<RowUpdater> m_counterUpdater;
    std::optional<qint64> m_counterRow;
    // The counter as last saved by this writer: the writer is the only one
    // moving it while the step runs, so it is read from the archive once.
    std::optional<Value> m_counterValue;
    bool m_counterHeld = false;
    bool m_counterUnsaved = false;                                // held and moved since the last save
    std::map<unsigned, std::unique_ptr<RowInserter>> m_inserters; // by the amounts assigned
    // The last-update text and the second (since the epoch) it was made for:
    // local time asks the time zone under the C library's lock, once a row.
    qint64 m_lastUpdateSecond = -1;
    QString m_lastUpdate;
};

// Why the writer would not store a movement into a table like the one of an
// archive, found by the writer's own rules without writing: the key data it
// refuses (blank text), the error its conversions raise (a Null or too large
// document number or site code, a date number out of range) or the error
// storing a value in its column would raise, in Italian; nullopt when it
// would be stored. Prepares one insert per set of amounts, runs none.
class AccountingMovementProbe
{
public:
    AccountingMovementProbe(Connection& archive, const QString& table);
    ~AccountingMovementProbe();
    AccountingMovementProbe(const AccountingMovementProbe&) = delete;
    AccountingMovementProbe& operator=(const AccountingMovementProbe&) = delete;

    std::optional<QString> refusalOf(const AccountingMovement& movement);

private:
    Connection& m_archive;
    QString m_table;
    QString m_lastUpdate;
    std::map<unsigned, std::unique_ptr<RowInserter>> m_inserters; // by the amounts assigned
};

} // namespace rio
