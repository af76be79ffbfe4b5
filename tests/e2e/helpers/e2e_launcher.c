/* Starts a program with an exact command line, byte for byte, which
   `wine program args...` cannot do: it quotes each argument anew.

   Usage: e2e_launcher.exe inherit|none PROGRAM COMMAND_LINE_FILE [utf8]

   The command line is the whole content of COMMAND_LINE_FILE, program name
   included: in the ANSI code page, handed to CreateProcessA; or, with
   "utf8", in UTF-8, turned into the Unicode command line that
   CreateProcessW starts the program with, so that characters outside our
   code page reach it too. With "inherit" the program writes to our standard
   output; with "none" it starts with no standard output at all. The exit
   status is the program's, or 255 when it could not be started. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { LauncherFailed = 255 };

/* The file's bytes with a terminating NUL, or NULL. */
static char* ReadWholeFile(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (file == NULL) {
        return NULL;
    }
    char* text = NULL;
    size_t size = 0;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) {
        char* grown = realloc(text, size + got + 1);
        if (grown == NULL) {
            free(text);
            fclose(file);
            return NULL;
        }
        text = grown;
        memcpy(text + size, chunk, got);
        size += got;
    }
    fclose(file);
    if (text == NULL) {
        text = calloc(1, 1);
    } else {
        text[size] = '\0';
    }
    return text;
}

static HANDLE InheritableStdHandle(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    if (handle != NULL && handle != INVALID_HANDLE_VALUE) {
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    return handle;
}

/* The text, in the code page, as UTF-16; NULL when it is not valid there. */
static wchar_t* WideFrom(UINT codePage, const char* text)
{
    int const length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, NULL, 0);
    wchar_t* wide = length > 0 ? malloc((size_t)length * sizeof *wide) : NULL;
    if (wide != NULL
        && MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, wide, length) != length) {
        free(wide);
        wide = NULL;
    }
    return wide;
}

/* Fills the standard handles of a STARTUPINFOA or STARTUPINFOW: ours, but no
   standard output unless inheritStdout. */
static void UseStdHandles(DWORD* flags, HANDLE* input, HANDLE* output, HANDLE* error, BOOL inheritStdout)
{
    *flags = STARTF_USESTDHANDLES;
    *input = InheritableStdHandle(STD_INPUT_HANDLE);
    *output = inheritStdout ? InheritableStdHandle(STD_OUTPUT_HANDLE) : NULL;
    *error = InheritableStdHandle(STD_ERROR_HANDLE);
}

/* Starts the program; FALSE when it could not be started. */
static BOOL Start(
    const char* program, char* commandLine, BOOL utf8, BOOL inheritStdout, PROCESS_INFORMATION* process)
{
    if (!utf8) {
        STARTUPINFOA startup = {.cb = sizeof startup};
        UseStdHandles(
            &startup.dwFlags, &startup.hStdInput, &startup.hStdOutput, &startup.hStdError, inheritStdout);
        return CreateProcessA(program, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, process);
    }
    /* Our arguments, the program's path among them, are in the ANSI code page. */
    wchar_t* const wideProgram = WideFrom(CP_ACP, program);
    wchar_t* const wideCommandLine = WideFrom(CP_UTF8, commandLine);
    BOOL started = FALSE;
    if (wideProgram != NULL && wideCommandLine != NULL) {
        STARTUPINFOW startup = {.cb = sizeof startup};
        UseStdHandles(
            &startup.dwFlags, &startup.hStdInput, &startup.hStdOutput, &startup.hStdError, inheritStdout);
        started = CreateProcessW(
            wideProgram, wideCommandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, process);
    }
    free(wideProgram);
    free(wideCommandLine);
    return started;
}

int main(int argc, char** argv)
{
    if (argc < 4 || argc > 5 || (strcmp(argv[1], "inherit") != 0 && strcmp(argv[1], "none") != 0)
        || (argc == 5 && strcmp(argv[4], "utf8") != 0)) {
        fputs("usage: e2e_launcher.exe inherit|none PROGRAM COMMAND_LINE_FILE [utf8]\n", stderr);
        return LauncherFailed;
    }
    char* commandLine = ReadWholeFile(argv[3]);
    if (commandLine == NULL) {
        fprintf(stderr, "cannot read %s\n", argv[3]);
        return LauncherFailed;
    }

    PROCESS_INFORMATION process;
    if (!Start(argv[2], commandLine, argc == 5, strcmp(argv[1], "inherit") == 0, &process)) {
        fprintf(stderr, "cannot start %s (error %lu)\n", argv[2], GetLastError());
        free(commandLine);
        return LauncherFailed;
    }
    free(commandLine);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = LauncherFailed;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    return (int)exitCode;
}
