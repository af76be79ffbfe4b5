/* Stands in for fontctl.exe beside the example batch scripts, so that a case
   can count their runs of fontctl and steer what an install answers.

   Every run appends one line to fontctl-runs.log beside this program: the
   command line after its own name and the blanks that follow it, in UTF-8.
   It then runs fontctl-real.exe beside it with that same rest of the command
   line, on the same standard handles, and exits with its exit status, unless
   one of these files beside it (UTF-8, one Windows path a line, compared
   ignoring case) says that an install (command 1) answers 3 without doing
   anything:

     held-open.txt  destinations, each the copy of a font that is in the font
                    table, whose file Windows holds open: the install answers
                    3 while that file is there, until a removal (command 2)
                    of that path takes the font out of the table; a line
                    "*" holds every copy there is, as Windows holds each
                    copy that a run of this session installed;
     refused.txt    sources whose copy fails, as on a full disk; a line that
                    is a bare file name refuses every source of that name
                    (so also a copy kept aside that is to be put back), and
                    a destination refuses every install into it;
     refused-once.txt  destinations whose next install answers 3 (unless
                    held open), which then leaves the list;
     held-elsewhere.txt  copies that another program holds open: a removal
                    (command 2) of one answers 2 and leaves the file, as
                    fontctl does when the file cannot be deleted;
     hold-answer.txt  sources (or bare file names) whose install, once run,
                    leaves its standard output held open for HoldSeconds
                    by a process of its own that inherits it, as a scanner
                    holds a file that was just written.

   Exit status 0 after such an answer, as fontctl's; 255 with a line on
   standard error when the stand-in itself failed. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "passing_on.h"

enum { StandInFailed = 255, LongestPath = 32768, HoldSeconds = 8 };

/* What the process that holds a standard output open is started with. */
static const wchar_t HoldArgument[] = L"--hold-answer";

/* FILE NAME beside this program, or NULL. */
static wchar_t* Beside(const wchar_t* fileName)
{
    static wchar_t self[LongestPath];
    DWORD const length = GetModuleFileNameW(NULL, self, LongestPath);
    if (length == 0 || length >= LongestPath) {
        return NULL;
    }
    wchar_t* const slash = wcsrchr(self, L'\\');
    size_t const folder = slash == NULL ? 0 : (size_t)(slash - self) + 1;
    size_t const size = folder + wcslen(fileName) + 1;
    wchar_t* path = malloc(size * sizeof *path);
    if (path != NULL) {
        wmemcpy(path, self, folder);
        wcscpy(path + folder, fileName);
    }
    return path;
}

/* TEXT in UTF-8 (LENGTH characters), or NULL. */
static char* Utf8From(const wchar_t* text, int length)
{
    int const size = WideCharToMultiByte(CP_UTF8, 0, text, length, NULL, 0, NULL, NULL);
    char* utf8 = malloc((size_t)size + 1);
    if (utf8 != NULL && WideCharToMultiByte(CP_UTF8, 0, text, length, utf8, size, NULL, NULL) == size) {
        utf8[size] = '\0';
        return utf8;
    }
    free(utf8);
    return NULL;
}

static BOOL AppendToLog(const wchar_t* rest)
{
    while (*rest == L' ' || *rest == L'\t') {
        ++rest;
    }
    wchar_t* const logPath = Beside(L"fontctl-runs.log");
    char* const line = Utf8From(rest, -1);
    BOOL written = FALSE;
    if (logPath != NULL && line != NULL) {
        /* Append-only access: the system writes each line at the end, also
           when two scripts' stand-ins write at once. */
        HANDLE const log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (log != INVALID_HANDLE_VALUE) {
            size_t const length = strlen(line);
            DWORD done = 0;
            written = WriteFile(log, line, (DWORD)length, &done, NULL) && done == length
                && WriteFile(log, "\n", 1, &done, NULL) && done == 1;
            CloseHandle(log);
        }
    }
    free(logPath);
    free(line);
    return written;
}

