#include "context/run_progress.h"

#include <QElapsedTimer>

#include <algorithm>

namespace rio {

namespace {

// The common part and the verification take a fixed share; the companies
// share the rest.
constexpr double CopyEnd = 0.06;
constexpr double CommonEnd = 0.10;
constexpr double CompaniesEnd = 0.95;

// Below this much of the run or this much time, an estimate is a guess.
constexpr double EstimateFromFraction = 0.03;
constexpr qint64 EstimateFromMs = 5000;

QString duration(qint64 ms)
{
    const qint64 s = std::max<qint64>(0, ms + 500) / 1000;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

qint64 steadyNow()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

} // namespace

QString RunProgressReport::companyText() const
{
    return company > 0 ? QStringLiteral("azienda %1 di %2").arg(company).arg(companies) : QString();
}

QString RunProgressReport::timeText() const
{
    if (over)
        return QStringLiteral("tempo impiegato ") + duration(elapsedMs);
    QString text = QStringLiteral("trascorsi ") + duration(elapsedMs);
    if (remainingMs >= 0)
        text += QStringLiteral(", ne mancano circa ") + duration(remainingMs);
    return text;
}

RunProgress::RunProgress(std::function<qint64()> clock) : m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = &steadyNow;
}

qint64 RunProgress::now() const
{
    return m_clock();
}

void RunProgress::start()
{
    *this = RunProgress(m_clock);
    m_startMs = now();
}

void RunProgress::setCompanies(int count)
{
    m_companies = std::max(0, count);
}

void RunProgress::beginCompany(int index, qint64 articles, qint64 openItems)
{
    m_company = index;
    m_articles = std::max<qint64>(0, articles);
    m_openItems = std::max<qint64>(0, openItems);
    beginPhase(Phase::Recompute);
}

void RunProgress::beginPhase(Phase phase)
{
    m_phase = phase;
    m_pass = 0;
    m_lastDone = 0;
    double from = 0, to = 0;
    phaseRange(from, to);
    m_fraction = std::max(m_fraction, from);
}

void RunProgress::phaseRange(double& from, double& to) const
{
    switch (m_phase) {
    case Phase::CompanyList:
        from = to = 0;
        return;
    case Phase::SafetyCopy:
        from = 0, to = CopyEnd;
        return;
    case Phase::NewYear:
        from = CopyEnd, to = CommonEnd;
        return;
    case Phase::Verification:
        from = CompaniesEnd, to = 1;
        return;
    case Phase::Restore:
        from = 0, to = 1;
        return;
    case Phase::Recompute:
    case Phase::Initialise:
    case Phase::OpeningStock:
    case Phase::OpenItems:
        break;
    }
    // Each step weighs the rows it handles; emptying the new archive is
    // counted as a tenth of a pass over the articles.
    const double a = double(m_articles), m = double(m_openItems);
    double weights[] = {a, 1 + a / 10, 2 * a, m};
    if (a + m == 0)
        std::fill(std::begin(weights), std::end(weights), 1.0);
    const int step = int(m_phase) - int(Phase::Recompute);
    double before = 0, total = 0;
    for (int i = 0; i < 4; ++i) {
        if (i < step)
            before += weights[i];
        total += weights[i];
    }
    const int companies = std::max(m_companies, std::max(m_company, 1));
    const double share = (CompaniesEnd - CommonEnd) / companies;
    const double companyStart = CommonEnd + share * std::clamp(m_company - 1, 0, companies - 1);
    from = companyStart + share * before / total;
    to = companyStart + share * (before + weights[step]) / total;
}

void RunProgress::advance(qint64 done, qint64 total)
{
    if (total <= 0)
        return;
    // Counting from the start again: the next pass of the same step.
    if (done < m_lastDone)
        ++m_pass;
    m_lastDone = done;
    const int passes = m_phase == Phase::OpeningStock || m_phase == Phase::Restore ? 2 : 1;
    const double within =
        (std::min(m_pass, passes - 1) + std::clamp(double(done) / double(total), 0.0, 1.0)) / passes;
    double from = 0, to = 0;
    phaseRange(from, to);
    m_fraction = std::max(m_fraction, from + (to - from) * within);
}

void RunProgress::finish()
{
    m_fraction = 1;
    m_over = true;
}

RunProgressReport RunProgress::report() const
{
    RunProgressReport r;
    r.company = m_company;
    r.companies = m_companies;
    r.fraction = std::clamp(m_fraction, 0.0, 1.0);
    r.elapsedMs = std::max<qint64>(0, now() - m_startMs - m_pausedMs);
    r.over = m_over;
    r.phase = m_phase;
    r.pass = m_pass;
    if (!m_over && r.fraction >= EstimateFromFraction && r.elapsedMs >= EstimateFromMs)
        r.remainingMs = qint64(double(r.elapsedMs) * (1 - r.fraction) / r.fraction);
    return r;
}

} // namespace rio
