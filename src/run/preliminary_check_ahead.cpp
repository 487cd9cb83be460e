// The engine's integrity check of the next archive, run on a thread of its
// own while the current one is reviewed: the check walks every page of a
// file of tens of megabytes, and the review reads the archive before it.
#include "context/layout.h"
#include "data/database.h"
#include "data/error.h"
#include "data/interrupted_write.h"
#include "run/preliminary_check_archive.h"

#include <chrono>

namespace rio {

QStringList integrityFindings(Connection& archive)
{
    constexpr int ProblemsNamed = 3;
    try {
        return integrityProblems(archive, ProblemsNamed);
    } catch (const Error& e) {
        return {e.description()};
    }
}

void useCheckCache(Connection& archive)
{
    constexpr int CheckCacheKb = 8192;
    if (archive.driver() == Connection::Driver::OdbcAccess)
        return;
    try {
        archive.execute(QStringLiteral("pragma cache_size = -%1").arg(CheckCacheKb));
    } catch (const Error&) {
        // The engine's own cache reads the same rows, only with more memory.
    }
}

namespace {

// On the worker: a connection of its own, opened, checked and closed there
// (a connection serves the thread that opened it). nullopt when the archive
// does not open: the check on the caller's thread says why.
std::optional<QStringList> checkOnWorker(const QString& workgroup, const QString& archivePath)
{
    try {
        Connection archive;
        archive.open(layout::archiveConnectionString(archivePath, workgroup));
        useCheckCache(archive);
        QStringList problems = integrityFindings(archive);
        archive.close();
        return problems;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

IntegrityAhead::~IntegrityAhead()
{
    // A check still running holds its connection: it ends first.
    if (m_result.valid())
        m_result.wait();
}

void IntegrityAhead::start(const QString& workgroup, const QString& archivePath)
{
    if (m_result.valid())
        return;
    try {
        // Opening beside a journal could play it back: such an archive waits
        // for its turn, where its locks are looked at first.
        if (leftoverJournal(archivePath) != LeftoverJournal::None)
            return;
        m_result = std::async(std::launch::async, checkOnWorker, workgroup, archivePath);
        m_archive = archivePath;
    } catch (...) {
        // No thread to be had: the archive is checked in its turn.
    }
}

std::optional<QStringList> IntegrityAhead::take(Checker& check, const QString& archivePath)
{
    if (!m_result.valid())
        return std::nullopt;
    while (m_result.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready)
        check.yield();
    std::optional<QStringList> problems = m_result.get();
    if (m_archive != archivePath)
        return std::nullopt;
    return problems;
}

} // namespace rio
