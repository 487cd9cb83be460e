#include "archive/safety_copy_ahead.h"

#include "context/layout.h"
#include "data/error.h"
#include "data/filesystem.h"

#include <chrono>

namespace rio {

namespace {

// Thrown on the copy's thread at its next file or few MiB once it is to stop.
struct CopyStopped
{
};

constexpr auto WaitStep = std::chrono::milliseconds(20);

} // namespace

QString freeCopyFolder(const QString& root, const QDateTime& started)
{
    const QString daily = root + layout::safetyCopyName(started.date());
    if (!fs::NameTaken(daily))
        return daily;
    const QString timed = root + layout::safetyCopyName(started);
    QString candidate = timed;
    for (int n = 2; fs::NameTaken(candidate); ++n)
        candidate = timed + QLatin1Char('_') + QString::number(n);
    return candidate;
}

QString freeWorkingFolder(const QString& root, const QString& finalPath)
{
    const QString base = root + QLatin1String(layout::UnfinishedCopyPrefix) + finalPath.mid(root.size());
    QString candidate = base;
    for (int n = 2; fs::NameTaken(candidate); ++n)
        candidate = base + QLatin1Char('_') + QString::number(n);
    return candidate;
}

fs::Manifest copyAndReadBack(const QString& source, const QString& working,
                             const std::function<void()>& whileCopying, const std::function<void()>& afterwards)
{
    fs::Manifest manifest;
    fs::CopyFolder(source, working, whileCopying, &manifest);
    fs::writeManifest(working, manifest);
    fs::SyncFolder(working, afterwards, true);
    afterwards();
    const QStringList differing = fs::verifyManifest(working, manifest, afterwards);
    if (!differing.isEmpty())
        throw Error(err::PathFileAccess, QStringLiteral("la copia %1 non corrisponde ai dati copiati: %2")
                                             .arg(working, differing.join(QStringLiteral(", "))));
    return manifest;
}

SafetyCopyAhead::~SafetyCopyAhead()
{
    discard();
}

bool SafetyCopyAhead::start(const QString& root, const QString& dataFolder)
{
    if (m_work.valid())
        return false;
    m_root = root;
    m_source = dataFolder;
    m_started = QDateTime::currentDateTime();
    m_working = freeWorkingFolder(root, freeCopyFolder(root, m_started));
    m_stop = false;
    m_manifest.clear();
    try {
        m_work = std::async(std::launch::async, [this] { copy(); });
    } catch (const std::system_error&) {
        // No thread to be had: the copy runs when taken, on the taker's.
        m_work = std::async(std::launch::deferred, [this] { copy(); });
    }
    return true;
}

// On the copy's own thread: nothing here touches the screen or the run's
// state, only the files and this object's manifest.
void SafetyCopyAhead::copy()
{
    const auto goOn = [this] {
        if (m_stop)
            throw CopyStopped{};
    };
    m_manifest = copyAndReadBack(m_source, m_working, goOn, goOn);
}

fs::Manifest SafetyCopyAhead::take(const std::function<void()>& whileWaiting)
{
    while (m_work.wait_for(WaitStep) == std::future_status::timeout)
        whileWaiting();
    // Ended (or deferred: it runs here now); the folder is the caller's.
    std::future<void> work = std::move(m_work);
    work.get();
    return std::move(m_manifest);
}

bool SafetyCopyAhead::discard()
{
    if (!m_work.valid())
        return true;
    m_stop = true;
    std::future<void> work = std::move(m_work);
    // A deferred copy that never ran has nothing to wait for.
    if (work.wait_for(std::chrono::seconds(0)) != std::future_status::deferred) {
        try {
            work.get();
        } catch (...) {
            // Stopped, or failed on its own: either way it is removed.
        }
    }
    try {
        return fs::RemoveFolder(m_working);
    } catch (...) {
        // A link put at its name since: what it leads to is not ours.
        return false;
    }
}

} // namespace rio
