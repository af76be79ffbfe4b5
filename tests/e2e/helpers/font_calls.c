/* Runs a program as its debugger and records each call it makes to the font
   table's functions of gdi32 (AddFontResource*, RemoveFontResource*, A and W,
   with and without Ex), with the path it passed: whether a program asked the
   font table at all, on Windows as well as under Wine (whose relay trace
   shows it there alone), whatever the font table answered.

   Usage: font_calls.exe PROGRAM [ARGUMENT...]   with E2E_FONT_CALLS set
     The program starts with the rest of our own command line after our own
     name, with our standard handles: it writes its own output. E2E_FONT_CALLS
     names the file that receives the record (UTF-8, "\n" line ends):
     "call FUNCTION PATH" for each call, in the order they came, then
     "armed N", the number of functions whose breakpoint was set in the
     program (0: nothing could have been recorded), then "status N", the
     program's exit status.

   How: each function's entry in the program gets a breakpoint instruction as
   soon as the DLL that holds it is loaded there. System DLLs lie at one
   address in every process of a boot, so the address is the one in our own
   process (of the DLL that really holds the function: gdi32 forwards to
   gdi32full on Windows 10 and later). At the breakpoint the first argument
   (RCX) is read, the original byte goes back for one single step, and the
   breakpoint is set again after it.

   Exit status: the program's, or 255 (with a line on standard error) when we
   failed ourselves. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "passing_on.h"

enum { TracerFailed = 255, LongestPath = 32768, TrapFlag = 0x100 };

static const wchar_t* const RecordVariable = L"E2E_FONT_CALLS";

struct Watched {
    const char* name;
    BOOL wide;
    BYTE* address; /* in our process, and so in the program's */
    BYTE* module;  /* the base of the DLL that holds it */
    BYTE original; /* the byte that the breakpoint replaced */
    BOOL armed;
};

static struct Watched watched[] = {
    {"AddFontResourceA", FALSE, NULL, NULL, 0, FALSE},
    {"AddFontResourceW", TRUE, NULL, NULL, 0, FALSE},
    {"AddFontResourceExA", FALSE, NULL, NULL, 0, FALSE},
    {"AddFontResourceExW", TRUE, NULL, NULL, 0, FALSE},
    {"RemoveFontResourceA", FALSE, NULL, NULL, 0, FALSE},
    {"RemoveFontResourceW", TRUE, NULL, NULL, 0, FALSE},
    {"RemoveFontResourceExA", FALSE, NULL, NULL, 0, FALSE},
    {"RemoveFontResourceExW", TRUE, NULL, NULL, 0, FALSE},
};
enum { WatchedCount = sizeof watched / sizeof watched[0] };

static int Fail(const char* what)
{
    fprintf(stderr, "font_calls: %s failed (error %lu)\n", what, (unsigned long)GetLastError());
    return TracerFailed;
}

static BOOL FindFunctions(void)
{
    HMODULE const gdi32 = LoadLibraryW(L"gdi32.dll");
    if (gdi32 == NULL) {
        return FALSE;
    }
    for (int i = 0; i < WatchedCount; ++i) {
        FARPROC const function = GetProcAddress(gdi32, watched[i].name);
        /* The code's address as data: ISO C has no cast between the two. */
        BYTE* address = NULL;
        memcpy(&address, &function, sizeof address);
        HMODULE holder = NULL;
        if (address != NULL
            && GetModuleHandleExW(
                GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                (LPCWSTR)address, &holder)) {
            watched[i].address = address;
            watched[i].module = (BYTE*)holder;
        }
    }
    return TRUE;
}

static BOOL WriteByte(HANDLE process, BYTE* address, BYTE value)
{
    SIZE_T written = 0;
    return WriteProcessMemory(process, address, &value, 1, &written) && written == 1
        && FlushInstructionCache(process, address, 1);
}

/* Sets the breakpoints of the functions that the DLL just loaded at `base`
   holds. */
static void ArmFunctionsOf(HANDLE process, BYTE* base)
{
    for (int i = 0; i < WatchedCount; ++i) {
        struct Watched* const function = &watched[i];
        SIZE_T read = 0;
        if (function->module != base || function->armed
            || !ReadProcessMemory(process, function->address, &function->original, 1, &read) || read != 1) {
            continue;
        }
        function->armed = WriteByte(process, function->address, 0xCC);
    }
}

static struct Watched* WatchedAt(const void* address)
{
    for (int i = 0; i < WatchedCount; ++i) {
        if (watched[i].armed && watched[i].address == address) {
            return &watched[i];
        }
    }
    return NULL;
}

/* The program's string at `address` in UTF-8, into `utf8`. */
static void ReadPath(HANDLE process, const BYTE* address, BOOL wide, char* utf8, int size)
{
    static wchar_t text[LongestPath];
    static char narrow[LongestPath];
    utf8[0] = '\0';
    SIZE_T read = 0;
    if (wide) {
        ReadProcessMemory(process, address, text, sizeof text - sizeof text[0], &read);
        text[read / sizeof text[0]] = L'\0';
        /* A read can stop at the end of the program's memory: what was read
           counts. */
    } else {
        ReadProcessMemory(process, address, narrow, sizeof narrow - 1, &read);
        narrow[read] = '\0';
        if (MultiByteToWideChar(CP_ACP, 0, narrow, -1, text, LongestPath) == 0) {
            text[0] = L'\0';
        }
    }
    if (read == 0) {
        snprintf(utf8, (size_t)size, "(unreadable %p)", (const void*)address);
        return;
    }
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, size, NULL, NULL);
}

