#include "module_command_line.h"

namespace velk::engine {
namespace {

void AddOptional(const ModuleLaunchCommon& common, std::vector<std::string>& arguments) {
    arguments.push_back("sfifo=" + common.brokerFifo);
    if (common.trace) {
        arguments.push_back("trace");
    }
}

}  // namespace

std::vector<std::string> EnumerateArguments(const ModuleLaunchCommon& common) {
    std::vector<std::string> arguments = {"enumerate", "ref=" + common.reference,
                                          "deffile=" + common.definitionsFile};
    AddOptional(common, arguments);
    return arguments;
}

std::vector<std::string> RunArguments(const ModuleLaunchCommon& common, const RunLaunch& run) {
    std::vector<std::string> arguments = {"run",
                                          "ref=" + common.reference,
                                          "deffile=" + common.definitionsFile,
                                          "device=" + std::to_string(run.deviceId),
                                          "test=" + std::to_string(run.test),
                                          "process=" + run.processId};
    if (run.percent) {
        arguments.push_back("percent=" + *run.percent);
    }
    arguments.insert(arguments.end(), run.parameters.begin(), run.parameters.end());
    AddOptional(common, arguments);
    return arguments;
}

std::vector<std::string> ValidateArguments(const ModuleLaunchCommon& common,
                                           const ValidateLaunch& validate) {
    std::vector<std::string> arguments = {"validate",
                                          "ref=" + common.reference,
                                          "deffile=" + common.definitionsFile,
                                          "device=" + std::to_string(validate.deviceId),
                                          "test=" + std::to_string(validate.test),
                                          "senderpid=" + std::to_string(validate.senderPid),
                                          "reid=" + std::to_string(validate.replyId)};
    arguments.insert(arguments.end(), validate.parameters.begin(), validate.parameters.end());
    AddOptional(common, arguments);
    return arguments;
}

std::vector<std::string> SysInfoArguments(const ModuleLaunchCommon& common,
                                          const SysInfoLaunch& sysinfo) {
    std::vector<std::string> arguments = {
        "sysinfo",         sysinfo.destination,    std::to_string(sysinfo.replyId),
        sysinfo.hwLocator, common.definitionsFile, sysinfo.moduleName};
    AddOptional(common, arguments);
    return arguments;
}

}  // namespace velk::engine
