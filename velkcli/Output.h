// velkcli's two output forms of the collected records: readable tables and
// JSON.
#pragma once

#include <string>
#include <vector>

#include "Catalog.h"

namespace velkcli {

// A JSON string literal: quoted, with '"', '\' and control characters
// escaped (UTF-8 passes unchanged; bytes that are not UTF-8 are replaced).
std::string JsonString(const std::string& text);

// Rows of cells laid out in columns separated by two blanks; the first row
// is the heading.  Empty cells show as "-"; trailing blanks are cut.
std::string Table(const std::vector<std::vector<std::string>>& rows,
                  const std::string& indent = "");

std::string DevicesTable(const std::vector<DeviceInfo>& devices);
std::string DevicesJson(const std::vector<DeviceInfo>& devices);
std::string TestsTable(const std::vector<DeviceTests>& devices);
std::string TestsJson(const std::vector<DeviceTests>& devices);

}  // namespace velkcli
