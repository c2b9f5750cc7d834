#include "Output.h"

#include <algorithm>
#include <cstdio>
#include <optional>

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
std::string JsonText(const std::string& text) {
    return text.empty() ? std::string("null") : JsonString(text);
}

std::string JsonNumber(const std::optional<int>& number) {
    return number ? std::to_string(*number) : std::string("null");
}

// Display width of UTF-8 text: continuation bytes take no column.
size_t Width(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string DeviceJson(const DeviceInfo& device, const std::string& indent) {
    std::string inner = indent + "  ";
    std::string json = "{\n";
    json += inner + "\"name\": " + JsonText(device.name) + ",\n";
    json += inner + "\"description\": " + JsonText(device.description) + ",\n";
    json += inner + "\"type\": " + JsonText(device.type) + ",\n";
    json += inner + "\"osLocator\": " + JsonText(device.osLocator) + ",\n";
    json += inner + "\"hwLocator\": " + JsonText(device.hwLocator) + ",\n";
    std::string fru = inner + "  ";
    json += inner + "\"fru\": {\n";
    json += fru + "\"manufacturer\": " + JsonText(device.manufacturer) + ",\n";
    json += fru + "\"modelNumber\": " + JsonText(device.modelNumber) + ",\n";
    json += fru + "\"serialNumber\": " + JsonText(device.serialNumber) + ",\n";
    json += fru + "\"firmwareRevision\": " + JsonText(device.firmwareRevision) + ",\n";
    json += fru + "\"firmwareDate\": " + JsonText(device.firmwareDate) + ",\n";
    json += fru + "\"physicalAddress\": " + JsonText(device.physicalAddress) + ",\n";
    json += fru + "\"additionalInfo\": [";
    for (size_t i = 0; i < device.additionalInfo.size(); ++i) {
        const AdditionalInfo& info = device.additionalInfo[i];
        json += (i == 0 ? "\n" : ",\n") + fru + "  {\"field\": " + JsonText(info.field) +
                ", \"description\": " + JsonText(info.description) +
                ", \"value\": " + JsonText(info.value) + "}";
    }
    json += device.additionalInfo.empty() ? "]\n" : "\n" + fru + "]\n";
    json += inner + "}\n";
    json += indent + "}";
    return json;
}

std::string ParameterJson(const ParameterInfo& parameter) {
    return "{\"id\": " + JsonText(parameter.id) + ", \"name\": " + JsonText(parameter.name) +
           ", \"description\": " + JsonText(parameter.description) +
           ", \"type\": " + JsonText(parameter.type) +
           ", \"default\": " + JsonText(parameter.defaultValue) +
           ", \"minimum\": " + (parameter.minimum ? JsonString(*parameter.minimum) : "null") +
           ", \"maximum\": " + (parameter.maximum ? JsonString(*parameter.maximum) : "null") +
           ", \"mustBeSet\": " + (parameter.mustBeSet ? "true" : "false") +
           ", \"recommendValidate\": " + (parameter.recommendValidate ? "true" : "false") + "}";
}

std::string TestJson(const TestInfo& test, const std::string& indent) {
    std::string inner = indent + "  ";
    std::string json = "{\n";
    json += inner + "\"cimName\": " + JsonString(test.cimName) + ",\n";
    json += inner + "\"name\": " + JsonText(test.name) + ",\n";
    json += inner + "\"description\": " + JsonText(test.description) + ",\n";
    json += inner + "\"moduleId\": " + JsonText(test.moduleId) + ",\n";
    json += inner + "\"index\": " + std::to_string(test.index) + ",\n";
    json += inner + "\"flags\": [";
    for (size_t i = 0; i < test.flags.size(); ++i) {
        json += (i == 0 ? "" : ", ") + JsonString(test.flags[i]);
    }
    json += "],\n";
    json += inner + "\"timeoutSeconds\": " + JsonNumber(test.timeoutSeconds) + ",\n";
    json += inner + "\"estimatedDurationSeconds\": " + JsonNumber(test.durationSeconds) + ",\n";
    json += inner + "\"parameters\": [";
    for (size_t i = 0; i < test.parameters.size(); ++i) {
        json += (i == 0 ? "\n" : ",\n") + inner + "  " + ParameterJson(test.parameters[i]);
    }
    json += test.parameters.empty() ? "]\n" : "\n" + inner + "]\n";
    json += indent + "}";
    return json;
}

}  // namespace

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                json += "\\\"";
                break;
            case '\\':
                json += "\\\\";
                break;
            case '\n':
                json += "\\n";
                break;
            case '\r':
                json += "\\r";
                break;
            case '\t':
                json += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    json += escaped;
                } else {
                    json += c;
                }
        }
    }
    return json + "\"";
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
    std::string json = "{\n  \"devices\": [";
    for (size_t i = 0; i < devices.size(); ++i) {
        json += (i == 0 ? "\n    " : ",\n    ") + DeviceJson(devices[i], "    ");
    }
    json += devices.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
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
    std::string json = "{\n  \"devices\": [";
    for (size_t d = 0; d < devices.size(); ++d) {
        const DeviceTests& entry = devices[d];
        json += d == 0 ? "\n" : ",\n";
        json += "    {\n";
        json += "      \"name\": " + JsonText(entry.device.name) + ",\n";
        json += "      \"type\": " + JsonText(entry.device.type) + ",\n";
        json += "      \"hwLocator\": " + JsonText(entry.device.hwLocator) + ",\n";
        json += "      \"tests\": [";
        for (size_t t = 0; t < entry.tests.size(); ++t) {
            json += (t == 0 ? "\n        " : ",\n        ") + TestJson(entry.tests[t], "        ");
        }
        json += entry.tests.empty() ? "]\n" : "\n      ]\n";
        json += "    }";
    }
    json += devices.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
}

}  // namespace velkcli
