// talvex-soak: a long run of the panel against a misbehaving transmitter.
#include "SoakOptions.h"
#include "SoakRun.h"

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <random>

// The sanitizer build keeps freed memory in a quarantine that would read as
// growth; a small one still catches a use right after a free.
extern "C" __attribute__((weak, used)) const char* __asan_default_options()
{
    return "quarantine_size_mb=4:thread_local_quarantine_size_kb=64";
}

namespace {

QtMessageHandler g_qtHandler = nullptr;

// The offscreen platform warns on every raise(), i.e. on every message box
// the run shows; hundreds of those lines would bury the summary.
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && text == QLatin1String("This plugin does not support raise()")) {
        return;
    }
    g_qtHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(soak::SoakUsage().c_str(), stdout);
        return 0;
    }
    std::string error;
    std::optional<soak::SoakOptions> options = soak::ParseSoakOptions(args, &error);
    if (!options) {
        std::fprintf(stderr, "talvex-soak: %s\n%s", error.c_str(), soak::SoakUsage().c_str());
        return soak::kSoakCannotRun;
    }
    if (!options->seedGiven) {
        options->seed = std::random_device{}() ^
                        static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    g_qtHandler = qInstallMessageHandler(QuietQtMessages);
    QApplication app(argc, argv);
    return soak::RunSoak(*options);
}
