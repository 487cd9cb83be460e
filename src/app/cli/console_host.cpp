#include "app/cli/console_host.h"

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

void ConsoleHost::print(std::FILE* stream, const QString& text)
{
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
    if (!m_options.quiet || mark.closing || mark.tone == Tone::Error)
        print(m_out, line);
}

Answer ConsoleHost::message(const QString& text, Buttons buttons, Icon, const QString& title)
{
    print(m_out, QStringLiteral("[%1] %2").arg(title, oneLine(text)));
    if (buttons != Buttons::YesNo)
        return Answer::Ok;

    if (m_options.yes) {
        print(m_out, QStringLiteral("-> Sì (--yes)"));
        return Answer::Yes;
    }
    flush();
    const std::optional<bool> reply = m_ask ? m_ask(QStringLiteral("Continuare?")) : std::nullopt;
    if (!reply) {
        print(m_err, QStringLiteral("Nessun terminale per rispondere: usare --yes per confermare."));
        return Answer::No;
    }
    print(m_out, *reply ? QStringLiteral("-> Sì") : QStringLiteral("-> No"));
    return *reply ? Answer::Yes : Answer::No;
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

void ConsoleHost::setRunProgress(int company, int companies, qint64 done, qint64 total)
{
    if (!m_progressShown)
        return;
    if (companies <= 0) {
        print(m_err, QStringLiteral("avanzamento: 100%"));
        m_progressCompany = -1;
        return;
    }
    // A line when the company changes, else at most one a second.
    if (company == m_progressCompany && m_sinceProgress.isValid() && m_sinceProgress.elapsed() < 1000)
        return;
    m_progressCompany = company;
    m_sinceProgress.restart();
    const double within = total > 0 ? std::clamp(double(done) / double(total), 0.0, 1.0) : 0.0;
    const double fraction = (std::clamp(company - 1, 0, companies) + within) / companies;
    print(m_err, QStringLiteral("avanzamento: azienda %1 di %2, %3%")
                     .arg(company)
                     .arg(companies)
                     .arg(int(std::clamp(fraction, 0.0, 1.0) * 100)));
}

void ConsoleHost::totalTime(qint64 milliseconds)
{
    if (m_options.timings)
        print(m_err, QStringLiteral("tempo: totale %1 ms").arg(milliseconds));
}

void ConsoleHost::flush()
{
    std::fflush(m_out);
    std::fflush(m_err);
}

} // namespace rio::cli
