#include "ComLink.h"
#include "ModuleBus.h"
#include "Pty.h"
#include "SimOptions.h"
#include "SimServer.h"
#include "Trace.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <vector>

using namespace sim;

namespace {
int fail(const std::string &message)
{
    std::fprintf(stderr, "tolvane-sim: %s\n", message.c_str());
    return 1;
}
} // namespace

int main(int argc, char *argv[])
{
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tolvane-sim: %s\nTry 'tolvane-sim --help'.\n", parsed.error.c_str());
        return 2;
    }
    const SimOptions &options = parsed.options;
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("tolvane-sim " TOLVANE_VERSION);
        return 0;
    }

    // Blocked before the link exists, so no signal can end the program without removing it.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalFd < 0)
        return fail("signalfd failed");

    std::string error;
    Trace trace;
    if (!options.traceFile.empty() && !trace.open(options.traceFile, &error))
        return fail(error);
    Pty pty;
    if (!pty.open(options.modules.empty() ? options.baud
                                          : options.modules.front().baud.value_or(options.baud),
                  &error))
        return fail(error);
    ComLink link;
    if (!link.claim(pty.slavePath(), options.com, &error))
        return fail(error);

    std::printf("tolvane-sim: COM%d -> %s\n", link.number(), pty.slavePath().c_str());
    std::fflush(stdout);

    // A character at 115200 baud takes 87 us: the kernel's default 50 us of timer slack would
    // blur the wire's pace.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    ModuleBus bus(options);
    SimServer server(pty, bus, trace, options);
    const int status = server.run(signalFd);
    link.release();
    return status;
}
