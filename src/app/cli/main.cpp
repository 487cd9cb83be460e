// riapertura-cli: the year opening without the window.
#include "app/cli/console_run.h"
#include "data/one_heap.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    rio::keepOneHeap();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("riapertura-cli"));
    return rio::cli::consoleMain(QCoreApplication::arguments());
}
