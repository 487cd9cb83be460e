// Checking what the new-year archive holds besides stock and open items: its
// counters, and the tables the run empties.
#include "run/report_format.h"
#include "run/verification.h"
#include "run/verification_checks.h"
#include "run/verification_read.h"

#include "data/database.h"
#include "data/product_schema.h"
#include "init/inizializzazione.h" // the table probe: tables are found as the initialisation finds them

namespace rio::verification {

namespace {

// The document tables of the active CAUSALI, each once, but for those the
// run keeps (DISTINTA_BASE, LISTINO_AUTO_1).
QStringList documentTables(Connection& newDb)
{
    QStringList documents;
    Query causali(newDb,
                  QStringLiteral("select Nome_Tabella_Archiviazione_dati_documento as tabella from CAUSALI "
                                 "where Attivazione_causale=true"));
    causali.exec();
    while (causali.next()) {
        const Value t = causali.value(0);
        if (isNull(t))
            continue;
        const QString name = trimBlanks(textOf(t));
        if (name != QLatin1String("DISTINTA_BASE") && name != QLatin1String("LISTINO_AUTO_1") &&
            !documents.contains(name))
            documents << name;
    }
    return documents;
}

} // namespace

void checkCounters(Connection& newDb, CompanyVerification& v)
{
    const QString area = QStringLiteral("Contatori");
    const qint64 opening =
        countRows(newDb, QStringLiteral("MOV_MAG"), QStringLiteral(" where TipoMov='RIAPERTURA'"));
    const qint64 accounting = countRows(newDb, QStringLiteral("MOV_CONT"));
    Query counters(newDb, QStringLiteral("select * from CONTATORI order by rowid"));
    counters.exec();
    if (!counters.next()) {
        v.findings << Finding{Finding::Kind::Mismatch, area, QStringLiteral("La tabella CONTATORI è vuota")};
        return;
    }
    for (const QString& field : schema::counterFields()) {
        qint64 expected = 0;
        if (field.compare(QLatin1String("Progr_Mov_Mag"), Qt::CaseInsensitive) == 0)
            expected = opening;
        else if (field.compare(QLatin1String("Progr_Mov_Cont"), Qt::CaseInsensitive) == 0)
            expected = accounting;
        const Value value = counters.value(field);
        const double found = numberOrZero(value);
        const bool ok = found == double(expected);
        const QString title = counterTitle(field);
        if (!ok || expected != 0)
            v.checks << CheckLine{area, title, QString::number(expected), shown(value), ok, field};
        if (!ok)
            v.findings << Finding{
                Finding::Kind::Mismatch, area,
                QStringLiteral("%1 (%2) vale %3, atteso %4").arg(title, field, shown(value)).arg(expected)};
    }
}

void checkEmptied(Connection& newDb, CompanyVerification& v)
{
    const QString area = QStringLiteral("Archivio");
    auto exists = [&newDb](const QString& t) {
        return gEsistenza_Tabella(&newDb, Value(t));
    };
    auto expectEmpty = [&](const QString& table, const QString& where, const QString& what) {
        if (!exists(table))
            return;
        const qint64 n = countRows(newDb, table, where);
        v.checks << CheckLine{area, what, QStringLiteral("0"), QString::number(n), n == 0, table};
        if (n != 0)
            v.findings << Finding{Finding::Kind::Mismatch, area,
                                  QStringLiteral("%1 (%2): %3 righe rimaste").arg(what, table).arg(n)};
    };
    expectEmpty(QStringLiteral("MOV_MAG"), QStringLiteral(" where TipoMov<>'RIAPERTURA' or TipoMov is null"),
                QStringLiteral("Movimenti di magazzino oltre a quelli di riapertura"));
    for (const char* t : {"MOV_IVA", "MOV_PROVV", "MOV_TRASP"})
        expectEmpty(QLatin1String(t), QString(), tableTitle(QLatin1String(t)));
    if (!exists(QStringLiteral("CAUSALI")))
        return;
    const QStringList documents = documentTables(newDb);
    for (const QString& name : documents)
        for (const char* prefix : {"T_", "C_"}) {
            const QString table = QLatin1String(prefix) + name;
            expectEmpty(table, QString(), tableTitle(table));
        }
}

} // namespace rio::verification
