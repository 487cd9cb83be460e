// The safety copies under the root and their verification against their
// manifests, without a window: the restore, the console and the window's
// dialog (on a worker thread) share them.
#include "run/restore.h"

#include "context/layout.h"
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
    QDateTime written = (manifest.isFile() ? manifest : QFileInfo(hostFolder)).lastModified();
    // To the second, as the names are: a second copy made within the same
    // second as the first still sorts after it, by its longer name.
    written = written.addMSecs(-written.time().msec());
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

QList<int> companiesWithNewYear(const QString& dataFolder)
{
    QList<int> found;
    const QString companies = dataFolder + QStringLiteral("\\esercizi\\");
    for (int n = 1; n <= 10; ++n) {
        const QString company = companies + layout::companyFolderName(n) + QLatin1Char('\\');
        if (!fs::Dir(company + QStringLiteral("%1\\dati.mdb").arg(layout::AnnoInCorso)).isEmpty() &&
            fs::FolderExists(company + QString::number(layout::AnnoDaAprire)))
            found << n;
    }
    return found;
}

QString companyList(const QList<int>& found)
{
    QStringList names;
    for (int n : found)
        names << layout::companyFolderName(n);
    return names.join(QStringLiteral(", "));
}

QString ageText(const QDateTime& taken, bool timeKnown, const QDateTime& now)
{
    const qint64 days = taken.date().daysTo(now.date());
    const auto count = [](qint64 n, const char* one, const char* many) {
        return QStringLiteral("%1 %2 fa").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    if (days < 0)
        return QStringLiteral("data futura");
    if (days == 0) {
        if (!timeKnown)
            return QStringLiteral("oggi");
        const qint64 minutes = std::max<qint64>(0, taken.secsTo(now) / 60);
        if (minutes < 1)
            return QStringLiteral("meno di un minuto fa");
        if (minutes < 60)
            return count(minutes, "minuto", "minuti");
        return count(minutes / 60, "ora", "ore");
    }
    if (days == 1)
        return QStringLiteral("ieri");
    if (days < 60)
        return count(days, "giorno", "giorni");
    if (days < 365)
        return count(days / 30, "mese", "mesi");
    return count(days / 365, "anno", "anni");
}

QString SafetyCopy::ageText(const QDateTime& now) const
{
    return rio::ageText(taken, timeKnown, now);
}

namespace {

QString kindText(const QList<int>& opened)
{
    if (opened.isEmpty())
        return QStringLiteral("prima della riapertura");
    return QStringLiteral("contiene già il %1 (%2)").arg(layout::AnnoDaAprire).arg(companyList(opened));
}

} // namespace

QString dataKindText(const QString& dataFolder)
{
    return kindText(companiesWithNewYear(dataFolder));
}

QString SafetyCopy::kindText() const
{
    return rio::kindText(opened);
}

const SafetyCopy* defaultSafetyCopy(const QList<SafetyCopy>& copies)
{
    for (const SafetyCopy& copy : copies)
        if (copy.beforeOpening())
            return &copy;
    return nullptr;
}

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
        copy.opened = companiesWithNewYear(copy.path);
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

QDateTime setAsideTime(const QString& folder)
{
    const QString suffix = QLatin1String(SetAsideSuffix);
    const qsizetype at = folder.lastIndexOf(suffix, -1, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    return QDateTime::fromString(folder.mid(at + suffix.size(), 15), QStringLiteral("yyyyMMdd_HHmmss"));
}

} // namespace rio
