// The verification alone, on an installation a run has already opened:
// each company's two archives compared as the run compares them, the
// spreadsheets' lines made and dropped. Prints the CPU and wall time of each
// pass (the fastest counts) and a digest of everything the comparison found
// and every spreadsheet line, so that two builds can be seen to give the
// same report. With --dump FILE the lines themselves go to FILE.
// bench_verification --drive-c CARTELLA [--runs N] [--dump FILE]
#include "context/layout.h"
#include "data/database.h"
#include "data/filesystem.h"
#include "data/one_heap.h"
#include "run/verification.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <limits>

namespace {

qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

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

} // namespace

int main(int argc, char** argv)
{
    rio::keepOneHeap();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString drive;
    QString dumpPath;
    int runs = 3;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--drive-c"))
            drive = args.at(i + 1);
        else if (args.at(i) == QLatin1String("--runs"))
            runs = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--dump"))
            dumpPath = args.at(i + 1);
    }
    if (drive.isEmpty()) {
        QTextStream(stderr) << "uso: bench_verification --drive-c CARTELLA [--runs N] [--dump FILE]\n";
        return 2;
    }
    qputenv("RIAPERTURA_DRIVE_C", QDir(drive).absolutePath().toUtf8());
    const QString root = QStringLiteral("C:\\Programmi\\Ventor Sistemi\\");
    const QString workgroup = rio::layout::workgroupFilePath(false, QStringLiteral("Programmi"));

    qint64 bestCpu = std::numeric_limits<qint64>::max();
    qint64 bestWall = bestCpu;
    QByteArray digest;
    QByteArray dump;
    for (int r = 0; r < runs; ++r) {
        QByteArray lines;
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
                [&lines](const rio::CompanyVerification& c, const rio::StockRow& row) {
                    lines += rio::spreadsheetLine(c, row);
                },
                [&lines](const rio::CompanyVerification& c, const rio::OpenItemRow& row) {
                    lines += rio::spreadsheetLine(c, row);
                }};
            const rio::CompanyVerification v = rio::verifyCompany(oldDb, newDb, slot, true, rows);
            describe(v, lines);
        }
        bestWall = std::min(bestWall, wall.elapsed());
        bestCpu = std::min(bestCpu, cpuMs() - cpu0);
        digest = QCryptographicHash::hash(lines, QCryptographicHash::Sha256).toHex().left(16);
        dump = lines;
    }
    if (!dumpPath.isEmpty()) {
        QFile file(dumpPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(dump) != dump.size())
            return 1;
    }
    QTextStream(stdout) << "verifica: CPU " << bestCpu << " ms, tempo " << bestWall << " ms (la migliore di "
                        << runs << "), impronta " << digest << '\n';
    return 0;
}
