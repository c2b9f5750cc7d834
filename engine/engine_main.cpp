#include "engine_main.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "broker_fifo.h"
#include "broker_options.h"
#include "engine_settings.h"
#include "pipe-lowlevel.h"
#include "process-helpers.h"
#include "stop_signal.h"
#include "tracing.h"

namespace velk::engine {
namespace {

int Fail(const std::string& reason) {
    std::fprintf(stderr, "velkcore: %s\n", reason.c_str());
    return EXIT_FAILURE;
}

}  // namespace

int RunEngine(int argc, char** argv, const ComponentInstaller& installComponents) {
    BrokerOptions options = ParseLaunchWords(std::vector<std::string>(argv + 1, argv + argc));
    options.binDirectory = EngineBinDirectory(argc > 0 ? argv[0] : nullptr);
    for (const std::string& word : options.unknownWords) {
        std::fprintf(stderr, "velkcore: warning: ignoring unknown launch word '%s'\n",
                     word.c_str());
    }
    ProcessTracingArgs(argc, argv);
    if (options.trace) {
        VelkSetTracingType(VELK_TRACE_MB, 1);
    }

    std::string pipeDirectory = VelkGetPipeDirectory();
    if (pipeDirectory.empty()) {
        return Fail("no usable pipe directory (check VELK_TMP)");
    }
    StopSignal::Install();
    VelkPipeSignalHandle();
    VelkInitPipes();

    std::string error;
    std::unique_ptr<BrokerFifo> fifo =
        BrokerFifo::Claim(BrokerFifoPath(pipeDirectory, options, getpid()), error);
    if (!fifo) {
        return Fail(error);
    }
    if (VelkInitReadWriteThread() != 0) {
        return Fail("cannot start the read/write thread");
    }
    int status;
    {
        MessageBroker broker(std::move(options), std::move(fifo));
        if (installComponents) {
            installComponents(broker);
        }
        status = broker.Run();
    }
    VelkStopReadWriteThread();
    VelkCleanupPipes();
    return status;
}

}  // namespace velk::engine
