// The verification of a run: the companies compared on a thread beside the
// steps, then the spreadsheets and the report written beside the data.
#include "run/verification_queue.h"

#include "context/layout.h"
#include "context/run_context.h"
#include "context/run_state.h"
#include "data/database.h"
#include "data/error.h"
#include "run/company_choice.h"
#include "run/report_file.h"
#include "run/report_html.h"

#include <QDateTime>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace rio {

namespace {

// One spreadsheet beside the report, filled a company at a time, there whole
// or not at all (ReportFile).
class SpreadsheetFile
{
public:
    SpreadsheetFile(const QString& windowsPath, Spreadsheet sheet) : m_file(windowsPath), m_sheet(sheet)
    {
        m_file.write(spreadsheetStart(sheet));
    }
    template <typename Row> void add(const CompanyVerification& v, const Row& row)
    {
        m_file.write(spreadsheetLine(v, row));
    }
    void addNotChosen(const CompanyVerification& v) { m_file.write(spreadsheetNotChosenLine(m_sheet, v)); }
    // Puts the file in place; its name for the report, or "" when it could
    // not be written whole: an error of the run, with an error line that
    // names it.
    QString finish(RunContext& ctx)
    {
        const QString& path = m_file.windowsPath();
        if (m_file.commit([&ctx] { ctx.yield(); }))
            return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
        ctx.markError();
        ctx.addErrorLine(
            QStringLiteral("Foglio di calcolo non scritto (%1): %2").arg(m_file.failure(), path));
        return QString();
    }

private:
    ReportFile m_file;
    Spreadsheet m_sheet;
};

// Writes the report as <stem>.html; returns its Windows path, or an empty
// one when it could not be written whole: an error of the run, with an error
// line that names it.
QString writeReport(RunContext& ctx, const VerificationReport& report, const QString& stem,
                    const QStringList& csvFiles)
{
    const QString path = stem + QStringLiteral(".html");
    QString failure;
    const auto yield = [&ctx] {
        ctx.yield();
    };
    if (html::writeFile(path, report.html(ctx.state(), csvFiles, yield).toUtf8(), &failure, yield))
        return path;
    ctx.markError();
    ctx.addErrorLine(QStringLiteral("Rapporto di verifica non scritto (%1): %2").arg(failure, path));
    return QString();
}

// dati\tmp\verifica_Riapertura_<new year>_<yyyymmdd_hhmmss>: the report and
// its spreadsheets; a rehearsal's beside them, not in its scratch copy.
QString reportStem(const RunState& state)
{
    const RunRecord& record = state.record;
    return (record.rehearsal() ? record.rehearsalRoot + QStringLiteral("dati\\tmp\\simulazione")
                               : state.PercorsoBase + QStringLiteral("dati\\tmp\\verifica")) +
           QStringLiteral("_Riapertura_") + QString::number(layout::AnnoDaAprire) + QLatin1Char('_') +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

// A company waiting for its comparison, with where its archives are.
struct Job
{
    int slot = 0;
    bool initialised = false;
    bool alone = false; // no step runs beside its comparison
    QString base;
    QString workgroup;
};

// Raised inside the comparison once the run has ended without the report.
struct Stopped
{
};

} // namespace

struct VerificationQueue::Private
{
    Private(RunContext& context, const QString& reportStem)
        : ctx(context), stem(reportStem), stock(stem + QStringLiteral("_giacenze.csv"), Spreadsheet::Stock),
          openItems(stem + QStringLiteral("_partite.csv"), Spreadsheet::OpenItems)
    {
    }

    void work();
    CompanyVerification compare(const Job& job);
    void stopIfAsked() const
    {
        if (stopAsked.load(std::memory_order_relaxed))
            throw Stopped{};
    }

    RunContext& ctx;
    const QString stem;
    // Written by the worker alone until every company added is compared.
    SpreadsheetFile stock;
    SpreadsheetFile openItems;

