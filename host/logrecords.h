#pragma once
// A worker of a --jobs run writes each log entry to standard output as a record: its length in
// decimal, ':', then the bytes, so entries holding line ends reach the parent whole.

#include <string>
#include <vector>

namespace vocelle {

void writeLogRecord(const char* text);

// Takes every complete record off the front of buffer; an incomplete one stays for later.
std::vector<std::string> readLogRecords(std::string& buffer);

} // namespace vocelle