/* Whether the list file FILE NAME beside this program holds PATH as a line. */
static BOOL Listed(const wchar_t* fileName, const wchar_t* path)
{
    wchar_t* const listPath = Beside(fileName);
    FILE* const list = listPath == NULL ? NULL : _wfopen(listPath, L"rb");
    free(listPath);
    if (list == NULL) {
        return FALSE;
    }
    BOOL found = FALSE;
    char line[LongestPath];
    static wchar_t wide[LongestPath];
    while (!found && fgets(line, sizeof line, list) != NULL) {
        line[strcspn(line, "\r\n")] = '\0';
        found = MultiByteToWideChar(CP_UTF8, 0, line, -1, wide, LongestPath) > 0
            && CompareStringOrdinal(wide, -1, path, -1, TRUE) == CSTR_EQUAL;
    }
    fclose(list);
    return found;
}

/* Drops the line PATH from the list file FILE NAME beside this program. */
static void Unlist(const wchar_t* fileName, const wchar_t* path)
{
    wchar_t* const listPath = Beside(fileName);
    FILE* const list = listPath == NULL ? NULL : _wfopen(listPath, L"rb");
    if (list == NULL) {
        free(listPath);
        return;
    }
    char* kept = calloc(1, 1);
    size_t size = 0;
    char line[LongestPath];
    static wchar_t wide[LongestPath];
    while (kept != NULL && fgets(line, sizeof line, list) != NULL) {
        line[strcspn(line, "\r\n")] = '\0';
        if (MultiByteToWideChar(CP_UTF8, 0, line, -1, wide, LongestPath) > 0
            && CompareStringOrdinal(wide, -1, path, -1, TRUE) == CSTR_EQUAL) {
            continue;
        }
        size_t const length = strlen(line);
        char* const grown = realloc(kept, size + length + 2);
        if (grown == NULL) {
            free(kept);
            kept = NULL;
            break;
        }
        kept = grown;
        memcpy(kept + size, line, length);
        size += length;
        kept[size++] = '\n';
        kept[size] = '\0';
    }
    fclose(list);
    FILE* const rewritten = kept == NULL ? NULL : _wfopen(listPath, L"wb");
    if (rewritten != NULL) {
        fwrite(kept, 1, size, rewritten);
        fclose(rewritten);
    }
    free(kept);
    free(listPath);
}

/* The arguments of REST, counting a program name before them, or NULL. */
static wchar_t** Arguments(const wchar_t* rest, int* count)
{
    /* CommandLineToArgvW takes its first argument as a program name: give
       it one. */
    size_t const size = wcslen(rest) + 2;
    wchar_t* const line = malloc(size * sizeof *line);
    if (line == NULL) {
        return NULL;
    }
    swprintf(line, size, L"x%ls", rest);
    wchar_t** const arguments = CommandLineToArgvW(line, count);
    free(line);
    return arguments;
}

/* A removal (`2 PATH`) takes a held font out of the table: the hold ends. */
static void Release(const wchar_t* rest)
{
    int count = 0;
    wchar_t** const arguments = Arguments(rest, &count);
    if (arguments != NULL && count == 3 && wcscmp(arguments[1], L"2") == 0) {
        Unlist(L"held-open.txt", arguments[2]);
    }
    LocalFree(arguments);
}

/* Whether `1 SOURCE FOLDER` is an install that answers 3 here. */
static BOOL RefusedInstall(const wchar_t* rest)
{
    static wchar_t destination[LongestPath];
    int count = 0;
    wchar_t** const arguments = Arguments(rest, &count);
    BOOL refused = FALSE;
    if (arguments != NULL && count == 4 && wcscmp(arguments[1], L"1") == 0) {
        const wchar_t* name = arguments[2];
        for (const wchar_t* c = arguments[2]; *c != L'\0'; ++c) {
            if (*c == L'\\' || *c == L'/') {
                name = c + 1;
            }
        }
        swprintf(destination, LongestPath, L"%ls\\%ls", arguments[3], name);
        refused = Listed(L"refused.txt", arguments[2]) || Listed(L"refused.txt", name)
            || Listed(L"refused.txt", destination)
            || ((Listed(L"held-open.txt", destination) || Listed(L"held-open.txt", L"*"))
                && GetFileAttributesW(destination) != INVALID_FILE_ATTRIBUTES);
        if (!refused && Listed(L"refused-once.txt", destination)) {
            Unlist(L"refused-once.txt", destination);
            refused = TRUE;
        }
    }
    LocalFree(arguments);
    return refused;
}

