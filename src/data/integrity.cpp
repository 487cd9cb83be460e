#include "data/database.h"
#include "data/value.h"

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
    Query check(connection, QStringLiteral("pragma quick_check(%1)").arg(std::max(1, maxProblems)));
    check.exec();
    QStringList problems;
    while (check.next()) {
        const QString line = textOrEmpty(check.value(0));
        if (line.compare(QLatin1String("ok"), Qt::CaseInsensitive) != 0)
            problems << line;
    }
    return problems;
}

} // namespace rio
