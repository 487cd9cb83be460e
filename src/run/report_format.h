#pragma once

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

} // namespace rio
