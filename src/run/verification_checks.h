#pragma once

// The checks of one company's verification, in the order verifyCompany runs
// them. Each appends its lines to v.checks and what it finds to v.findings;
// those that read raise the engine's error when an archive cannot be read.

namespace rio {

class Connection;
struct CompanyVerification;
struct SpreadsheetRows;

namespace verification {

// Area "Magazzino": every non-zero stock 01-02 of the old-year articles has its
// opening movement in the new-year archive, numbered from 0 in the order of the
// articles; the new-year archive has the same articles, with the stock carried in
// 01-02 and 03-05 at zero. A code that cannot match by design (blanks around
// it, or a twin differing only in case) gives a warning, not a mismatch,
// with a row per warehouse in Finding::stock. The stock rows of each article
// of either year, in rowid order, go to rows.stock: a row per warehouse with
// a stock to carry (01-02 of the old year), an opening movement or a new-year stock; a
// warned warehouse's row says why.
void checkStock(Connection& oldDb, Connection& newDb, CompanyVerification& v, const SpreadsheetRows& rows);

// Area "Partite aperte": the open items of the old year (Stato_PArtita Null) against
// the items of the new year, per customer/supplier (named from the archive's
// customers and suppliers when it has them) and in total, receivables
// (type C), payables (type F) and any other type apart. An item with a blank
// key field, which the writer refuses, goes to v.refusedItems and is a
// mismatch: every open item of the old year belongs in the new year. Each old-year open item,
// with the new-year item of the same key fields, and then each new-year item left,
// goes to rows.openItem.
void checkOpenItems(Connection& oldDb, Connection& newDb, CompanyVerification& v,
                    const SpreadsheetRows& rows);

// Area "Contatori": the first CONTATORI row holds the number of opening
// movements in Progr_Mov_Mag, of accounting movements in Progr_Mov_Cont, and
// 0 in every other counter. Each counter by its plain name, the field in id.
void checkCounters(Connection& newDb, CompanyVerification& v);

// Area "Archivio": the tables the run empties are empty (MOV_MAG but for the
// opening movements, MOV_IVA, MOV_PROVV, MOV_TRASP and the document tables of
// the active CAUSALI); a table that is absent is not checked. Each table by
// its plain name, the table's own in id.
void checkEmptied(Connection& newDb, CompanyVerification& v);

} // namespace verification
} // namespace rio
