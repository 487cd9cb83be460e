#pragma once

#include "data/value.h"

#include <QString>

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
struct MovimentoContabile
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
class MovimentoContabileWriter
{
public:
    MovimentoContabileWriter(RunContext& ctx, Connection& connessione, const Value& nomeFile,
                             const Value& nomeProgressivo);
    ~MovimentoContabileWriter();
    MovimentoContabileWriter(const MovimentoContabileWriter&) = delete;
    MovimentoContabileWriter& operator=(const MovimentoContabileWriter&) = delete;

    // True when the row was stored; false when it was refused or failed
    // (already reported).
    bool write(const MovimentoContabile& movimento);

    // The refusal text for a movement without its key data.
    static QString refusalText(const QString& nomeFile);
    // The identifier: year*type*code*document type*number.
    static QString movementId(const MovimentoContabile& movimento);
    // Description cut to 254 characters, upper case, blanks trimmed.
    static Value descriptionField(const Value& descrizione);

private:
    bool hasMissingKey(const MovimentoContabile& movimento) const;
    void store(const MovimentoContabile& movimento);
    Value nextProgressive();
    RowInserter& inserterFor(unsigned amountMask);

    RunContext& m_ctx;
    Connection& m_connessione;
    QString m_nomeFile;
    QString m_nomeProgressivo;
    std::unique_ptr<Query> m_counterQuery;
    std::unique_ptr<RowUpdater> m_counterUpdater;
    std::optional<qint64> m_counterRow;
    // The counter as last saved by this writer: the writer is the only one
    // moving it while the step runs, so it is read from the archive once.
    std::optional<Value> m_counterValue;
    std::map<unsigned, std::unique_ptr<RowInserter>> m_inserters; // by the amounts assigned
};

// Writes one accounting movement (a writer for a single call).
void GENERO_MOVIMENTO_CONTABILE(RunContext& ctx, const Value& NOME_FILE, Connection& Connessione,
                                const Value& Nome_Progressivo, const Value& Data_Movimento,
                                const Value& Giorni_Scadenza, const Value& Tp_CLI_FOR,
                                const Value& Cod_CLIFOR, const Value& Tipo_Documento,
                                const Value& Num_Documento, const Value& ID_Generico,
                                const Value& DESCRIZIONE_OPERAZIONE, const Value& DEPOSITO,
                                const Value& Imponibile, const Value& Imposta, const Value& Totale,
                                const Value& Sezione, const Value& ID_PARTITA, const Value& Tipo_Mov,
                                const Value& Cod_Cantiere, const Value& Cod_SubCantiere,
                                const Value& CodAgente, const Value& Partita_Chiusa);

} // namespace rio
