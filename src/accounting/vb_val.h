#pragma once

#include "data/value.h"

#include <QString>

namespace rio {

// The number written at the start of a text, read as VB's Val reads it:
// blanks, tabs and line feeds are skipped wherever they stand, "." is the
// decimal point whatever the locale, an exponent follows E, "&H"/"&O" start a
// hexadecimal/octal number (16 or 32 bits, signed), and reading stops at the
// first character that cannot continue the number. No number gives 0. A
// number too large raises 6 "Overflow".
double vbVal(const QString& text);

// Val of a value's text form (CStr first): Null raises 94 "Invalid use of
// Null", a number such as 12,5 is read up to its comma.
double vbVal(const Value& value);

} // namespace rio
