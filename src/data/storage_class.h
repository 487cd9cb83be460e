#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// Through ODBC the SQLite driver types a value by the column's declared type
// and loses what does not fit ("n.d." in a REAL column reads as NULL, a DATE
// drops its time of day). A select is therefore read as text together with
// each value's storage class, and the value is rebuilt as the engine holds it.
namespace rio::storage {

bool isSelect(const QString& sql);

// Number of "?" parameters outside quoted literals.
int parameterCount(const QString& sql);

// "select * from (<sql>) limit 0": the result's column names, nothing read.
QString probe(const QString& sql);

// Each column as (storage class, value as text), reals with all their digits.
QString wrapped(const QString& sql, const QStringList& columns);

// The value from its storage class and its text.
QVariant rebuild(const QString& storageClass, const QVariant& text);

} // namespace rio::storage
