#include "app/demo/demo_sql.h"

#include <QSqlError>
#include <QUuid>

#include <stdexcept>

namespace rio::demo {

namespace {

[[noreturn]] void fail(const QString& what, const QSqlError& error)
{
    throw std::runtime_error(QString(what + QStringLiteral(": ") + error.text()).toStdString());
}

} // namespace

Sql::Sql(const QString& hostFile)
    : m_name(QStringLiteral("demo-") + QUuid::createUuid().toString(QUuid::WithoutBraces)), m_file(hostFile)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(hostFile);
    if (!db.open())
        fail(QStringLiteral("Impossibile creare %1").arg(hostFile), db.lastError());
    // A file being written from scratch: no journal, no waiting on the disk.
    run(QStringLiteral("pragma journal_mode = off"));
    run(QStringLiteral("pragma synchronous = off"));
}

Sql::~Sql()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

void Sql::run(const QString& statement)
{
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.exec(statement))
        fail(statement, q.lastError());
}

QSqlQuery Sql::prepare(const QString& statement)
{
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.prepare(statement))
        fail(statement, q.lastError());
    return q;
}

void Sql::exec(QSqlQuery& query, const QVariantList& values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values[i]);
    if (!query.exec())
        fail(query.lastQuery(), query.lastError());
}

void Sql::begin()
{
    run(QStringLiteral("begin"));
}

void Sql::commit()
{
    run(QStringLiteral("commit"));
}

} // namespace rio::demo
