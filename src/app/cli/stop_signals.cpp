#include "app/cli/stop_signals.h"

#include <QtGlobal>

#include <atomic>
#include <csignal>
#include <cstring>
#include <initializer_list>

#ifndef Q_OS_WIN
#include <cerrno>
#include <unistd.h>
#endif

namespace rio::cli::stop_signals {

namespace {

// Lock-free atomics: safe in a handler, and seen by the run's thread whichever
// thread the signal lands on (the commits' worker thread too).
std::atomic<int> g_armed{0};
std::atomic<int> g_requests{0};
static_assert(std::atomic<int>::is_always_lock_free);
bool g_installed = false;

// Fixed texts, written as they are from the handler (UTF-8).
const char FirstStop[] = "\nriapertura-cli: interruzione richiesta; la riapertura si ferma al prossimo "
                         "punto sicuro, senza lasciare scritture a metà...\n";
const char AgainStop[] = "\nriapertura-cli: interruzione già in corso: la riapertura si sta fermando, "
                         "attendere.\n";

void say(const char* text, size_t length)
{
#ifdef Q_OS_WIN
    (void)text;
    (void)length;
#else
    const int saved = errno;
    // Nothing to do if standard error is gone (a closed terminal).
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, length);
    errno = saved;
#endif
}

extern "C" void onStopSignal(int signal)
{
#ifdef Q_OS_WIN
    std::signal(signal, onStopSignal); // the system reset it before the call
#endif
    if (!g_armed) {
        // Nothing written yet: end as the signal would without a handler
        // (raised again once this handler returns).
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    if (g_requests.fetch_add(1) == 0)
        say(FirstStop, sizeof FirstStop - 1);
    else
        say(AgainStop, sizeof AgainStop - 1);
}

} // namespace

void install()
{
    if (g_installed)
        return;
    g_installed = true;
#ifdef Q_OS_WIN
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#else
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopSignal;
    // One handler at a time; system calls under way go on (every write of
    // the run completes or fails on its own terms).
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
#endif
}

void arm()
{
    g_armed = 1;
}

bool requested()
{
    return g_requests > 0;
}

} // namespace rio::cli::stop_signals
