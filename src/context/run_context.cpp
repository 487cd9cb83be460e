#include "context/run_context.h"

#include <exception>

namespace rio {

namespace {
// Event and log lines hold one line each: line breaks read as blanks.
QString asOneLine(const QString& text)
{
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}
} // namespace

RunContext::RunContext(Host& host, RunState& state) : m_host(host), m_state(state) {}

void RunContext::setProgress(const QString& text, fs::LogFile::Timing timing)
{
    m_host.showProgressText(text);
    if (text == m_caption)
        return;
    m_caption = text;
    addLine(text.toLower(), {}, timing);
}

void RunContext::addEventLine(const QString& text)
{
    addLine(text);
}

void RunContext::addLine(const QString& text, EventMark mark, fs::LogFile::Timing timing)
{
    const QString line = asOneLine(text);
    if (mark.tone == Tone::Plain && !mark.closing)
        m_host.addEvent(line);
    else
        m_host.addMarkedEvent(line, mark);
    if (m_state.log && m_state.log->isOpen() && m_host.logWanted())
        m_state.log->writeLine(line, timing);
}

QString RunContext::errorText(const Error& error, const QString& procedureLabel)
{
    return QStringLiteral("Error %1 (%2) in procedure %3 of Form frmRiapri")
        .arg(error.number())
        .arg(error.description(), procedureLabel);
}

void RunContext::reportError(const Error& error, const QString& procedureLabel)
{
    reportErrorBox(errorText(error, procedureLabel), Icon::None, QLatin1String(ApplicationTitle));
}

void RunContext::reportErrorBox(const QString& text, Icon icon, const QString& title)
{
    markError();
    addErrorLine(text);
    timedBox(text, Buttons::Ok, icon, title);
}

Answer RunContext::message(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    return timedBox(text, buttons, icon, title);
}

void RunContext::writeHeldLogLines()
{
    // A box may wait for the user a long time, and the program may end there.
    if (!m_state.log || !m_state.log->isOpen())
        return;
    try {
        m_state.log->flush();
    } catch (const Error&) {
        // Still held: the next log line raises it where a step handles it.
    }
}

Answer RunContext::timedBox(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    writeHeldLogLines();
    const qint64 shown = m_progress.now();
    const Answer answer = m_host.message(text, buttons, icon, title);
    m_progress.pause(m_progress.now() - shown);
    return answer;
}

void RunContext::yield()
{
    m_host.yield();
    if (m_host.stopRequested() && std::uncaught_exceptions() == 0)
        throw Interrupted{};
}

void RunContext::startRun()
{
    m_companyErrors = m_runErrors = false;
    m_errorCount = 0;
    m_progress.start();
    m_shownPermille = -1;
    m_shownSecond = -1;
    m_shownPhasePass = -1;
}

void RunContext::beginCompany(int index, qint64 articles, qint64 openItems)
{
    m_progress.beginCompany(index, articles, openItems);
    showProgress(true);
}

void RunContext::beginPhase(RunProgress::Phase phase)
{
    m_progress.beginPhase(phase);
    showProgress(false);
}

void RunContext::stepProgress(qint64 done, qint64 total)
{
    m_progress.advance(done, total);
    showProgress(false);
}

void RunContext::finishProgress()
{
    m_progress.finish();
    showProgress(true);
}

void RunContext::showProgress(bool always)
{
    const RunProgressReport report = m_progress.report();
    const int permille = int(report.fraction * 1000);
    const qint64 second = report.elapsedMs / 1000;
    // A part that starts is shown at once, where the last one ended.
    const int phasePass = int(report.phase) * 16 + report.pass;
    if (!always && permille == m_shownPermille && second == m_shownSecond && phasePass == m_shownPhasePass)
        return;
    m_shownPermille = permille;
    m_shownSecond = second;
    m_shownPhasePass = phasePass;
    m_host.setRunProgress(report);
}

void RunContext::markError()
{
    m_companyErrors = true;
    m_runErrors = true;
    ++m_errorCount;
}

} // namespace rio
