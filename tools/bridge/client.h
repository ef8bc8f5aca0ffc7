#pragma once
// The tool's side of its client/server protocol: reaching the background server (starting it
// when none runs, with the real tool's lines), host queries and streams to a target.
#include <memory>
#include <optional>
#include <string>

#include "tools/net/channel.h"

namespace bridge {

void printOut(const std::string& text);
void printErr(const std::string& text);

struct HostAnswer {
    bool okay = false;  // OKAY; otherwise `text` is the server's FAIL message
    bool lost = false;  // no answer at all
    std::string text;
};

class ServerClient {
  public:
    // Whether a server answers on 127.0.0.1:26099 (without starting one).
    static bool serverRunning();
    // Starts the server when none answers, printing the real tool's two lines; false (after an
    // error line) when it does not come up.
    bool ensureServer();

    // One host service, e.g. "host:devices", with the text that follows its OKAY when `withText`.
    HostAnswer query(const std::string& service, bool withText);
    // A stream to `service` on the target named by `serial` (the only one when empty). On a FAIL
    // (no such target, or the TV refused the service) returns nothing and sets `failure`.
    std::unique_ptr<net::Channel> open(const std::string& serial, const std::string& service,
                                       std::string& failure);

  private:
    std::unique_ptr<net::Channel> connectServer();
    bool started_ = false;
};

// Reads an OKAY or a FAIL with its message.
HostAnswer readStatus(net::Channel& channel);

}  // namespace bridge
