#pragma once

#include "support/step_fixture.h"

#include <QString>
#include <QVariantList>

// Rows of the warehouse cases, given as SQL literals so that a case can write
// Null, quotes and blanks as they are.

// An article row; stocks start at 99 so that an untouched row shows.
inline void addArticle(const QString& file, const QString& codeSql,
                       const QString& descriptionSql = QStringLiteral("'d'"))
{
    TestInstall::exec(file,
                      QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, Giacenza1, giacenza2, "
                                     "giacenza3, giacenza4, giacenza5) values(%1, %2, 99, 99, 99, 99, 99)")
                          .arg(codeSql, descriptionSql));
}

inline void addMovement(const QString& file, const QString& codeSql, const QString& warehouseSql,
                        const QString& quantitySql)
{
    TestInstall::exec(file, QStringLiteral("insert into MOV_MAG(CodArt, DEP, Qta) values(%1, %2, %3)")
                                .arg(codeSql, warehouseSql, quantitySql));
}

// The five stocks of the row with that rowid.
inline QVariantList stocksOf(const QString& file, qint64 rowid)
{
    const auto r = TestInstall::rows(
        file, QStringLiteral("select Giacenza1, giacenza2, giacenza3, giacenza4, giacenza5 from ANAG_ART "
                             "where rowid = %1")
                  .arg(rowid));
    return r.isEmpty() ? QVariantList() : r.first();
}

inline QVariantList stocks(double a, double b, double c, double d, double e)
{
    return {a, b, c, d, e};
}
