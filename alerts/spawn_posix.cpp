#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <vector>

#include "alerts/spawn.h"

extern char **environ;

namespace {

// Whether entry ("NAME=value") sets a name that one of env's entries sets.
bool Replaced(const char *entry, const AlertEnvironment &env)
{
    for (const char *ours : env.entries) {
        size_t name = strcspn(ours, "=") + 1;
        if (strncmp(entry, ours, name) == 0)
            return true;
    }
    return false;
}

}  // namespace

int StartChild(const char *path, const AlertEnvironment &env, ChildProcess *child)
{
    std::vector<char *> envp;
    for (char **e = environ; e && *e; e++)
        if (!Replaced(*e, env))
            envp.push_back(*e);
    for (const char *ours : env.entries)
        envp.push_back(const_cast<char *>(ours));
    envp.push_back(nullptr);
    char *argv[] = {const_cast<char *>(path), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, path, nullptr, nullptr, argv, envp.data()) != 0)
        return 0;
    *child = pid;
    return 1;
}

int ChildEnded(ChildProcess child)
{
    int status = 0;
    // -1: not a child of ours any more, so nothing to wait for either.
    return waitpid(static_cast<pid_t>(child), &status, WNOHANG) != 0;
}

void ReleaseChild(ChildProcess) {}
