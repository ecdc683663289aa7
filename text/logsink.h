#pragma once
// Where the core reports what a user must see although nothing failed (an SDM file that cannot
// be opened). The core knows no log of its own: whoever runs it binds the sink (the plug-in binds
// its host log). Until then reports are dropped.

#include <string>

namespace vocelle {

using LogSink = void (*)(const std::string& message);

void setLogSink(LogSink sink);

// Hands the message to the sink as one entry.
void logMessage(const std::string& message);

} // namespace vocelle
