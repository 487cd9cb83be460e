#include "context/run_context.h"

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

void RunContext::setProgress(const QString& text)
{
    m_host.showProgressText(text);
    if (text == m_caption)
        return;
    m_caption = text;
    addLine(text.toLower());
}

void RunContext::addEventLine(const QString& text)
{
    addLine(text);
}

void RunContext::addLine(const QString& text, EventMark mark)
{
    const QString line = asOneLine(text);
    if (mark.tone == Tone::Plain && !mark.closing)
        m_host.addEvent(line);
    else
        m_host.addMarkedEvent(line, mark);
    if (m_state.log && m_state.log->isOpen() && m_host.logWanted())
        m_state.log->writeLine(line);
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
    m_host.message(text, Buttons::Ok, icon, title);
}

Answer RunContext::message(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    return m_host.message(text, buttons, icon, title);
}

void RunContext::setCompany(int index, int count)
{
    m_company = index;
    m_companies = count;
    m_stepPercent = -1;
    m_host.setRunProgress(index, count, 0, 0);
}

void RunContext::stepProgress(qint64 done, qint64 total)
{
    const int percent = total > 0 ? int(done * 100 / total) : 0;
    if (percent == m_stepPercent && done != total)
        return;
    m_stepPercent = percent;
    m_host.setRunProgress(m_company, m_companies, done, total);
}

void RunContext::markError()
{
    m_companyErrors = true;
    m_runErrors = true;
    ++m_errorCount;
}

} // namespace rio
