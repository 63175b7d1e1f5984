// Child processes on the host: a real Linux process for the program that the Windows
// path names in the simulated host, with the command line's remaining words as its
// arguments, split as Windows splits a command line.
#include "platform/host/host.h"
#include "platform/platform.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

extern char **environ;

struct plat_process_s {
    pid_t pid;
    bool ended;
};

// Splits a command line as the C runtime of a Windows program does: blanks and tabs
// separate words, double quotes group and are dropped, 2n backslashes before a quote
// give n backslashes, 2n+1 give n and a literal quote.
static std::vector<std::string> split_command_line(const char *line)
{
    std::vector<std::string> words;
    const char *p = line ? line : "";
    for (;;) {
        while (*p == ' ' || *p == '\t')
            p++;
        if (*p == '\0')
            break;
        std::string word;
        bool quoted = false;
        while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '\\') {
                size_t slashes = 0;
                while (*p == '\\') {
                    slashes++;
                    p++;
                }
                if (*p == '"') {
                    word.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        word += '"';
                        p++;
                    }
                } else {
                    word.append(slashes, '\\');
                }
                continue;
            }
            if (*p == '"') {
                if (quoted && p[1] == '"') {
                    word += '"';
                    p += 2;
                    continue;
                }
                quoted = !quoted;
                p++;
                continue;
            }
            word += *p++;
        }
        words.push_back(word);
    }
    return words;
}

plat_process plat_start_process(const char *application, char *command_line, plat_handle std_output)
{
    std::vector<std::string> words = split_command_line(command_line);
    if (words.empty() && !application)
        return nullptr;
    std::string program = host_map_path(application ? application : words[0].c_str());
    struct stat st;
    if (stat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(program.c_str(), X_OK) != 0)
        return nullptr;

    std::vector<char *> argv;
    std::string first = words.empty() ? std::string(application) : words[0];
    argv.push_back(const_cast<char *>(first.c_str()));
    for (size_t i = 1; i < words.size(); i++)
        argv.push_back(const_cast<char *>(words[i].c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Standard input is the null device: a tool must not wait for the program's input.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    int out_fd = host_handle_fd(std_output);
    if (out_fd >= 0)
        posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so that ending a tool also ends whatever it started.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0)
        return nullptr;
    plat_process p = new plat_process_s();
    p->pid = pid;
    p->ended = false;
    return p;
}

// Reaps the child if it has ended: 1 ended, 0 still running, -1 it can't be waited for.
static int reap(plat_process p)
{
    int status = 0;
    pid_t r;
    do {
        r = waitpid(p->pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == p->pid) {
        p->ended = true;
        return 1;
    }
    return r == 0 ? 0 : -1;
}

static int64_t now_ms()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int plat_wait_process(plat_process p, uint32_t timeout_ms)
{
    if (!p)
        return PLAT_WAIT_FAILED;
    if (p->ended)
        return PLAT_WAIT_ENDED;
    int64_t deadline = now_ms() + static_cast<int64_t>(timeout_ms);
    // A descriptor of the process that becomes readable when it ends (Linux 5.3 and
    // later), so that the wait sleeps until then; where there is none, naps of 20 ms.
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, p->pid, 0));
    int result = PLAT_WAIT_TIMEOUT;
    for (;;) {
        int state = reap(p);
        if (state != 0) {
            result = state > 0 ? PLAT_WAIT_ENDED : PLAT_WAIT_FAILED;
            break;
        }
        int64_t left = timeout_ms == PLAT_INFINITE ? 1000 : deadline - now_ms();
        if (left <= 0)
            break;
        int wait_ms = left > 1000 ? 1000 : static_cast<int>(left);
        if (pidfd >= 0) {
            struct pollfd ready = {pidfd, POLLIN, 0};
            poll(&ready, 1, wait_ms);
        } else {
            struct timespec nap = {0, (wait_ms < 20 ? wait_ms : 20) * 1000000L};
            nanosleep(&nap, nullptr);
        }
    }
    if (pidfd >= 0)
        close(pidfd);
    return result;
}

int plat_terminate_process(plat_process p)
{
    if (!p)
        return 0;
    if (p->ended)
        return 1;
    kill(-p->pid, SIGKILL);
    kill(p->pid, SIGKILL);
    int status = 0;
    pid_t r;
    do {
        r = waitpid(p->pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    p->ended = true;
    return 1;
}

void plat_close_process(plat_process p)
{
    if (!p)
        return;
    if (!p->ended) {
        // The handle goes, the child runs on; reap it when it has already ended.
        int status = 0;
        waitpid(p->pid, &status, WNOHANG);
    }
    delete p;
}
