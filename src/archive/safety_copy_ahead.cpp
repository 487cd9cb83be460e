#include "archive/safety_copy_ahead.h"

#include "context/layout.h"
#include "data/error.h"
#include "data/filesystem.h"

#include <QDir>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include <chrono>

namespace rio {

namespace {

// Thrown on the copy's thread at its next file or few MiB once it is to stop.
struct CopyStopped
{
};

constexpr auto WaitStep = std::chrono::milliseconds(20);

// The copy's thread gives way to the others while it lives: the check before
// the run reads on two or three threads of its own, and the window's thread
// must not wait for the processor behind the copy's hashing. The copy only
// has to end before the run takes it over. (A thread of its own on Linux,
// which ends with the copy; on Windows one of a pool, given back as it was.)
class LowerPriority
{
public:
    LowerPriority()
    {
#ifdef Q_OS_LINUX
        constexpr int Nicer = 5;
        ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), Nicer);
#elif defined(Q_OS_WIN)
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#endif
    }
    ~LowerPriority()
    {
#ifdef Q_OS_WIN
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
#endif
    }
    LowerPriority(const LowerPriority&) = delete;
    LowerPriority& operator=(const LowerPriority&) = delete;
};

// The run's temporary folder in the data folder (layout::tempFolder): the
// run opens its log there, and writes its first lines, after the copy has
// begun. It is copied last, as it is when the run takes the copy over.
const QString WrittenMeanwhile = QStringLiteral("Tmp");

// Reads the files of the manifest back from the copy; raises 75 naming those that differ.
void readBack(const QString& working, const fs::Manifest& manifest, const std::function<void()>& yield)
{
    const QStringList differing = fs::verifyManifest(working, manifest, yield);
    if (!differing.isEmpty())
        throw Error(err::PathFileAccess, QStringLiteral("la copia %1 non corrisponde ai dati copiati: %2")
                                             .arg(working, differing.join(QStringLiteral(", "))));
}

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
                             const std::function<void()>& whileCopying,
                             const std::function<void()>& afterwards)
{
    fs::Manifest manifest;
    fs::CopyFolder(source, working, whileCopying, &manifest);
    fs::writeManifest(working, manifest);
    fs::SyncFolder(working, afterwards, true);
    afterwards();
    readBack(working, manifest, afterwards);
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
        m_work = std::async(std::launch::async, [this] {
            const LowerPriority givingWay;
            copy();
        });
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
    fs::CopyFolder(m_source, m_working, goOn, &m_manifest, {WrittenMeanwhile});
    // Synced here, not on the program's thread for long waits: that one
    // serves the check's own long statements meanwhile, which would wait
    // for these syncs, seconds on a big data folder, without a repaint.
    fs::SyncFolder(m_working, {}, true);
    goOn();
    readBack(m_working, m_manifest, goOn);
}

fs::Manifest SafetyCopyAhead::take(const std::function<void()>& whileWaiting)
{
    while (m_work.wait_for(WaitStep) == std::future_status::timeout)
        whileWaiting();
    // Ended (or deferred: it runs here now); the folder is the caller's.
    std::future<void> work = std::move(m_work);
    work.get();
    fs::Manifest manifest = std::move(m_manifest);
    fs::Manifest late;
    const QStringList names =
        QDir(fs::hostPath(m_source))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (name.compare(WrittenMeanwhile, Qt::CaseInsensitive) != 0)
            continue;
        fs::Manifest part;
        const QString folder = m_working + QLatin1Char('\\') + name;
        fs::CopyFolder(m_source + QLatin1Char('\\') + name, folder, whileWaiting, &part);
        // The rest of the copy is on disk already: this folder, and its name
        // in the copy, follow it there.
        fs::SyncFolder(folder, whileWaiting, true);
        for (fs::ManifestEntry& entry : part)
            entry.path = name + QLatin1Char('/') + entry.path;
        late += part;
    }
    manifest += late;
    // Written whole, synced with its name in the copy, and out of the cache
    // like every file of the copy.
    fs::writeManifest(m_working, manifest);
    fs::SyncFile(m_working + QLatin1Char('\\') + QLatin1String(fs::ManifestFileName), true);
    whileWaiting();
    readBack(m_working, late, whileWaiting);
    return manifest;
}

bool SafetyCopyAhead::discard(const std::function<void()>& whileWaiting)
{
    if (!m_work.valid())
        return true;
    m_stop = true;
    std::future<void> work = std::move(m_work);
    // A deferred copy that never ran has nothing to wait for.
    if (work.wait_for(std::chrono::seconds(0)) != std::future_status::deferred) {
        // The copy stops at its next file or few MiB, or once its sync is done.
        while (whileWaiting && work.wait_for(WaitStep) == std::future_status::timeout) {
            try {
                whileWaiting();
            } catch (...) {
                break; // waited for without it
            }
        }
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