    std::mutex mutex; // guards what follows
    std::condition_variable changed;
    std::deque<Job> waiting;
    QList<CompanyVerification> compared;
    int added = 0;
    bool noMore = false; // finish(): the worker ends once nothing waits
    std::exception_ptr failure;
    // The worker's open connections, so that a stop can interrupt the
    // engine; registered only while open.
    QList<Connection*> reading;
    std::atomic<bool> stopAsked = false;
    std::thread worker;
};

namespace {

// Registers a company's two connections for the whole comparison: a stop
// interrupts the statement they run.
class Reading
{
public:
    Reading(std::mutex& mutex, QList<Connection*>& reading, const std::atomic<bool>& stopAsked,
            std::initializer_list<Connection*> connections)
        : m_mutex(mutex), m_reading(reading), m_mine(connections)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (stopAsked.load())
            throw Stopped{};
        m_reading << m_mine;
    }
    ~Reading()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (Connection* c : std::as_const(m_mine))
            m_reading.removeOne(c);
    }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

private:
    std::mutex& m_mutex;
    QList<Connection*>& m_reading;
    const QList<Connection*> m_mine;
};

// Opens a company's two archives on the calling thread, registered for a
// stop while work runs with them.
void withArchives(const QString& base, const QString& workgroup, int slot, std::mutex& mutex,
                  QList<Connection*>& reading, const std::atomic<bool>& stopAsked,
                  const std::function<void(Connection&, Connection&)>& work)
{
    const QString numero = layout::companyFolderName(slot);
    Connection oldDb;
    oldDb.open(
        layout::archiveConnectionString(layout::archivePath(base, numero, layout::AnnoInCorso), workgroup));
    Connection newDb;
    newDb.open(
        layout::archiveConnectionString(layout::archivePath(base, numero, layout::AnnoDaAprire), workgroup));
    const Reading registered(mutex, reading, stopAsked, {&oldDb, &newDb});
    work(oldDb, newDb);
}

} // namespace

// Opens both archives of a company and compares them, the open items on a
// second thread; an archive that cannot be read makes the company's only
// finding.
CompanyVerification VerificationQueue::Private::compare(const Job& job)
{
    const SpreadsheetRows rows{[this](const CompanyVerification& c, const StockRow& row) {
                                   stopIfAsked();
                                   stock.add(c, row);
                               },
                               [this](const CompanyVerification& c, const OpenItemRow& row) {
                                   stopIfAsked();
                                   openItems.add(c, row);
                               }};
    // The open items on a second pair of connections, beside the stock.
    const ArchivePair besideStock = [this, &job](const std::function<void(Connection&, Connection&)>& work) {
        withArchives(job.base, job.workgroup, job.slot, mutex, reading, stopAsked, work);
    };
    try {
        CompanyVerification v;
        withArchives(job.base, job.workgroup, job.slot, mutex, reading, stopAsked,
                     [&](Connection& oldDb, Connection& newDb) {
                         v = verifyCompany(
                             oldDb, newDb, job.slot, job.initialised, rows, [this] { stopIfAsked(); },
                             job.alone ? besideStock : nullptr);
                     });
        return v;
    } catch (const Error& e) {
        stopIfAsked(); // an engine interrupted by the stop is no finding
        CompanyVerification v;
        v.slot = job.slot;
        v.initialised = job.initialised;
        v.findings << Finding{
            Finding::Kind::Mismatch, QStringLiteral("Archivio"),
            QStringLiteral("Verifica non eseguita: errore %1 (%2)").arg(e.number()).arg(e.description())};
        return v;
    }
}

void VerificationQueue::Private::work()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return stopAsked.load() || noMore || !waiting.empty(); });
            if (stopAsked.load() || waiting.empty())
                return;
            job = std::move(waiting.front());
            waiting.pop_front();
        }
        try {
            CompanyVerification v = compare(job);
            const std::lock_guard<std::mutex> lock(mutex);
            compared << std::move(v);
        } catch (const Stopped&) {
            return;
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex);
            failure = std::current_exception();
            changed.notify_all();
            return;
        }
        changed.notify_all();
    }
}

