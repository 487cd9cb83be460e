#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The text forms of dates that cross between the steps and the files.
namespace rio {

// A date as the file holds it: ISO, with or without the time of day.
std::optional<QDateTime> parseIsoDate(const QString& text);

// A time of day alone ("10:30", "10:30:00"), on Jet's day zero.
std::optional<QDateTime> parseTimeOfDay(const QString& text);

// A date typed as an Italian Windows reads it: dd/mm/yyyy with an optional
// time of day, a time alone (on Jet's day zero), or ISO.
std::optional<QDateTime> parseItalianDate(const QString& text);

// dd/mm/yyyy and hh:mm:ss, as an Italian Windows writes them; written digit by
// digit, since formatting through a pattern costs more than a row's reading.
QString dayMonthYearText(const QDate& date);
QString clockText(const QTime& time);

} // namespace rio
