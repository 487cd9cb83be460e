#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// Conversions shared by the value helpers and the column conversions.
namespace rio {

// A number written as text, in the Italian form ("1.234,5") or the plain one
// ("1234.5"); nothing when the text is no number.
std::optional<double> parseNumberText(const QString& text);

// Jet's date serial: days since 30/12/1899, the time of day as the fraction.
double dateSerial(const QDateTime& dt);
QDateTime dateFromSerial(double serial);

} // namespace rio