/* Records the call at the breakpoint of `function` in `thread`, and lets the
   thread run its original instruction once, under the trap flag. */
static BOOL StepOverBreakpoint(HANDLE process, HANDLE thread, struct Watched* function, FILE* record)
{
    static char path[LongestPath * 3];
    CONTEXT context;
    context.ContextFlags = CONTEXT_FULL;
    if (!GetThreadContext(thread, &context)) {
        return FALSE;
    }
    ReadPath(process, (const BYTE*)context.Rcx, function->wide, path, (int)sizeof path);
    fprintf(record, "call %s %s\n", function->name, path);
    context.Rip = (DWORD64)function->address;
    context.EFlags |= TrapFlag;
    return WriteByte(process, function->address, function->original) && SetThreadContext(thread, &context);
}

int main(void)
{
    wchar_t recordPath[LongestPath];
    DWORD const recordLength = GetEnvironmentVariableW(RecordVariable, recordPath, LongestPath);
    if (recordLength == 0 || recordLength >= LongestPath) {
        fputs("font_calls: E2E_FONT_CALLS is not set\n", stderr);
        return TracerFailed;
    }
    SetEnvironmentVariableW(RecordVariable, NULL);
    FILE* const record = _wfopen(recordPath, L"wb");
    if (record == NULL) {
        return Fail("opening the record");
    }
    if (!FindFunctions()) {
        return Fail("loading gdi32");
    }
    const wchar_t* commandLine = AfterOwnName(GetCommandLineW());
    while (*commandLine == L' ' || *commandLine == L'\t') {
        ++commandLine;
    }
    size_t const length = wcslen(commandLine);
    wchar_t* const line = malloc((length + 1) * sizeof *line);
    if (line == NULL) {
        return Fail("allocating");
    }
    wcscpy(line, commandLine);

    STARTUPINFOW startup = StartupOnOurStdHandles();
    PROCESS_INFORMATION started;
    if (!CreateProcessW(
            NULL, line, NULL, NULL, TRUE, DEBUG_ONLY_THIS_PROCESS, NULL, NULL, &startup, &started)) {
        return Fail("CreateProcessW");
    }
    CloseHandle(started.hThread);

    /* The thread that is single-stepping past a breakpoint, and which one. */
    DWORD steppingThread = 0;
    struct Watched* stepping = NULL;
    DWORD status = TracerFailed;
    for (;;) {
        DEBUG_EVENT event;
        if (!WaitForDebugEvent(&event, INFINITE)) {
            return Fail("WaitForDebugEvent");
        }
        DWORD continueStatus = DBG_CONTINUE;
        if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
            if (event.u.CreateProcessInfo.hFile != NULL) {
                CloseHandle(event.u.CreateProcessInfo.hFile);
            }
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
            if (event.u.LoadDll.hFile != NULL) {
                CloseHandle(event.u.LoadDll.hFile);
            }
            ArmFunctionsOf(started.hProcess, (BYTE*)event.u.LoadDll.lpBaseOfDll);
        } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
            EXCEPTION_RECORD const* const exception = &event.u.Exception.ExceptionRecord;
            struct Watched* const function = WatchedAt(exception->ExceptionAddress);
            if (exception->ExceptionCode == EXCEPTION_BREAKPOINT && function != NULL) {
                HANDLE const thread
                    = OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, event.dwThreadId);
                if (thread == NULL || !StepOverBreakpoint(started.hProcess, thread, function, record)) {
                    return Fail("stepping over a breakpoint");
                }
                CloseHandle(thread);
                steppingThread = event.dwThreadId;
                stepping = function;
            } else if (exception->ExceptionCode == EXCEPTION_SINGLE_STEP && stepping != NULL
                && event.dwThreadId == steppingThread) {
                if (!WriteByte(started.hProcess, stepping->address, 0xCC)) {
                    return Fail("setting a breakpoint again");
                }
                stepping = NULL;
            } else if (exception->ExceptionCode != EXCEPTION_BREAKPOINT) {
                /* The program's own exceptions are the program's to handle;
                   the loader's first breakpoint is ours to pass. */
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            }
        } else if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            status = event.u.ExitProcess.dwExitCode;
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
            break;
        }
        if (!ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus)) {
            return Fail("ContinueDebugEvent");
        }
    }
    CloseHandle(started.hProcess);
    free(line);
    int armed = 0;
    for (int i = 0; i < WatchedCount; ++i) {
        armed += watched[i].armed;
    }
    fprintf(record, "armed %d\nstatus %lu\n", armed, (unsigned long)status);
    fclose(record);
    return (int)status;
}
