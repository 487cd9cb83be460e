#include "data/connection_private.h"
#include "data/database.h"
#include "data/value.h"

#include <sqlite3.h>

namespace rio {

QStringList integrityProblems(Connection& connection, int maxProblems)
{
    // The Access ODBC driver offers no check: Jet repairs a file only by
    // compacting it into a new one through DAO or JRO, and this check
    // writes nothing. The file is then taken as sound.
    if (connection.driver() == Connection::Driver::OdbcAccess)
        return {};
    // quick_check reads every page, record and index entry count, without
    // matching each index entry to its row (integrity_check's extra work,
    // several times slower on a big archive); it stops after maxProblems.
    const QString sql = QStringLiteral("pragma quick_check(%1)").arg(std::max(1, maxProblems));
    QStringList problems;
    const auto keep = [&problems](const QString& line) {
        if (line.compare(QLatin1String("ok"), Qt::CaseInsensitive) != 0)
            problems << line;
    };
    const auto& p = ConnectionAccess::of(connection);
    if (p.lite && p.whileBusy) {
        // The engine walks the whole file in one instruction of its own,
        // which no progress call interrupts: a big archive would hold the
        // window for a second. Run on the worker, the window repaints.
        Statement check;
        check.prepare(connection, sql);
        check.attach(connection);
        check.runAside(connection, p.whileBusy, [&keep](sqlite3_stmt* row) {
            keep(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, 0))));
        });
        raiseWhileBusyFailure(connection);
        return problems;
    }
    Query check(connection, sql);
    check.exec();
    while (check.next())
        keep(textOrEmpty(check.value(0)));
    return problems;
}

} // namespace rio
