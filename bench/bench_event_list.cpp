// Appends lines to the window's event list through the progress text, as a
// run does, then checks that the list still scrolls: bench_event_list [lines]
// (default 1000000). Prints time, peak memory and the longest pause between
// repaints of the window.
#include "context/run_context.h"
#include "gui/event_list_model.h"
#include "gui/frm_riapri.h"
#include "run/run.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>

namespace {

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024; // kilobytes on Linux
}

// Measures the longest stretch without a repaint of any widget of the window.
class PaintWatch : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            if (m_timer.isValid())
                m_longest = std::max(m_longest, m_timer.elapsed());
            m_timer.restart();
            ++m_paints;
        }
        return QObject::eventFilter(watched, event);
    }
    void start() { m_timer.start(); }
    qint64 longest() const { return m_longest; }
    qint64 paints() const { return m_paints; }

private:
    QElapsedTimer m_timer;
    qint64 m_longest = 0;
    qint64 m_paints = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int lines = args.size() > 1 ? args.at(1).toInt() : 1000000;
    QTextStream out(stdout);

    const long before = peakMegabytes();
    PaintWatch paints;
    qint64 appendMs = 0;
    qint64 yieldNs = 0;
    rio::gui::FrmRiapri window([&](rio::RunContext& ctx) {
        paints.start();
        QElapsedTimer timer;
        timer.start();
        // Each new caption is one more event line; the steps yield after each.
        for (int i = 1; i <= lines; ++i) {
            ctx.setProgress(QStringLiteral("ARTICOLO N. %1 DELL'AZIENDA N. 1 IN LAVORAZIONE").arg(i));
            QElapsedTimer inYield;
            inYield.start();
            ctx.yield();
            yieldNs += inYield.nsecsElapsed();
        }
        appendMs = timer.elapsed();
        return rio::RunOutcome::Done;
    });
    window.resize(800, 600);
    window.show();
    QApplication::processEvents();
    app.installEventFilter(&paints);
    window.cmd_Click();
    QApplication::processEvents();
    app.removeEventFilter(&paints);

    QListView* list = window.ui().lstEventi;
    const qsizetype rows = window.events().rowCount();
    const bool lastAppended = window.events().line(rows - 1).endsWith(QStringLiteral("in lavorazione")) &&
                              window.events().lineCount() >= lines;

    // Scrolling: to the top, then to the bottom, each with a repaint.
    QElapsedTimer timer;
    timer.start();
    list->scrollToTop();
    list->viewport()->repaint();
    const int top = list->verticalScrollBar()->value();
    list->scrollToBottom();
    list->viewport()->repaint();
    const int bottom = list->verticalScrollBar()->value();
    const qint64 scrollMs = timer.elapsed();
    const bool scrolls = top == 0 && bottom == list->verticalScrollBar()->maximum() && bottom > 0;

    out << "righe: " << rows << " (attese " << lines << ")\n"
        << "tempo di aggiunta: " << appendMs << " ms ("
        << (appendMs > 0 ? qint64(lines) * 1000 / appendMs : lines) << " righe/s)\n"
        << "tempo nei cedimenti (ridisegni compresi): " << yieldNs / 1000000 << " ms ("
        << (appendMs > 0 ? yieldNs / 10000 / appendMs : 0) << "% dell'aggiunta)\n"
        << "ridisegni durante l'aggiunta: " << paints.paints() << ", pausa massima " << paints.longest()
        << " ms\n"
        << "scorrimento in cima e in fondo con ridisegno: " << scrollMs << " ms, "
        << (scrolls ? "scorre" : "NON SCORRE") << "\n"
        << "memoria massima: " << peakMegabytes() << " MB (prima della finestra " << before << " MB)\n";
    return rows == lines && lastAppended && scrolls ? 0 : 1;
}
