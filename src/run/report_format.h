#pragma once

#include <QByteArray>
#include <QString>

namespace rio {

// Numbers as an Italian reader expects them in the report and the event list.

// A sum of money: two decimals, decimal comma, thousands separated by dots
// ("61.703.333,49"); the last bits of a long sum do not show.
QString formatAmount(double v);

// A quantity: as many decimals as it has, up to six, without the float noise
// of a sum ("2,5", "1.250"); decimal comma and thousands separators.
QString formatQuantity(double v);

// A number for a spreadsheet cell: decimal comma, no thousands separator,
// up to six decimals ("61703333,49").
QString formatCsvNumber(double v);
// The same written as bytes at out, which has room for CsvNumberRoom of
// them; returns the end of what was written. For a spreadsheet written a line
// per article and item.
inline constexpr qsizetype CsvNumberRoom = 340; // the longest double has 309 digits
char* writeCsvNumber(char* out, double v);

} // namespace rio

namespace rio {

// The plain Italian names the reports give to what the product and the run
// call by an identifier; the identifier itself is shown beside them in small
// type, so that support can still search for it.

// A step of the run: "COPIO_CARTELLA_SALVATAGGIO" is "Copia di sicurezza";
// an unknown step keeps its own name.
QString stepTitle(const QString& step);

// A counter field of CONTATORI: "Progr_Mov_Mag" is "Progressivi di
// magazzino" (case ignored); an unknown field keeps its own name.
QString counterTitle(const QString& field);

// A table the run empties: "MOV_IVA" is "Movimenti IVA", "T_ORDINI_CLIENTI"
// "Documenti ordini clienti: testate", "C_..." "...: righe" (case ignored);
// any other table keeps its own name.
QString tableTitle(const QString& table);

} // namespace rio
