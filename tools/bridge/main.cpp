// Stand-in for the TV bridge tool: the same commands, texts, streams and exit codes as current
// versions of the real tool (as far as the installer uses it), speaking the real protocols: the
// client/server one to its own background server on 127.0.0.1:26099, and the transport one from
// that server to the TV on port 26101.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tools/bridge/client.h"
#include "tools/bridge/process.h"
#include "tools/bridge/push.h"
#include "tools/bridge/server.h"

namespace {

using namespace std::chrono_literals;
using bridge::printErr;
using bridge::printOut;

constexpr auto kConnectPoll = 500ms;   // how often connect asks whether the TV is online
constexpr auto kConnectPatience = 3s;  // and for how long

int usage() {
    printErr(
        "usage: [-s SERIAL] COMMAND\n"
        "  connect HOST[:PORT]     connect to a target (port 26101 if left out)\n"
        "  disconnect [HOST:PORT]  disconnect one target, or all\n"
        "  devices                 list connected targets\n"
        "  get-state               print the target's state\n"
        "  shell WORDS...          run a command line on the target\n"
        "  push LOCAL REMOTE       copy a file to the target\n"
        "  start-server            start the server if it is not running\n"
        "  kill-server             stop the server\n");
    return 1;
}

// Prints an answer's text on standard output; a lost answer is an error.
int printAnswer(const bridge::HostAnswer& answer, const std::string& before = {}) {
    if (answer.lost) {
        printErr("error: protocol fault (no status)\n");
        return 1;
    }
    if (!answer.okay) {
        printErr(answer.text + "\n");
        return 1;
    }
    printOut(before + answer.text + (before.empty() ? "\n" : ""));
    return 0;
}

int connect(bridge::ServerClient& server, const std::string& argument) {
    const bridge::HostAnswer answer = server.query("host:connect:" + argument, true);
    if (const int status = printAnswer(answer); status != 0) {
        return status;
    }
    // "connecting to H:P ...": the TCP connection stands; the TV must now answer the CNXN.
    const std::string prefix = "connecting to ";
    if (answer.text.compare(0, prefix.size(), prefix) != 0) {
        return 0;  // already connected, or nothing listens there (which is status 0 too)
    }
    const std::string serial =
        answer.text.substr(prefix.size(), answer.text.size() - prefix.size() - 4);
    const auto deadline = std::chrono::steady_clock::now() + kConnectPatience;
    for (;;) {
        const auto state = server.query("host-serial:" + serial + ":get-state", true);
        if (state.okay && state.text == "device") {
            printOut("connected to " + serial + "\n");
            return 0;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kConnectPoll);
    }
    printOut("failed to connect to " + serial + "\n");
    return 1;
}

int killServer() {
    if (!bridge::ServerClient::serverRunning()) {
        printOut("info: Server is not running\n");
        return 0;
    }
    bridge::ServerClient server;
    // The server answers OKAY and exits at once; its exe is free a moment after we return.
    server.query("host:kill", false);
    return 0;
}

// Words joined by spaces; an empty word or one holding a space in double quotes.
std::string commandLine(const std::vector<std::string>& words) {
    std::string line;
    for (const auto& word : words) {
        const bool quote = word.empty() || word.find(' ') != std::string::npos;
        line += (line.empty() ? "" : " ") + (quote ? "\"" + word + "\"" : word);
    }
    return line;
}

int shell(bridge::ServerClient& server, const std::string& serial,
          const std::vector<std::string>& words) {
    std::string failure;
    // Current versions ask for the TV's capabilities first and carry on when it refuses.
    if (auto capability = server.open(serial, "capability:", failure)) {
        std::string ignored;
        while (!capability->readSome(ignored, 4096, 60s)) {
            ignored.clear();
        }
    } else if (failure != "closed") {
        printErr(failure + "\n");
        return 1;
    }
    auto stream = server.open(serial, "shell:" + commandLine(words), failure);
    if (!stream) {
        printErr(failure + "\n");
        return 1;
    }
    // Whatever the command's own status: the real tool does not carry it.
    std::string output;
    while (!stream->readSome(output, 4096, 3600s)) {
        printOut(output);
        output.clear();
    }
    return 0;
}

int run(std::vector<std::string> args) {
    if (args.size() == 2 && args[0] == "fork-server" && args[1] == "server") {
        return bridge::runServer();
    }
    std::string serial;
    while (args.size() >= 2 && args[0] == "-s") {
        serial = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return usage();
    }
    const std::string& command = args[0];
    if (command == "kill-server" && args.size() == 1) {
        return killServer();
    }
    const bool known = (command == "start-server" && args.size() == 1) ||
                       (command == "connect" && args.size() == 2) ||
                       (command == "disconnect" && args.size() <= 2) ||
                       (command == "devices" && args.size() == 1) ||
                       (command == "get-state" && args.size() == 1) ||
                       (command == "shell" && args.size() >= 2) ||
                       (command == "push" && args.size() == 3);
    if (!known) {
        return usage();
    }
    bridge::ServerClient server;
    if (!server.ensureServer()) {
        return 1;
    }
    if (command == "start-server") {
        return 0;
    }
    if (command == "connect") {
        return connect(server, args[1]);
    }
    if (command == "disconnect") {
        return printAnswer(
            server.query("host:disconnect:" + (args.size() == 2 ? args[1] : std::string()), true));
    }
    if (command == "devices") {
        return printAnswer(server.query("host:devices", true), "List of devices attached \n");
    }
    if (command == "get-state") {
        return printAnswer(server.query(
            serial.empty() ? std::string("host:get-state") : "host-serial:" + serial + ":get-state",
            true));
    }
    if (command == "shell") {
        return shell(server, serial, std::vector<std::string>(args.begin() + 1, args.end()));
    }
    return bridge::push(server, serial, args[1], args[2]);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(bridge::programArguments(argc, argv));
    } catch (const std::exception& e) {
        printErr(std::string("error: ") + e.what() + "\n");
        return 1;
    }
}
