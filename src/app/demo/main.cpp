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
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h"))) {
        out << rio::demo::demoUsage();
        return 0;
    }
    QString error;
    const auto options = rio::demo::parseDemoArguments(arguments, error);
    if (!options) {
        err << "riapertura-demo: " << error << "\n\n" << rio::demo::demoUsage();
        return 2;
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
        return 0;
    } catch (const rio::demo::DemoRefused& e) {
        err << "riapertura-demo: " << QString::fromStdString(e.what()) << '\n';
        return 3;
    } catch (const std::exception& e) {
        err << "riapertura-demo: " << QString::fromStdString(e.what()) << '\n';
        return 1;
    }
}
