#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A folder outside every installation, for links planted to point into it:
// fuori.txt, fuori.mdb and cartella/dentro.txt. state() is every name under
// it with its size and content hash (folders too), so that a test proves
// that nothing outside the installation changed.
class OutsideFolder
{
public:
    OutsideFolder();
    QString path(const QString& relative = {}) const;
    QStringList state() const;

private:
    QTemporaryDir m_dir;
};
