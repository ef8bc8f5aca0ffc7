#pragma once
// The server's own log, "sdb.log" in the temporary folder (%TEMP% on Windows), which it holds
// open while it runs, as the real tool's server does.
#include <string>

namespace bridge {

void openServerLog();
void serverLog(const std::string& line);

}  // namespace bridge
