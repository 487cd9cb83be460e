#pragma once

#include <QString>

namespace rio {

// Checks the account against the workgroup file, as Jet does before it opens
// a database; raises -2147217843 naming the file.
void checkWorkgroup(const QString& windowsPath, const QString& user, const QString& password);

} // namespace rio
