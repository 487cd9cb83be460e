#pragma once

#include "accounting/genero_movimento_contabile.h"
#include "data/database.h"

#include <QString>

#include <array>
#include <optional>

namespace rio {

class RunContext;

// The open items of an old-year archive (Stato_Partita Null) as the carry-forward
// reads them, each as the movement it passes to the writer.
class OpenItems
{
public:
    explicit OpenItems(Connection& oldArchive); // raises the engine's errors
    qint64 count();
    // The next item, false past the last; raises the engine's errors (an
    // unknown field at the first item).
    bool next();
    AccountingMovement movement() const;

private:
    static constexpr int FieldCount = 16;
    Query m_items;
    bool m_started = false;
    std::optional<std::array<int, FieldCount>> m_fields;
};

// Carries every open accounting item (Stato_Partita Null) of the old-year archive
// into the new-year archive through the accounting movement writer.
void CREAZIONE_MOVIMENTI_CONTABILI(RunContext& ctx, QString Numero_Azienda);

} // namespace rio