/* Whether `2 PATH` is a removal of a copy that another program holds open. */
static BOOL HeldElsewhere(const wchar_t* rest)
{
    int count = 0;
    wchar_t** const arguments = Arguments(rest, &count);
    BOOL const held = arguments != NULL && count == 3 && wcscmp(arguments[1], L"2") == 0
        && Listed(L"held-elsewhere.txt", arguments[2]);
    LocalFree(arguments);
    return held;
}

/* Whether `1 SOURCE FOLDER` is an install whose answer is held open. */
static BOOL HeldAnswer(const wchar_t* rest)
{
    int count = 0;
    wchar_t** const arguments = Arguments(rest, &count);
    BOOL held = FALSE;
    if (arguments != NULL && count == 4 && wcscmp(arguments[1], L"1") == 0) {
        const wchar_t* name = arguments[2];
        for (const wchar_t* c = arguments[2]; *c != L'\0'; ++c) {
            if (*c == L'\\' || *c == L'/') {
                name = c + 1;
            }
        }
        held = Listed(L"hold-answer.txt", arguments[2]) || Listed(L"hold-answer.txt", name);
    }
    LocalFree(arguments);
    return held;
}

/* Starts this program again, detached, to hold the standard output that it
   inherits open for HoldSeconds. */
static void HoldStandardOutput(void)
{
    static wchar_t self[LongestPath];
    DWORD const length = GetModuleFileNameW(NULL, self, LongestPath);
    if (length == 0 || length >= LongestPath) {
        return;
    }
    static wchar_t commandLine[LongestPath + 64];
    swprintf(commandLine, LongestPath + 64, L"\"%ls\" %ls", self, HoldArgument);
    STARTUPINFOW startup = StartupOnOurStdHandles();
    PROCESS_INFORMATION process;
    if (CreateProcessW(
            self, commandLine, NULL, NULL, TRUE, DETACHED_PROCESS, NULL, NULL, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

/* Runs fontctl-real.exe with REST as the rest of its command line; its exit
   status, or StandInFailed. */
static DWORD RunReal(const wchar_t* rest)
{
    wchar_t* const real = Beside(L"fontctl-real.exe");
    if (real == NULL) {
        return StandInFailed;
    }
    size_t const size = wcslen(real) + wcslen(rest) + 3;
    wchar_t* const commandLine = malloc(size * sizeof *commandLine);
    DWORD exitCode = StandInFailed;
    if (commandLine != NULL) {
        swprintf(commandLine, size, L"\"%ls\"%ls", real, rest);
        STARTUPINFOW startup = StartupOnOurStdHandles();
        PROCESS_INFORMATION process;
        if (CreateProcessW(real, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
            CloseHandle(process.hThread);
            WaitForSingleObject(process.hProcess, INFINITE);
            if (!GetExitCodeProcess(process.hProcess, &exitCode)) {
                exitCode = StandInFailed;
            }
            CloseHandle(process.hProcess);
        }
    }
    free(commandLine);
    free(real);
    return exitCode;
}

int main(void)
{
    const wchar_t* const rest = AfterOwnName(GetCommandLineW());
    if (wcscmp(rest + wcsspn(rest, L" \t"), HoldArgument) == 0) {
        Sleep(HoldSeconds * 1000);
        return 0;
    }
    if (!AppendToLog(rest)) {
        fputs("fontctl_stand_in.exe: cannot write fontctl-runs.log\n", stderr);
        return StandInFailed;
    }
    if (RefusedInstall(rest)) {
        fputs("3", stdout);
        return 0;
    }
    if (HeldElsewhere(rest)) {
        fputs("2", stdout);
        return 0;
    }
    Release(rest);
    DWORD const exitCode = RunReal(rest);
    if (exitCode == StandInFailed) {
        fputs("fontctl_stand_in.exe: cannot run fontctl-real.exe\n", stderr);
    } else if (HeldAnswer(rest)) {
        HoldStandardOutput();
    }
    return (int)exitCode;
}
