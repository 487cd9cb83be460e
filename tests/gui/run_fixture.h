#pragma once

#include "support/test_install.h"

#include <QString>

// Articles, stock movements and one open item in a company archive, so that
// a whole run has something to carry.
inline void addArticles(const QString& archive)
{
    TestInstall::exec(archive, QStringLiteral("insert into ANAG_ART(CodArt, DescrArt, Giacenza1) values "
                                              "('A1', 'Viti', 0), ('B2', 'Bulloni', 0)"));
    TestInstall::exec(archive, QStringLiteral("insert into MOV_MAG(CodArt, Dep, Qta) values "
                                              "('A1', '01', 5), ('A1', '02', 2.5), ('B2', '01', -1)"));
    TestInstall::exec(archive, QStringLiteral("insert into MOV_CONT(Data_Mov_Cont, TipoCliFor, CodCLIFOR, "
                                              "Tipo_Documento, Numero_Documento, Totale_Mov_Cont) values "
                                              "('2023-03-01', 'C', '001', 'FT', 12, 100)"));
}

// A company ready for a run: its 2023 archive with something to carry.
inline void addCompany(TestInstall& install, int slot)
{
    install.createArchive(slot);
    addArticles(install.archiveHost(slot));
}
