// Child processes on Windows: started hidden, with the null device as standard input and
// handles of their own, and waited for, ended and closed through their process handle.
#include "platform/win32/win32.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

struct plat_process_s {
    PROCESS_INFORMATION info;
};

// An inheritable copy of one of the program's handles, for one child to inherit; null
// where h is null or can't be copied. The caller closes it once the child has started.
static HANDLE child_copy(HANDLE h)
{
    HANDLE copy = nullptr;
    if (!h || h == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

plat_process plat_start_process(const char *application, char *command_line, plat_handle std_output)
{
    // The handles a child inherits are copies made for it alone and closed again as soon
    // as it has started: the program's own handles are not inheritable, so a child that
    // is started while another still runs inherits nothing of the other's. (Windows XP
    // has no list of the handles a child may inherit; on the program's one thread these
    // copies are the only inheritable handles it holds while CreateProcessA runs.)
    //
    // The null device as standard input: a tool that reads its input to the end (wmic
    // does when its input is a pipe, as under a remote shell) must not wait for the
    // program's input to end.
    SECURITY_ATTRIBUTES inherit;
    inherit.nLength = sizeof inherit;
    inherit.lpSecurityDescriptor = nullptr;
    inherit.bInheritHandle = TRUE;
    HANDLE null_input =
        CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    HANDLE output = std_output ? child_copy(to_win(std_output)) : nullptr;

    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = null_input != INVALID_HANDLE_VALUE ? null_input : nullptr;
    si.hStdOutput = std_output ? output : GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    // A capture that could not be copied would leave the tool writing nowhere the
    // program reads: the tool is not started then.
    BOOL started = !std_output || output
                       ? CreateProcessA(application, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)
                       : FALSE;
    if (null_input != INVALID_HANDLE_VALUE)
        CloseHandle(null_input);
    if (output)
        CloseHandle(output);
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
