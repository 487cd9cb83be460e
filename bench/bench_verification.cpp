// The verification alone, on an installation a run has already opened:
// each company's two archives compared as the run compares them, the
// spreadsheets' lines made and dropped. Prints the CPU and wall time of each
// pass (the fastest counts) and a digest of everything the comparison found
// and every spreadsheet line, so that two builds can be seen to give the
// same report. With --dump FILE the lines themselves go to FILE.
// With --rapporto the whole verification runs once as the run ends it (the
// report and its spreadsheets written beside the data), and the longest
// stretches without a yield are printed, each with the time it ended.
// bench_verification --drive-c CARTELLA [--runs N] [--dump FILE] [--rapporto]
#include "context/host.h"
#include "context/layout.h"
#include "context/run_context.h"
#include "context/run_state.h"
#include "data/database.h"
#include "data/filesystem.h"
#include "data/one_heap.h"
#include "run/verification.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <QTime>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// A digest of every line, eight bytes at a time: it tells two builds' lines
// apart at a cost (a few ms on medium) that leaves the measure the
// verification's; a cryptographic hash of the 20 MB of lines took a fifth
// of it.
class Digest
{
public:
    void add(const QByteArray& bytes)
    {
        const char* at = bytes.constData();
        const char* const end = at + bytes.size();
        for (; end - at >= 8; at += 8) {
            quint64 word = 0;
            std::memcpy(&word, at, 8);
            mix(word);
        }
        quint64 tail = 0;
        std::memcpy(&tail, at, size_t(end - at));
        mix(tail ^ (quint64(end - at) << 56));
    }
    QByteArray text() const { return QByteArray::number(m_value, 16).rightJustified(16, '0'); }

private:
    void mix(quint64 word)
    {
        m_value = (m_value ^ word) * 0x9E3779B97F4A7C15ULL;
        m_value ^= m_value >> 29;
    }
    quint64 m_value = 0xcbf29ce484222325ULL;
};

// Everything a company's comparison gives, a line each.
void describe(const rio::CompanyVerification& v, QByteArray& out)
{
    out += QStringLiteral("azienda %1 %2\n").arg(v.slot).arg(v.name).toUtf8();
    for (const rio::CheckLine& c : v.checks)
        out += QStringLiteral("controllo %1|%2|%3|%4|%5|%6\n")
                   .arg(c.area, c.what, c.expected, c.found,
                        c.ok ? QStringLiteral("ok") : QStringLiteral("ko"), c.id)
                   .toUtf8();
    for (const rio::PartyLine& p : v.parties)
        out += QStringLiteral("parte %1|%2|%3|%4|%5|%6|%7\n")
                   .arg(p.tipo, p.codice, p.name)
                   .arg(p.expectedCount)
                   .arg(p.expectedTotal, 0, 'g', 17)
                   .arg(p.carriedCount)
                   .arg(p.carriedTotal, 0, 'g', 17)
                   .toUtf8();
    for (const rio::Finding& f : v.findings) {
        out += QStringLiteral("esito %1|%2|%3\n").arg(int(f.kind)).arg(f.area, f.text).toUtf8();
        for (const rio::StockWarning& w : f.stock)
            out += QStringLiteral("  riga %1|%2|%3|%4|%5|%6|%7\n")
                       .arg(int(w.reason))
                       .arg(w.code, w.description, w.twins.join(QLatin1Char(',')), w.dep)
                       .arg(w.expected, 0, 'g', 17)
                       .arg(w.found, 0, 'g', 17)
                       .toUtf8();
    }
    for (const QString& r : v.refusedItems)
        out += QStringLiteral("rifiutata %1\n").arg(r).toUtf8();
}

// The CPU time of the calling thread, in microseconds: a stretch between two
// yields that is long in wall time but short in CPU time waited for the
// processor (a loaded machine) or the disk, not for this program's work.
qint64 threadCpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// A screen that only measures how long the work goes between two yields.
class GapHost : public rio::Host
{
public:
    GapHost() : m_cpu(threadCpuUs()) { m_sinceYield.start(); }
    void addEvent(const QString&) override {}
    bool logWanted() const override { return false; }
    rio::DataSource dataSource() const override { return rio::DataSource::Local; }
    bool zetaFolderChosen() const override { return false; }
    rio::Answer message(const QString&, rio::Buttons, rio::Icon, const QString&) override
    {
        return rio::Answer::Ok;
    }
    void closeProgram() override {}
    void yield() override
    {
        const qint64 gap = m_sinceYield.restart();
        const qint64 cpu = threadCpuUs();
        const qint64 cpuGap = (cpu - m_cpu) / 1000;
        m_cpu = cpu;
        ++m_yields;
        if (gap > 100 || cpuGap > 50)
            m_long << QStringLiteral("%1 ms (CPU %2 ms), fino alle %3")
                          .arg(gap)
                          .arg(cpuGap)
                          .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")));
        m_longest = std::max(m_longest, gap);
        m_longestCpu = std::max(m_longestCpu, cpuGap);
    }
    // The last stretch, up to now.
    void finish() { yield(); }

