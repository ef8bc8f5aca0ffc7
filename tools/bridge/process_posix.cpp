#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tools/bridge/process.h"

namespace bridge {

std::vector<std::string> programArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

bool startServerProcess(std::string& error) {
    char exe[4096];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) {
        error = "fail to create sdb server process: " + std::to_string(errno);
        return false;
    }
    exe[length] = '\0';
    std::string folder(exe);
    folder.erase(folder.find_last_of('/') + 1);

    // Double fork: the server is nobody's child that could wait for it, in a session of its own.
    const pid_t child = fork();
    if (child < 0) {
        error = "fail to create sdb server process: " + std::to_string(errno);
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
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        execl(exe, exe, "fork-server", "server", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "fail to create sdb server process: " + std::to_string(WEXITSTATUS(status));
        return false;
    }
    return true;
}

void detachServerStdio() {
    // startServerProcess already put the standard streams on /dev/null.
}

}  // namespace bridge
