#include "archive/copy_progress.h"

#include "context/run_context.h"

#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace rio {

namespace {
constexpr qint64 MeasureEveryMs = 250;
} // namespace

qint64 treeBytes(const QString& hostFolder)
{
    qint64 total = 0;
    QDirIterator it(hostFolder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

CopyProgress::CopyProgress(RunContext& ctx, qint64 total) : m_ctx(ctx), m_total(std::max<qint64>(1, total))
{
    reached(0);
}

std::function<void()> CopyProgress::yieldWhileCopying(const QString& hostDestination, qint64 doneBefore)
{
    return [this, hostDestination, doneBefore] {
        m_ctx.yield();
        if (m_sinceReport.elapsed() < MeasureEveryMs)
            return;
        // Files being written count as far as they have come.
        m_ctx.stepProgress(std::min(m_total, doneBefore + treeBytes(hostDestination)), m_total);
        m_sinceReport.restart();
    };
}

void CopyProgress::reached(qint64 done)
{
    m_ctx.stepProgress(std::min(m_total, done), m_total);
    m_sinceReport.restart();
}

} // namespace rio
