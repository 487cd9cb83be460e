#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace rio::demo {

// A private connection of Qt's SQLite driver to one new file, tuned for
// writing a whole archive in one transaction. Failures raise
// std::runtime_error with the statement and the driver's text.
class Sql
{
public:
    explicit Sql(const QString& hostFile);
    ~Sql();
    Sql(const Sql&) = delete;
    Sql& operator=(const Sql&) = delete;

    void run(const QString& statement);
    QSqlQuery prepare(const QString& statement);
    void exec(QSqlQuery& query, const QVariantList& values);
    void begin();
    void commit();

private:
    QString m_name;
    QString m_file;
};

} // namespace rio::demo
