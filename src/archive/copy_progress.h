#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include <functional>

namespace rio {

class RunContext;

// The bytes of every file under a folder (a host path); 0 for none.
qint64 treeBytes(const QString& hostFolder);

// A folder copy's share of the run's progress: the bytes already under the
// destinations against the bytes of the sources, measured at most every
// quarter of a second (a walk of the tree being written), so that the bar
// moves through a long copy instead of jumping at its end.
class CopyProgress
{
public:
    // total: the bytes the copies will write; reports 0 of it.
    CopyProgress(RunContext& ctx, qint64 total);

    // The yield to give a copy into hostDestination, with doneBefore bytes
    // written by the copies before it: yields, and now and then reports.
    std::function<void()> yieldWhileCopying(const QString& hostDestination, qint64 doneBefore);
    // done bytes are written: reports them at once.
    void reached(qint64 done);

private:
    RunContext& m_ctx;
    qint64 m_total;
    QElapsedTimer m_sinceReport;
};

} // namespace rio
