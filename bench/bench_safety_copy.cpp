// What hashing costs the safety copy: the data folder of an installation
// copied as before (no hash), and copied with every file hashed from the same
// read, its manifest written and the copy read back against it.
// bench_safety_copy --drive-c CARTELLA [prove]   (default 3; the fastest of each counts,
// after one pass not counted that warms the cache)
#include "data/filesystem.h"
#include "data/manifest.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <limits>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3 || args.at(1) != QLatin1String("--drive-c")) {
        QTextStream(stderr) << "uso: bench_safety_copy --drive-c CARTELLA [prove]\n";
        return 2;
    }
    qputenv("RIAPERTURA_DRIVE_C", QDir(args.at(2)).absolutePath().toUtf8());
    const int runs = args.size() > 3 ? std::max(1, args.at(3).toInt()) : 3;
    const QString data = QStringLiteral("C:\\Programmi\\Ventor Sistemi\\dati");
    const QString target = QStringLiteral("C:\\bench_copia");

    qint64 plain = std::numeric_limits<qint64>::max();
    qint64 hashed = plain;
    qint64 checked = plain;
    qint64 files = 0;
    // One copy first, not counted, so that every timed pass reads the data
    // folder from the same cache.
    rio::fs::CopyFolder(data, target);
    QDir(rio::fs::hostPath(target)).removeRecursively();
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        rio::fs::CopyFolder(data, target);
        plain = std::min(plain, timer.elapsed());
        QDir(rio::fs::hostPath(target)).removeRecursively();

        timer.start();
        rio::fs::Manifest manifest;
        rio::fs::CopyFolder(data, target, {}, &manifest);
        rio::fs::writeManifest(target, manifest);
        hashed = std::min(hashed, timer.elapsed());
        timer.start();
        if (!rio::fs::verifyManifest(target, manifest).isEmpty()) {
            QTextStream(stderr) << "la copia non corrisponde al manifesto\n";
            return 1;
        }
        checked = std::min(checked, timer.elapsed());
        files = manifest.size();
        QDir(rio::fs::hostPath(target)).removeRecursively();
    }
    QTextStream out(stdout);
    out << "copia: " << files << " file\n"
        << "copia senza hash (ms): " << plain << '\n'
        << "copia con hash e manifesto (ms): " << hashed << '\n'
        << "rilettura e confronto (ms): " << checked << '\n'
        << "costo di hash e verifica (ms): " << hashed + checked - plain << '\n';
    return 0;
}
