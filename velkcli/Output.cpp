#include "Output.h"

#include <algorithm>
#include <optional>

#include "JsonLayout.h"

namespace velkcli {

namespace {

std::string Cell(const std::string& text) {
    return text.empty() ? std::string("-") : text;
}

std::string Seconds(const std::optional<int>& seconds) {
    return seconds ? std::to_string(*seconds) + " s" : std::string("-");
}

std::string Join(const std::vector<std::string>& words, const char* separator) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) {
            text += separator;
        }
        text += word;
    }
    return text;
}

// Text or null.
Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

Json NumberOrNull(const std::optional<int>& number) {
    return number ? Json(*number) : Json(nullptr);
}

// Display width of UTF-8 text: continuation bytes take no column.
size_t Width(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

Json DeviceJson(const DeviceInfo& device) {
    Json additional = Json::array();
    for (const AdditionalInfo& info : device.additionalInfo) {
        additional.push_back(Json{{"field", TextOrNull(info.field)},
                                  {"description", TextOrNull(info.description)},
                                  {"value", TextOrNull(info.value)}});
    }
    return Json{{"name", TextOrNull(device.name)},
                {"description", TextOrNull(device.description)},
                {"type", TextOrNull(device.type)},
                {"osLocator", TextOrNull(device.osLocator)},
                {"hwLocator", TextOrNull(device.hwLocator)},
                {"fru", Json{{"manufacturer", TextOrNull(device.manufacturer)},
                             {"modelNumber", TextOrNull(device.modelNumber)},
                             {"serialNumber", TextOrNull(device.serialNumber)},
                             {"firmwareRevision", TextOrNull(device.firmwareRevision)},
                             {"firmwareDate", TextOrNull(device.firmwareDate)},
                             {"physicalAddress", TextOrNull(device.physicalAddress)},
                             {"additionalInfo", additional}}}};
}

Json ParameterJson(const ParameterInfo& parameter) {
    return Json{{"id", TextOrNull(parameter.id)},
                {"name", TextOrNull(parameter.name)},
                {"description", TextOrNull(parameter.description)},
                {"type", TextOrNull(parameter.type)},
                {"default", TextOrNull(parameter.defaultValue)},
                {"minimum", parameter.minimum ? Json(*parameter.minimum) : Json(nullptr)},
                {"maximum", parameter.maximum ? Json(*parameter.maximum) : Json(nullptr)},
                {"mustBeSet", parameter.mustBeSet},
                {"recommendValidate", parameter.recommendValidate}};
}

Json TestJson(const TestInfo& test) {
    Json parameters = Json::array();
    for (const ParameterInfo& parameter : test.parameters) {
        parameters.push_back(ParameterJson(parameter));
    }
    return Json{{"cimName", test.cimName},
                {"name", TextOrNull(test.name)},
                {"description", TextOrNull(test.description)},
                {"moduleId", TextOrNull(test.moduleId)},
                {"index", test.index},
                {"flags", test.flags},
                {"timeoutSeconds", NumberOrNull(test.timeoutSeconds)},
                {"estimatedDurationSeconds", NumberOrNull(test.durationSeconds)},
                {"parameters", parameters}};
}

}  // namespace

std::string JsonString(const std::string& text) {
    return OneLine(Json(text));
}

std::string Table(const std::vector<std::vector<std::string>>& rows, const std::string& indent) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], Width(Cell(row[c])));
        }
    }
    std::string text;
    for (const auto& row : rows) {
        std::string line = indent;
        for (size_t c = 0; c < row.size(); ++c) {
            std::string cell = Cell(row[c]);
            line += cell;
            if (c + 1 < row.size()) {
                line += std::string(widths[c] - Width(cell) + 2, ' ');
            }
        }
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    return text;
}

std::string DevicesTable(const std::vector<DeviceInfo>& devices) {
    if (devices.empty()) {
        return "No devices.\n";
    }
    std::vector<std::vector<std::string>> rows = {{"NAME", "TYPE", "OS LOCATOR", "HW LOCATOR",
                                                   "MANUFACTURER", "MODEL", "SERIAL", "FIRMWARE",
                                                   "FIRMWARE DATE", "PHYSICAL ADDRESS"}};
    for (const DeviceInfo& device : devices) {
        rows.push_back({device.name, device.type, device.osLocator, device.hwLocator,
                        device.manufacturer, device.modelNumber, device.serialNumber,
                        device.firmwareRevision, device.firmwareDate, device.physicalAddress});
    }
    std::string text = Table(rows);
    std::vector<std::vector<std::string>> extra = {{"HW LOCATOR", "FIELD", "DESCRIPTION", "VALUE"}};
    for (const DeviceInfo& device : devices) {
        for (const AdditionalInfo& info : device.additionalInfo) {
            extra.push_back({device.hwLocator, info.field, info.description, info.value});
        }
    }
    if (extra.size() > 1) {
        text += "\nAdditional FRU information:\n" + Table(extra, "  ");
    }
    return text;
}

std::string DevicesJson(const std::vector<DeviceInfo>& devices) {
    Json list = Json::array();
    for (const DeviceInfo& device : devices) {
        list.push_back(DeviceJson(device));
    }
    return LayOut(Json{{"devices", list}});
}

std::string TestsTable(const std::vector<DeviceTests>& devices) {
    if (devices.empty()) {
        return "No devices.\n";
    }
    std::string text;
    for (size_t d = 0; d < devices.size(); ++d) {
        const DeviceTests& entry = devices[d];
        if (d > 0) {
            text += "\n";
        }
        text += Cell(entry.device.name) + " [" + Cell(entry.device.type) + ", " +
                Cell(entry.device.hwLocator) + "]\n";
        if (entry.tests.empty()) {
            text += "  No tests.\n";
            continue;
        }
        std::vector<std::vector<std::string>> rows = {
            {"TEST", "NAME", "FLAGS", "TIME-OUT", "EST. DURATION"}};
        for (const TestInfo& test : entry.tests) {
            rows.push_back({test.cimName, test.name, Join(test.flags, ","),
                            Seconds(test.timeoutSeconds), Seconds(test.durationSeconds)});
        }
        text += Table(rows, "  ");
        for (const TestInfo& test : entry.tests) {
            if (test.parameters.empty()) {
                continue;
            }
            std::vector<std::vector<std::string>> parameters = {
                {"PARAMETER", "TYPE", "DEFAULT", "MIN", "MAX", "NAME"}};
            for (const ParameterInfo& parameter : test.parameters) {
                parameters.push_back({parameter.id, parameter.type, parameter.defaultValue,
                                      parameter.minimum.value_or(""),
                                      parameter.maximum.value_or(""), parameter.name});
            }
            text += "  Parameters of " + test.cimName + ":\n" + Table(parameters, "    ");
        }
    }
    return text;
}

std::string TestsJson(const std::vector<DeviceTests>& devices) {
    Json list = Json::array();
    for (const DeviceTests& entry : devices) {
        Json tests = Json::array();
        for (const TestInfo& test : entry.tests) {
            tests.push_back(TestJson(test));
        }
        list.push_back(Json{{"name", TextOrNull(entry.device.name)},
                            {"type", TextOrNull(entry.device.type)},
                            {"hwLocator", TextOrNull(entry.device.hwLocator)},
                            {"tests", tests}});
    }
    return LayOut(Json{{"devices", list}});
}

}  // namespace velkcli
