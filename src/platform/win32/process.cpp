// Child processes on Windows: started hidden, with the null device as standard input,
// and waited for, ended and closed through their process handle.
#include "platform/win32/win32.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

struct plat_process_s {
    PROCESS_INFORMATION info;
};

plat_process plat_start_process(const char *application, char *command_line, plat_handle std_output)
{
    // The null device as standard input, inheritable, as the child's own copy: a tool
    // that reads its input to the end (wmic does when its input is a pipe, as under a
    // remote shell) must not wait for the program's input to end.
    SECURITY_ATTRIBUTES inherit;
    inherit.nLength = sizeof inherit;
    inherit.lpSecurityDescriptor = nullptr;
    inherit.bInheritHandle = TRUE;
    HANDLE null_input =
        CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = null_input != INVALID_HANDLE_VALUE ? null_input : nullptr;
    si.hStdOutput = std_output ? to_win(std_output) : GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    BOOL started = CreateProcessA(application, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (null_input != INVALID_HANDLE_VALUE)
        CloseHandle(null_input);
    if (!started)
        return nullptr;
    plat_process p = static_cast<plat_process>(std::malloc(sizeof(plat_process_s)));
    if (!p) {
        // Without a record the child can't be waited for; end it rather than leave it running.
        TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return nullptr;
    }
    p->info = pi;
    return p;
}

int plat_wait_process(plat_process p, uint32_t timeout_ms)
{
    if (!p)
        return PLAT_WAIT_FAILED;
    DWORD rc = WaitForSingleObject(p->info.hProcess, timeout_ms);
    if (rc == WAIT_OBJECT_0)
        return PLAT_WAIT_ENDED;
    if (rc == WAIT_TIMEOUT)
        return PLAT_WAIT_TIMEOUT;
    return PLAT_WAIT_FAILED;
}

int plat_terminate_process(plat_process p)
{
    if (!p || !TerminateProcess(p->info.hProcess, 1))
        return 0;
    // The process has ended only when its handle is signalled.
    WaitForSingleObject(p->info.hProcess, 5000);
    return 1;
}

void plat_close_process(plat_process p)
{
    if (!p)
        return;
    CloseHandle(p->info.hThread);
    CloseHandle(p->info.hProcess);
    std::free(p);
}
