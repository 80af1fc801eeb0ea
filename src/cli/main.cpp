// qz4veld-cli: the window's Read, Send, Verify and version query without the
// window, for benches that program many devices from a script.
#include "cli/cli_options.h"
#include "cli/runner.h"
#include "model/version.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <unistd.h>

namespace {

// Until a run watches for them, Ctrl-C and SIGTERM end the tool at once with
// the status a script expects of an interrupted run. Nothing is open yet that
// needs closing; a file being saved is replaced in one step or not at all.
extern "C" void exitInterrupted(int)
{
    ::_exit(cli::kExitInterrupted);
}

}  // namespace

int main(int argc, char** argv)
{
    struct sigaction early { };
    early.sa_handler = exitInterrupted;
    sigemptyset(&early.sa_mask);
    ::sigaction(SIGINT, &early, nullptr);
    ::sigaction(SIGTERM, &early, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(cli::kProgramName));
    QCoreApplication::setApplicationVersion(QLatin1String(kProgramVersion));
    // A reader that goes away (| head) must not kill a run between two blocks;
    // failed prints are dropped instead.
    std::signal(SIGPIPE, SIG_IGN);

    QFile out;
    QFile err;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered)
        || !err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cli::kExitUsage;
    cli::Console console{out, err, ::isatty(STDERR_FILENO) == 1};
    return cli::execute(QCoreApplication::arguments(), QCoreApplication::applicationDirPath(), console);
}
