#pragma once

#include "data/database.h"

#include <QMetaType>

// How values cross between the steps and the file: typed by the column's
// declared type on the way in and on the way out.
namespace rio {

// The declared type of a column ("DATE", "REAL", "BOOLEAN", ...).
ColumnType columnTypeOf(const QString& declaredType);

// The column type of a field as a driver describes it, for engines without
// declared type names.
ColumnType columnTypeOf(QMetaType driverType);

// A value read from the engine, typed by the column's declared type. A value
// stored under another type than declared reads as stored; SQL NULL is Null.
Value readValue(const QVariant& raw, bool isSqlNull, ColumnType type);

// The form a value is bound in: dates as ISO text, booleans as 0/1, whole
// numbers as qlonglong, Null as a null of the column's type, text never null.
QVariant bindableValue(const Value& value, ColumnType type);

// ISO text of a date as the file holds it: "yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss".
QString isoDateText(const QDateTime& dt);

} // namespace rio