    QStringList m_long;
    qint64 m_longest = 0;
    qint64 m_longestCpu = 0;
    qint64 m_yields = 0;

private:
    QElapsedTimer m_sinceYield;
    qint64 m_cpu = 0;
};

// The verification as the run ends it, on every company of the installation.
int wholeReport(const QString& root, const QString& workgroup)
{
    GapHost host;
    rio::RunState state;
    state.PercorsoBase = root;
    state.PercorsoSystemMdw = workgroup;
    for (int slot = 1; slot <= 10; ++slot)
        if (QFile::exists(rio::fs::hostPath(rio::layout::archivePath(
                root, rio::layout::companyFolderName(slot), rio::layout::AnnoDaAprire)))) {
            state.record.companies << slot;
            state.record.initialised << slot;
        }
    rio::RunContext ctx(host, state);
    QString path;
    const qint64 cpu0 = cpuMs();
    QElapsedTimer wall;
    wall.start();
    const rio::VerificationReport report = rio::verifyYearOpening(ctx, &path);
    host.finish();
    QTextStream out(stdout);
    out << "rapporto: CPU " << (cpuMs() - cpu0) << " ms, tempo " << wall.elapsed() << " ms, "
        << report.companies.size() << " aziende, pausa più lunga " << host.m_longest << " ms (in CPU "
        << host.m_longestCpu << " ms), cedimenti " << host.m_yields << '\n';
    for (const QString& gap : std::as_const(host.m_long))
        out << "  pausa " << gap << '\n';
    return path.isEmpty() ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    rio::keepOneHeap();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString drive;
    QString dumpPath;
    int runs = 3;
    const bool report = args.contains(QStringLiteral("--rapporto"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--drive-c"))
            drive = args.at(++i);
        else if (args.at(i) == QLatin1String("--runs"))
            runs = std::max(1, args.at(++i).toInt());
        else if (args.at(i) == QLatin1String("--dump"))
            dumpPath = args.at(++i);
    }
    if (drive.isEmpty()) {
        QTextStream(stderr)
            << "uso: bench_verification --drive-c CARTELLA [--runs N] [--dump FILE] [--rapporto]\n";
        return 2;
    }
    qputenv("RIAPERTURA_DRIVE_C", QDir(drive).absolutePath().toUtf8());
    const QString root = QStringLiteral("C:\\Programmi\\Ventor Sistemi\\");
    const QString workgroup = rio::layout::workgroupFilePath(false, QStringLiteral("Programmi"));

    if (report)
        return wholeReport(root, workgroup);

    qint64 bestCpu = std::numeric_limits<qint64>::max();
    qint64 bestWall = bestCpu;
    QByteArray digest;
    QByteArray dump;
    for (int r = 0; r < runs; ++r) {
        // Every line goes into the digest; only a dump keeps them.
        Digest hash;
        const bool keep = !dumpPath.isEmpty();
        dump.clear();
        const auto add = [&](const QByteArray& line) {
            hash.add(line);
            if (keep)
                dump += line;
        };
        const qint64 cpu0 = cpuMs();
        QElapsedTimer wall;
        wall.start();
        for (int slot = 1; slot <= 10; ++slot) {
            const QString numero = rio::layout::companyFolderName(slot);
            const QString oldPath = rio::layout::archivePath(root, numero, rio::layout::AnnoInCorso);
            if (!QFile::exists(rio::fs::hostPath(oldPath)))
                continue;
            rio::Connection oldDb;
            oldDb.open(rio::layout::archiveConnectionString(oldPath, workgroup));
            rio::Connection newDb;
            newDb.open(rio::layout::archiveConnectionString(
                rio::layout::archivePath(root, numero, rio::layout::AnnoDaAprire), workgroup));
            const rio::SpreadsheetRows rows{
                [&add](const rio::CompanyVerification& c, const rio::StockRow& row) {
                    add(rio::spreadsheetLine(c, row));
                },
                [&add](const rio::CompanyVerification& c, const rio::OpenItemRow& row) {
                    add(rio::spreadsheetLine(c, row));
                }};
            const rio::CompanyVerification v = rio::verifyCompany(oldDb, newDb, slot, true, rows);
            QByteArray found;
            describe(v, found);
            add(found);
        }
        bestWall = std::min(bestWall, wall.elapsed());
        bestCpu = std::min(bestCpu, cpuMs() - cpu0);
        digest = hash.text();
    }
    if (!dumpPath.isEmpty()) {
        QFile file(dumpPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(dump) != dump.size())
            return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    QTextStream(stdout) << "verifica: CPU " << bestCpu << " ms, tempo " << bestWall << " ms (la migliore di "
                        << runs << "), memoria massima " << usage.ru_maxrss / 1024 << " MB, impronta "
                        << digest << '\n';
    return 0;
}