VerificationQueue::VerificationQueue(RunContext& ctx)
    : d(std::make_unique<Private>(ctx, reportStem(ctx.state())))
{
}

VerificationQueue::~VerificationQueue()
{
    if (!d->worker.joinable())
        return;
    {
        const std::lock_guard<std::mutex> lock(d->mutex);
        d->stopAsked = true;
        for (Connection* c : d->reading)
            c->interrupt();
    }
    d->changed.notify_all();
    d->worker.join();
}

void VerificationQueue::add(int slot, bool initialised, bool last)
{
    const RunState& state = d->ctx.state();
    {
        const std::lock_guard<std::mutex> lock(d->mutex);
        d->waiting.push_back(Job{slot, initialised, last, state.PercorsoBase, state.PercorsoSystemMdw});
        ++d->added;
    }
    if (!d->worker.joinable()) {
        try {
            d->worker = std::thread([this] { d->work(); });
        } catch (const std::system_error&) {
            // No thread to be had: finish() compares them on this one.
        }
    }
    d->changed.notify_all();
}

VerificationReport VerificationQueue::finish(QString* reportPath)
{
    RunContext& ctx = d->ctx;
    VerificationReport report;
    const RunRecord& record = ctx.state().record;
    report.rehearsal = record.rehearsal();
    ctx.beginPhase(RunProgress::Phase::Verification);
    if (!d->worker.joinable() && d->added > 0) {
        d->noMore = true;
        d->work();
    }
    // The window repaints while the last companies are compared.
    for (;;) {
        qsizetype done = 0;
        {
            std::unique_lock<std::mutex> lock(d->mutex);
            if (d->failure)
                std::rethrow_exception(d->failure);
            if (d->compared.size() == d->added)
                break;
            d->changed.wait_for(lock, std::chrono::milliseconds(10));
            done = d->compared.size();
        }
        ctx.stepProgress(done, d->added);
        ctx.yield();
    }
    if (d->worker.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(d->mutex);
            d->noMore = true;
        }
        d->changed.notify_all();
        d->worker.join();
    }
    ctx.stepProgress(d->added, d->added);
    report.companies = std::move(d->compared);
    for (CompanyVerification& v : report.companies)
        v.runErrors = record.companyErrors.value(v.slot);
    for (int slot : companiesNotChosen(ctx.state())) {
        CompanyVerification v;
        v.slot = slot;
        v.name = companyNameIfSafe(ctx.state().PercorsoBase, ctx.state().PercorsoSystemMdw, slot);
        d->stock.addNotChosen(v);
        d->openItems.addNotChosen(v);
        report.notChosen << v;
    }
    QStringList csvFiles;
    for (SpreadsheetFile* sheet : {&d->stock, &d->openItems}) {
        const QString name = sheet->finish(ctx);
        if (!name.isEmpty())
            csvFiles << name;
    }
    // A spreadsheet that could not be written is the report's error too.
    report.runErrors = ctx.errorCount();
    const QString path = writeReport(ctx, report, d->stem, csvFiles);
    if (reportPath)
        *reportPath = path;
    // The report not written: the end of the run says so as an error.
    report.runErrors = ctx.errorCount();
    if (report.mismatches() > 0)
        ctx.markError();
    return report;
}

VerificationReport verifyYearOpening(RunContext& ctx, QString* reportPath)
{
    VerificationQueue queue(ctx);
    const RunRecord& record = ctx.state().record;
    // Nothing else runs meanwhile: each company may take a second thread.
    for (int slot : record.companies)
        queue.add(slot, record.initialised.contains(slot), true);
    return queue.finish(reportPath);
}

} // namespace rio
