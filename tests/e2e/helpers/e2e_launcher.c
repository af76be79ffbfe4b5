/* Starts a program with an exact command line, byte for byte, which
   `wine program args...` cannot do: it quotes each argument anew.

   Usage: e2e_launcher.exe inherit|none PROGRAM COMMAND_LINE_FILE

   The command line is the whole content of COMMAND_LINE_FILE, in the ANSI
   code page, program name included. With "inherit" the program writes to
   our standard output; with "none" it starts with no standard output at all.
   The exit status is the program's, or 255 when it could not be started. */
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

int main(int argc, char** argv)
{
    if (argc != 4 || (strcmp(argv[1], "inherit") != 0 && strcmp(argv[1], "none") != 0)) {
        fputs("usage: e2e_launcher.exe inherit|none PROGRAM COMMAND_LINE_FILE\n", stderr);
        return LauncherFailed;
    }
    char* commandLine = ReadWholeFile(argv[3]);
    if (commandLine == NULL) {
        fprintf(stderr, "cannot read %s\n", argv[3]);
        return LauncherFailed;
    }

    STARTUPINFOA startup = {0};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = InheritableStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = strcmp(argv[1], "inherit") == 0 ? InheritableStdHandle(STD_OUTPUT_HANDLE) : NULL;
    startup.hStdError = InheritableStdHandle(STD_ERROR_HANDLE);

    PROCESS_INFORMATION process;
    if (!CreateProcessA(argv[2], commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
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
