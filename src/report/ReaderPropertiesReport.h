#pragma once

#include <string>

#include "insight/ReaderReport.h"

// The reader's properties as the Properties window and the info command save and print them.

// The table as text: the reader's name, then per section its name and one "name: value"
// line per row.
std::string ReaderReportText(const ReaderReport& report);
// The same as a JSON object: reader, access, and per section an object of name to value.
std::string ReaderReportJson(const ReaderReport& report);
