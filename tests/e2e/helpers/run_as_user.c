/* Runs a command line as another local user of this Windows, for the cases
   about what an ordinary user may not do: the suite itself runs as an
   administrator, whom no ACL of the cases' folders would stop.

   Usage: run_as_user.exe COMMAND LINE...
     with E2E_RUN_AS_USER and E2E_RUN_AS_PASSWORD set: the user's name (a
     local account) and password. The rest of our own command line after our
     own name is the new process's, exactly as given. It starts in our
     current folder, with our environment (less those two variables) and our
     standard handles, on our window station and desktop, which
     CreateProcessWithLogonW opens to the user; the user's profile is loaded
     so that HKEY_CURRENT_USER is the user's own.

   Exit status: the program's, or 255 with a line on standard error when it
   could not be started. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "passing_on.h"

enum { RunAsFailed = 255 };

static const wchar_t* const UserVariable = L"E2E_RUN_AS_USER";
static const wchar_t* const PasswordVariable = L"E2E_RUN_AS_PASSWORD";

/* Overwrites the password in memory before it is freed. */
static void ForgetPassword(wchar_t* password)
{
    if (password != NULL) {
        SecureZeroMemory(password, wcslen(password) * sizeof *password);
        free(password);
    }
}

int main(void)
{
    wchar_t* const user = TakeVariable(UserVariable);
    wchar_t* const password = TakeVariable(PasswordVariable);
    const wchar_t* rest = AfterOwnName(GetCommandLineW());
    while (*rest == L' ' || *rest == L'\t') {
        ++rest;
    }
    /* CreateProcessWithLogonW may write into the command line it is given. */
    wchar_t* const commandLine = _wcsdup(rest);
    if (user == NULL || password == NULL || commandLine == NULL || *commandLine == L'\0') {
        fputs("run_as_user.exe: needs E2E_RUN_AS_USER, E2E_RUN_AS_PASSWORD and a command line\n", stderr);
        ForgetPassword(password);
        free(user);
        free(commandLine);
        return RunAsFailed;
    }

    wchar_t* const environment = GetEnvironmentStringsW();
    /* The Secondary Logon service hands the program these handles. */
    STARTUPINFOW startup = StartupOnOurStdHandles();
    PROCESS_INFORMATION process;
    BOOL const started = CreateProcessWithLogonW(user, L".", password, LOGON_WITH_PROFILE, NULL, commandLine,
        CREATE_UNICODE_ENVIRONMENT, environment, NULL, &startup, &process);
    DWORD const error = GetLastError();
    ForgetPassword(password);
    FreeEnvironmentStringsW(environment);
    free(commandLine);
    if (!started) {
        fwprintf(stderr, L"run_as_user.exe: cannot start the program as %ls (error %lu)\n", user, error);
        free(user);
        return RunAsFailed;
    }
    free(user);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = RunAsFailed;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    return (int)status;
}
