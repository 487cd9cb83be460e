// The whole year opening as riapertura-cli runs it (same options), measuring
// how long the run goes without letting the window repaint: for the check
// before the first step, then for each step, the longest stretch between two
// yields and how many stretches pass 100 ms.
// Each stretch is measured in wall time and in the main thread's CPU time: a
// stretch long in wall time but short in CPU time waited for the processor
// (another job on the machine) or the disk, not for the program's work.
// Event lines go nowhere; the measures go to standard output.
#include "app/cli/cli_options.h"
#include "app/cli/console_host.h"
#include "app/cli/console_run.h"
#include "data/one_heap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>
#include <ctime>

namespace {

class GapHost : public rio::cli::ConsoleHost
{
public:
    GapHost(const rio::cli::CliOptions& options, std::FILE* events)
        : ConsoleHost(options, events, events, {}), m_out(stdout)
    {
        m_sinceYield.start();
    }

    void yield() override { pause(); }

    // A box runs its own event loop: the window repaints while it waits.
    rio::Answer message(const QString& text, rio::Buttons buttons, rio::Icon icon,
                        const QString& title) override
    {
        pause();
        const rio::Answer answer = ConsoleHost::message(text, buttons, icon, title);
        m_sinceYield.restart();
        return answer;
    }

    void stepFinished(const QString& step, int slot, qint64 milliseconds, bool ok) override
    {
        pause();
        const QString company = slot > 0 ? QStringLiteral("Azienda_%1").arg(slot) : QStringLiteral("comune");
        report(step + QLatin1Char(' ') + company, QStringLiteral(", passo %1 ms%2")
                                                      .arg(milliseconds)
                                                      .arg(ok ? QString() : QStringLiteral(" errore")));
    }

    // The status panel is cleared once the check before the run has passed:
    // what came before (the lock, the check) is a line of its own.
    void showRunOutcome(const QString& text, rio::Tone tone) override
    {
        if (text.isEmpty() && !m_checkReported) {
            pause();
            report(QStringLiteral("prima del primo passo (verifica preliminare)"), QString());
            m_checkReported = true;
        }
        ConsoleHost::showRunOutcome(text, tone);
    }

    // What follows the last step: the verification report and the last boxes.
    void finish() { report(QStringLiteral("dopo l'ultimo passo (verifica)"), QString()); }

private:
    void report(const QString& what, const QString& tail)
    {
        m_out << "pausa: " << what << ' ' << m_longest << " ms, oltre 100 ms: " << m_over
              << ", cedimenti: " << m_yields << tail << ", in CPU al più " << m_longestCpu << " ms"
              << Qt::endl;
        m_longest = m_over = m_yields = m_longestCpu = 0;
    }

    static qint64 threadCpuUs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
    }

    void pause()
    {
        const qint64 gap = m_sinceYield.restart();
        const qint64 cpu = threadCpuUs();
        m_longestCpu = std::max(m_longestCpu, (cpu - m_cpu) / 1000);
        m_cpu = cpu;
        m_longest = std::max(m_longest, gap);
        if (gap > 100)
            ++m_over;
        ++m_yields;
    }

    QTextStream m_out;
    QElapsedTimer m_sinceYield;
    qint64 m_longest = 0;
    qint64 m_over = 0;
    qint64 m_yields = 0;
    qint64 m_longestCpu = 0;
    qint64 m_cpu = threadCpuUs();
    bool m_checkReported = false;
};

} // namespace

int main(int argc, char** argv)
{
    rio::keepOneHeap();
    QCoreApplication app(argc, argv);
    const rio::cli::ParsedOptions parsed = rio::cli::parseOptions(QCoreApplication::arguments());
    if (!parsed.ok) {
        std::fputs("uso: bench_yield_gaps --drive-c CARTELLA [--no-log]\n", stderr);
        return 2;
    }
    rio::cli::CliOptions options = parsed.options;
    options.yes = true;
    if (!options.driveC.isEmpty())
        qputenv("RIAPERTURA_DRIVE_C", options.driveC.toUtf8());
    std::FILE* events = std::fopen("/dev/null", "w");
    if (!events)
        return 2;
    GapHost host(options, events);
    const int status = rio::cli::runConsole(host, true, &rio::runYearOpening);
    host.finish();
    std::fclose(events);
    return status;
}
