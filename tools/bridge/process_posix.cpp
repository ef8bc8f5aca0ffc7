#include "tools/bridge/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bench {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool startServerProcess(unsigned short port, std::string& error) {
    char exe[4096];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) {
        error = std::string("cannot find own executable: ") + std::strerror(errno);
        return false;
    }
    exe[length] = '\0';
    const std::string portText = std::to_string(port);

    // Double fork: the server is nobody's child that could wait for it, in a session of its own.
    const pid_t child = fork();
    if (child < 0) {
        error = std::string("fork failed: ") + std::strerror(errno);
        return false;
    }
    if (child == 0) {
        setsid();
        const pid_t server = fork();
        if (server != 0) {
            _exit(server < 0 ? 1 : 0);
        }
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        closefrom(3);
        if (chdir("/") != 0) {
            _exit(126);
        }
        execl(exe, exe, "fork-server", "server", portText.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "could not start the server process";
        return false;
    }
    return true;
}

void detachServerStdio() {
    // startServerProcess already put the standard streams on /dev/null.
}

void waitForProcessExit(unsigned long, std::chrono::milliseconds) {
    // Nothing to wait for: a POSIX executable can be removed while it runs, and the caller has
    // already seen the server close its socket on the way out.
}

unsigned long currentProcessId() {
    return static_cast<unsigned long>(getpid());
}

}  // namespace bench
