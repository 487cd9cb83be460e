#pragma once

#include <QString>

namespace rio {

class Connection;
class RunContext;

// Recomputes the five warehouse stocks of every article of the archive behind
// Db from its movements. Has no error handler: a failure raises to the caller.
// An empty article table warns and writes nothing.
void RIPRISTINA_MAGAZZINO(RunContext& ctx, Connection& Db, const QString& Numero_Azienda);

} // namespace rio
