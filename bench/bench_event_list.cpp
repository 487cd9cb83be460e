// The window's event list under a run's load: N progress lines (default
// 1,000,000) through the progress-text service into the real window
// (offscreen), yielding once per line as the stock recomputation does.
// Prints the time, the peak memory, and how long a scroll and a repaint take
// with the full list. Usage: bench_event_list [lines]
#include "gui/event_list_model.h"
#include "gui/frm_riapri.h"
#include "shell/run_context.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

long peakKilobytes()
{
#ifdef Q_OS_UNIX
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return -1;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;

    qint64 runMs = 0;
    rio::gui::FrmRiapri window([&](rio::RunContext& ctx) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < lines; ++i) {
            ctx.setProgress(QStringLiteral("RIPRISTINO IN CORSO ARTICOLO: ART%1 - ARTICOLO DI PROVA")
                                .arg(i, 7, 10, QLatin1Char('0')));
            ctx.yield();
        }
        runMs = clock.elapsed();
        return rio::RunOutcome::Done;
    });
    window.resize(900, 700);
    window.show();
    QCoreApplication::processEvents();
    const long before = peakKilobytes();
    window.cmd_Click();

    auto* list = window.findChild<QListView*>(QStringLiteral("lstEventi"));
    QScrollBar* bar = list->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QElapsedTimer clock;
    clock.start();
    bar->setValue(bar->maximum() / 2);
    list->viewport()->repaint();
    bar->setValue(0);
    list->viewport()->repaint();
    const qint64 scrollMs = clock.elapsed();

    std::printf("righe: %d (nella lista %d)\n", lines, list->model()->rowCount());
    std::printf("tempo: %lld ms (%.2f us per riga)\n", runMs, lines ? runMs * 1000.0 / lines : 0.0);
    std::printf("memoria di picco: %ld MB (prima delle righe %ld MB)\n", peakKilobytes() / 1024,
                before / 1024);
    std::printf("in fondo alla lista: %s; scorrimento e due ridisegni: %lld ms\n", atEnd ? "si" : "no",
                scrollMs);
    return 0;
}
