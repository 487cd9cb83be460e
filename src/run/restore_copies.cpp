// The safety copies under the root and their verification against their
// manifests, without a window: the restore, the console and the window's
// dialog (on a worker thread) share them.
#include "run/restore.h"

#include "data/error.h"
#include "data/filesystem.h"
#include "data/manifest.h"
#include "run/preliminary_check_archive.h"
#include "run/probes.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace rio {

namespace {

// "Copia_dati_" + ddmmyyyy, then "_" + hhmmss for a second copy the same
// day, then "_" + n when even that was taken.
const QRegularExpression& copyName()
{
    static const QRegularExpression re(QStringLiteral("^copia_dati_(\\d{8})(?:_(\\d{6}))?(?:_\\d+)?$"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

// When the copy was taken: the date from its name; the time from its name,
// else from the manifest written as the copy ended (or the folder), when
// that is the same day. A name of another form: the folder's time.
void settleTime(SafetyCopy& copy, const QString& hostFolder)
{
    const QFileInfo manifest(hostFolder + QLatin1Char('/') + QLatin1String(fs::ManifestFileName));
    const QDateTime written = (manifest.isFile() ? manifest : QFileInfo(hostFolder)).lastModified();
    const QRegularExpressionMatch m = copyName().match(copy.name);
    const QDate date = m.hasMatch() ? QDate::fromString(m.captured(1), QStringLiteral("ddMMyyyy")) : QDate();
    if (!date.isValid()) {
        copy.taken = written;
        copy.timeKnown = true;
        return;
    }
    const QTime time = QTime::fromString(m.captured(2), QStringLiteral("HHmmss"));
    if (time.isValid()) {
        copy.taken = QDateTime(date, time);
        copy.timeKnown = true;
    } else if (written.date() == date) {
        copy.taken = written;
        copy.timeKnown = true;
    } else {
        copy.taken = QDateTime(date, QTime(0, 0));
    }
}

struct Cancelled
{
};

// Bytes read between two yields of the hash: it yields every few megabytes.
constexpr qint64 HashStep = qint64(8) << 20;

} // namespace

QString SafetyCopy::takenText() const
{
    return taken.toString(timeKnown ? QStringLiteral("dd/MM/yyyy HH:mm") : QStringLiteral("dd/MM/yyyy"));
}

QString SafetyCopy::sizeText() const
{
    return megabytes(bytes);
}

QList<SafetyCopy> listSafetyCopies(const QString& root)
{
    QList<SafetyCopy> copies;
    const QString hostRoot = fs::hostPath(root);
    // A link is no copy this program made, and a restore never reads through one.
    const QStringList names = QDir(hostRoot).entryList({QStringLiteral("copia_dati_*")},
                                                       QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        SafetyCopy copy;
        copy.name = name;
        copy.path = root + name;
        const QString host = hostRoot + QLatin1Char('/') + name;
        const QFileInfo manifest(host + QLatin1Char('/') + QLatin1String(fs::ManifestFileName));
        copy.hasManifest = manifest.isFile();
        copy.bytes = folderSize(host) - (copy.hasManifest ? manifest.size() : 0);
        settleTime(copy, host);
        copies << copy;
    }
    std::sort(copies.begin(), copies.end(), [](const SafetyCopy& a, const SafetyCopy& b) {
        if (a.taken != b.taken)
            return a.taken > b.taken;
        return a.name.compare(b.name, Qt::CaseInsensitive) > 0;
    });
    return copies;
}

QString CopyCheck::text() const
{
    // A box or a line names the first few files; the event list names them all.
    constexpr int Named = 10;
    QString named = QStringList(problems.mid(0, Named)).join(QStringLiteral(", "));
    if (problems.size() > Named)
        named += QStringLiteral(" e altri %1").arg(problems.size() - Named);
    switch (state) {
    case State::Verified:
        return QStringLiteral("verificata (%1 file)").arg(files);
    case State::NoManifest:
        return QStringLiteral("non verificabile: manca %1").arg(QLatin1String(fs::ManifestFileName));
    case State::Differs:
        return QStringLiteral("NON corrisponde al manifesto: ") + named;
    case State::Cancelled:
        return QStringLiteral("verifica interrotta");
    case State::Unreadable:
        break;
    }
    return QStringLiteral("illeggibile: ") + named;
}

CopyCheck checkSafetyCopy(const QString& copyPath, const std::function<void(qint64, qint64)>& progress,
                          const std::function<bool()>& cancelled)
{
    CopyCheck check;
    fs::Manifest manifest;
    try {
        manifest = fs::readManifest(copyPath);
    } catch (const Error& e) {
        check.state =
            e.number() == err::FileNotFound ? CopyCheck::State::NoManifest : CopyCheck::State::Unreadable;
        if (check.state == CopyCheck::State::Unreadable)
            check.problems << describe(e);
        return check;
    }
    check.files = int(manifest.size());

    // What the manifest does not list would be restored unverified.
    const QString host = fs::hostPath(copyPath);
    QSet<QString> listed;
    qint64 total = 0;
    for (const fs::ManifestEntry& e : std::as_const(manifest)) {
        listed.insert(e.path);
        total += QFileInfo(host + QLatin1Char('/') + e.path).size();
    }
    QDirIterator files(host, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString relative = QDir(host).relativeFilePath(files.next());
        if (relative != QLatin1String(fs::ManifestFileName) && !listed.contains(relative))
            check.problems << relative + QStringLiteral(" (non elencato nel manifesto)");
    }

    // One file at a time, so that progress and cancelling reach into it.
    qint64 done = 0;
    try {
        for (const fs::ManifestEntry& e : std::as_const(manifest)) {
            const qint64 size = QFileInfo(host + QLatin1Char('/') + e.path).size();
            qint64 within = 0;
            const auto yield = [&] {
                if (cancelled && cancelled())
                    throw Cancelled{};
                within = std::min(within + HashStep, size);
                if (progress)
                    progress(done + within, total);
            };
            yield();
            check.problems << fs::verifyManifest(copyPath, fs::Manifest{e}, yield);
            done += size;
        }
    } catch (const Cancelled&) {
        check.state = CopyCheck::State::Cancelled;
        return check;
    } catch (const Error& e) {
        check.state = CopyCheck::State::Unreadable;
        check.problems << describe(e);
        return check;
    }
    if (progress)
        progress(total, total);
    check.state = check.problems.isEmpty() ? CopyCheck::State::Verified : CopyCheck::State::Differs;
    return check;
}

QString setAsideFolder(const QString& root)
{
    const QString suffix = QLatin1String(SetAsideSuffix);
    const QStringList names = QDir(fs::hostPath(root))
                                  .entryList({QStringLiteral("dati") + suffix + QLatin1Char('*')},
                                             QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    // The newest by the time in its name.
    const auto stamp = [&](const QString& name) {
        return name.mid(name.indexOf(suffix, 0, Qt::CaseInsensitive) + suffix.size());
    };
    const auto newest = std::max_element(
        names.begin(), names.end(), [&](const QString& a, const QString& b) { return stamp(a) < stamp(b); });
    return newest == names.end() ? QString() : root + *newest;
}

} // namespace rio
