#pragma once
// "push LOCAL REMOTE": the file dialogue of a "sync:" stream, with the real tool's report.
#include <string>

#include "tools/bridge/client.h"

namespace bridge {

int push(ServerClient& server, const std::string& serial, const std::string& local,
         std::string remote);

}  // namespace bridge
