#include "diag_commands.h"

#include "markup_text.h"
#include "number_text.h"

namespace velk::engine {
namespace {

constexpr std::string_view kParameterWord = "param=";
constexpr std::string_view kParameterStart = ":param=";

// The next ':'-separated field of text, which is advanced past it.
std::string_view NextField(std::string_view& text) {
    std::string_view::size_type colon = text.find(':');
    std::string_view field = text.substr(0, colon);
    text = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    return field;
}

}  // namespace

std::optional<TestCommand> TestCommand::Parse(std::string_view arguments) {
    if (arguments.size() > kMaxText) {
        return std::nullopt;
    }
    TestCommand command;
    std::string_view rest = arguments;
    command.moduleId = std::string(NextField(rest));
    std::optional<int> test = ParseInt(NextField(rest));
    // The device is the field before the parameters; rest then starts with
    // the first parameter word, or is empty.
    std::string_view::size_type end = rest.find(':');
    std::optional<unsigned> device = ParseUnsigned(rest.substr(0, end));
    if (command.moduleId.empty() || !test || *test < 0 || !device) {
        return std::nullopt;
    }
    command.test = *test;
    command.deviceId = *device;
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    // rest is "" or ":..."; parameters start at each ":param=".
    while (!rest.empty()) {
        std::string_view::size_type next = rest.find(kParameterStart, 1);
        std::string_view word =
            rest.substr(1, next == std::string_view::npos ? rest.npos : next - 1);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next);
        if (word.substr(0, kParameterWord.size()) != kParameterWord) {
            continue;  // not a parameter: the module would ignore it too
        }
        std::string_view assignment = word.substr(kParameterWord.size());
        std::string_view::size_type comma = assignment.find(',');
        if (comma == 0 || comma == std::string_view::npos) {
            return std::nullopt;
        }
        if (command.parameters.size() == kMaxParameters) {
            return std::nullopt;
        }
        if (assignment.substr(0, comma) == kPercentParameter) {
            command.percent = std::string(assignment.substr(comma + 1));
        }
        command.parameters.emplace_back(word);
    }
    return command;
}

std::vector<std::string> ScanModuleNames(std::string_view arguments) {
    return SplitElements(arguments, "<MODULE_NAME>", "</MODULE_NAME>");
}

std::string_view CommandWord(std::string_view command) {
    return command.substr(0, command.find_first_of(":<"));
}

}  // namespace velk::engine
