#include "app/cli/console_host.h"

#include "app/cli/console_json.h"
#include "app/cli/stop_signals.h"
#include "run/company_choice.h"
#include "run/restore.h"

#include <QTextStream>

#include <algorithm>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace rio::cli {

namespace {

QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

bool isYes(const QString& reply)
{
    const QString r = reply.trimmed().toLower();
    return r == QLatin1String("s") || r == QLatin1String("si") || r == QStringLiteral("sì") ||
           r == QLatin1String("y") || r == QLatin1String("yes");
}

} // namespace

ConsoleHost::ConsoleHost(const CliOptions& options, std::FILE* out, std::FILE* err, Ask ask)
    : m_options(options), m_out(out), m_err(err), m_ask(std::move(ask))
{
}

bool ConsoleHost::stdinIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdin)) != 0;
#else
    return isatty(fileno(stdin)) != 0;
#endif
}

ConsoleHost::Ask ConsoleHost::terminalAsk(std::FILE* prompt)
{
    return [prompt](const QString& question) -> std::optional<bool> {
        if (!stdinIsTerminal())
            return std::nullopt;
        std::fputs(QString(question + QStringLiteral(" [s/N] ")).toUtf8().constData(), prompt);
        std::fflush(prompt);
        QTextStream in(stdin);
        const QString reply = in.readLine();
        return isYes(reply);
    };
}

void ConsoleHost::clearStatus()
{
    if (m_statusWidth == 0)
        return;
    std::fputs(QString(QLatin1Char('\r') + QString(m_statusWidth, QLatin1Char(' ')) + QLatin1Char('\r'))
                   .toUtf8()
                   .constData(),
               m_err);
    std::fflush(m_err);
    m_statusWidth = 0;
}

void ConsoleHost::print(std::FILE* stream, const QString& text)
{
    clearStatus();
    // Both streams to one file or terminal: the lines keep their order.
    if (stream != m_out)
        std::fflush(m_out);
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
}

void ConsoleHost::addEvent(const QString& line)
{
    if (!m_options.quiet)
        print(m_out, line);
}

void ConsoleHost::addMarkedEvent(const QString& line, EventMark mark)
{
    if (m_json)
        m_json->eventLine(line, mark);
    if (mark.tone == Tone::Error)
        print(m_err, line);
    else if (!m_options.quiet || mark.closing)
        print(m_out, line);
}

Answer ConsoleHost::message(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    if (m_json)
        m_json->message(title, text, icon);
    print(icon == Icon::Critical ? m_err : m_out, QStringLiteral("[%1] %2").arg(title, oneLine(text)));
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (buttons == Buttons::YesNoExplicit) {
        print(m_out, m_options.restore && !m_options.unverifiable
                         ? QStringLiteral("-> No: --yes non risponde a questa domanda; per ripristinare una "
                                          "copia senza manifesto aggiungere --anche-non-verificabile")
                         : QStringLiteral("-> No: --yes non risponde a questa domanda; rispondere dalla "
                                          "finestra del programma"));
        return Answer::No;
    }

    if (m_options.yes) {
        print(m_out, QStringLiteral("-> Sì (--yes)"));
        stop_signals::arm();
        return Answer::Yes;
    }
    flush();
    const std::optional<bool> reply = m_ask ? m_ask(QStringLiteral("Continuare?")) : std::nullopt;
    if (!reply) {
        print(m_err, QStringLiteral("Nessun terminale per rispondere: usare --yes per confermare."));
        return Answer::No;
    }
    print(m_out, *reply ? QStringLiteral("-> Sì") : QStringLiteral("-> No"));
    if (!*reply)
        return Answer::No;
    stop_signals::arm();
    return Answer::Yes;
}

bool ConsoleHost::stopRequested() const
{
    return stop_signals::requested();
}

void ConsoleHost::showRunOutcome(const QString& text, Tone)
{
    m_outcome = text;
    if (m_json)
        m_json->outcome(text);
}

void ConsoleHost::showCompanyInfo(CompanyInfo info, const QString& text)
{
    if (m_json && info == CompanyInfo::Slot)
        m_json->companyInWork(text);
}

void ConsoleHost::verificationReady(const QString& reportPath, const QStringList&)
{
    if (m_json)
        m_json->reportPath(reportPath);
}

void ConsoleHost::verificationDetails(const VerificationReport& report)
{
    m_retry = rio::companiesToRetry(report);
    if (m_json)
        m_json->verification(report);
}

void ConsoleHost::restoreEnded(const QString& outcome, bool restored, const QString& reportPath)
{
    if (m_json)
        m_json->restoreEnded(outcome, restored, reportPath);
}

void ConsoleHost::printOutcome()
{
    // A rehearsal changed nothing: there is nothing to open again.
    if (!m_retry.isEmpty() && !m_arguments.isEmpty() && !m_options.rehearsal) {
        print(m_out, QStringLiteral("Per ripetere la riapertura solo per %1 %2:")
                         .arg(m_retry.size() == 1 ? QStringLiteral("l'azienda con errori")
                                                  : QStringLiteral("le aziende con errori"),
                              companyList(m_retry)));
        print(m_out, commandLineFor(m_arguments, m_retry));
    }
    m_retry.clear(); // said once, for the run that just ended
    if (!m_outcome.isEmpty())
        print(m_out, QStringLiteral("Esito: ") + m_outcome);
}

void ConsoleHost::stepFinished(const QString& step, int slot, qint64 milliseconds, bool ok)
{
    if (!m_options.timings)
        return;
    const QString company = slot > 0 ? QStringLiteral("Azienda_%1").arg(slot) : QStringLiteral("comune");
    print(m_err, QStringLiteral("tempo: %1 %2 %3 ms%4")
                     .arg(step, company)
                     .arg(milliseconds)
                     .arg(ok ? QString() : QStringLiteral(" errore")));
}

bool ConsoleHost::stderrIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void ConsoleHost::setRunProgress(const RunProgressReport& progress)
{
    if (!m_progressShown)
        return;
    if (progress.over) {
        clearStatus();
        return;
    }
    QString line = QStringLiteral("avanzamento: %1%").arg(int(progress.fraction * 100));
    if (progress.company > 0)
        line += QStringLiteral(" (%1)").arg(progress.companyText());
    line += QStringLiteral(", ") + progress.timeText();
    if (m_statusWidth > 0 && line == m_status)
        return;
    m_status = line;
    // Blanks over what is left of a longer line before it.
    const QString padding(std::max<qsizetype>(0, m_statusWidth - line.size()), QLatin1Char(' '));
    std::fputs(QString(QLatin1Char('\r') + line + padding).toUtf8().constData(), m_err);
    std::fflush(m_err);
    m_statusWidth = line.size();
}

void ConsoleHost::totalTime(qint64 milliseconds)
{
    if (m_options.timings)
        print(m_err, QStringLiteral("tempo: totale %1 ms").arg(milliseconds));
}

void ConsoleHost::flush()
{
    clearStatus();
    std::fflush(m_out);
    std::fflush(m_err);
}

} // namespace rio::cli
