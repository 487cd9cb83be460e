#pragma once

#include <QString>
#include <QVariant>

namespace rio {

// A database value as the steps see it: text (a non-null QString), a whole
// number (qlonglong), a floating number (double), a date (QDateTime; a date
// alone has 00:00:00), a boolean, or Null. Null is the invalid QVariant and is
// never the empty text nor 0.
using Value = QVariant;

inline Value nullValue()
{
    return Value();
}
inline bool isNull(const Value& v)
{
    return !v.isValid();
}

// Text forms as an Italian Windows writes them (VB's CStr): a date as
// dd/mm/yyyy (" hh:mm:ss" added when it has a time of day; a time alone on
// Jet's day zero as hh:mm:ss), a number without thousands separators with ","
// as decimal separator and whole numbers without decimals, a boolean as
// "Vero"/"Falso". Null raises 94 "Invalid use of Null".
QString textOf(const Value& v);
// The same, with Null read as the empty text (as joining with & reads it).
QString textOrEmpty(const Value& v);

// The value as a double (VB's CDbl): numbers as they are, a boolean as -1/0,
// a numeric text (Italian or plain form) as its number. Null raises 94, a text
// that is no number raises 13 "Type mismatch".
double numberOf(const Value& v);

// The text without leading and trailing blanks, as the program's Trim takes
// them off: tabs and line breaks stay.
QString trimBlanks(const QString& s);

// Upper case of ASCII letters only, as the file's text comparison folds them,
// so that a key made by the program and the database agree ("caffè" stays
// matchable).
QString asciiUpper(const QString& s);

} // namespace rio
