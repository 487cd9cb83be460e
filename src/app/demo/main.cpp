#include "app/demo/demo_installation.h"
#include "app/demo/demo_options.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>

// riapertura-demo: writes a demonstration installation of the product.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString error;
    QString information;
    const auto options = rio::demo::parseDemoArguments(app.arguments().mid(1), error, &information);
    if (!options) {
        if (error.isEmpty()) {
            out << information;
            return rio::demo::DemoWritten;
        }
        err << "riapertura-demo: " << error << '\n';
        return rio::demo::DemoUsage;
    }
    try {
        QElapsedTimer timer;
        timer.start();
        const auto summary =
            rio::demo::writeDemoInstallation(*options, [&](int slot, const rio::demo::ArchiveSummary& c) {
                out << QStringLiteral(
                           "  Azienda_%1: %2 - %3 articoli, %4 movimenti di magazzino, %5 partite aperte, "
                           "%6 chiuse\n")
                           .arg(slot)
                           .arg(c.companyName)
                           .arg(c.articles)
                           .arg(c.movements)
                           .arg(c.openItems)
                           .arg(c.closedItems);
                out.flush();
            });
        out << "Installazione dimostrativa scritta in "
            << QDir::toNativeSeparators(QDir(options->dir).absolutePath()) << " (unità C:)\n"
            << "  Radice dell'installazione (tabella system): " << summary.installationRoot << '\n'
            << QStringLiteral("Fatto in %1 s.\n").arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1);
        return rio::demo::DemoWritten;
    } catch (const rio::demo::DemoRefused& e) {
        err << "riapertura-demo: " << QString::fromStdString(e.what()) << '\n';
        return rio::demo::DemoRefusedFolder;
    } catch (const std::exception& e) {
        err << "riapertura-demo: " << QString::fromStdString(e.what()) << '\n';
        return rio::demo::DemoFailed;
    }
}
