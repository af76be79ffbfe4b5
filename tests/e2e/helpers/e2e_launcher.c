/* Starts one program, waits for it to end, and reports its exit status and
   every WM_FONTCHANGE that reached our own hidden top-level window while it
   ran.

   Usage: e2e_launcher.exe PROGRAM [ARGUMENT...]
     The program starts with the rest of our own command line after our own
     name, exactly as Wine quoted it: `wine e2e_launcher.exe PROGRAM ARGS`
     gives the program the command line that `wine PROGRAM ARGS` would.
   or:    e2e_launcher.exe PROGRAM   with E2E_COMMAND_LINE set
     The program starts with exactly the bytes of that file as its command
     line: in the ANSI code page, through CreateProcessA; or, when
     E2E_COMMAND_LINE_UTF8 is set, in UTF-8, turned into the Unicode command
     line of CreateProcessW, so that characters outside our code page reach
     the program too.

   E2E_REPORT names the file that receives the report (binary, "\n" line
   ends): "status N", "process ID" (the program's process identifier), then
   "fontchange WPARAM LPARAM" for each broadcast, in the order they came. E2E_STDOUT=none starts the program
   with no standard output handle; otherwise it writes to ours. The program sees none of these variables.

   A post to HWND_BROADCAST is in every top-level window's queue before
   PostMessage returns, so once the program has ended, its broadcasts are in
   our queue. The window is never shown and never dispatched to: the queue is
   read only after the end. Only messages for our window count: the thread's
   default IME window is top-level too, and gets each broadcast as well.

   Exit status: the program's, or 255 (with a line on standard error and no
   report) when the launcher itself failed.

   With E2E_SERVE set, the launcher stays up and starts one program after
   another, each as above, for a whole session: a Wine start saved on every
   run. Each request is one line on standard input, fields separated by
   tabs, in UTF-8: the report file, the program's standard input, output
   ("-" for none) and error files, its current folder, then either "-", a
   field that is not read and the command line (CreateProcessW's, the
   program found from it), or the file of the command line (as
   E2E_COMMAND_LINE), "1" when it is in UTF-8, and the program's path. Before the program starts,
   the queue is emptied, so that only its own broadcasts are reported. When
   the request has been served, "done" and a line end go to standard output.
   A program that cannot be started gets a line in its error file and no
   report. The launcher ends at the end of its input. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "passing_on.h"

enum { LauncherFailed = 255 };

static const wchar_t* const ReportVariable = L"E2E_REPORT";
static const wchar_t* const StdoutVariable = L"E2E_STDOUT";
static const wchar_t* const CommandLineVariable = L"E2E_COMMAND_LINE";
static const wchar_t* const Utf8Variable = L"E2E_COMMAND_LINE_UTF8";
static const wchar_t* const ServeVariable = L"E2E_SERVE";

enum { RequestFields = 8, LongestRequest = 1 << 16 };

/* The file's bytes with a terminating NUL, or NULL. */
static char* ReadWholeFile(const wchar_t* path)
{
    FILE* file = _wfopen(path, L"rb");
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

/* Where a program starts: its standard handles (output NULL for none) and
   its current folder (NULL for ours). */
typedef struct {
    HANDLE input;
    HANDLE output;
    HANDLE error;
    const wchar_t* folder;
} StartIn;

/* Our own standard handles, made inheritable, and our folder: no standard
   output unless inheritStdout. */
static StartIn OurOwn(BOOL inheritStdout)
{
    StartIn const own = {
        .input = InheritableStdHandle(STD_INPUT_HANDLE),
        .output = inheritStdout ? InheritableStdHandle(STD_OUTPUT_HANDLE) : NULL,
        .error = InheritableStdHandle(STD_ERROR_HANDLE),
        .folder = NULL,
    };
    return own;
}

/* The text in the ANSI code page, or NULL. */
static char* AnsiFrom(const wchar_t* text)
{
    int const size = WideCharToMultiByte(CP_ACP, 0, text, -1, NULL, 0, NULL, NULL);
    char* ansi = size > 0 ? malloc((size_t)size) : NULL;
    if (ansi != NULL && WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, size, NULL, NULL) != size) {
        free(ansi);
        ansi = NULL;
    }
    return ansi;
}

/* Starts the program with a command line in the ANSI code page. */
static BOOL StartNarrow(
    const wchar_t* program, char* commandLine, const StartIn* in, PROCESS_INFORMATION* process)
{
    /* Our own arguments, the program's path among them, are in the ANSI
       code page too. */
    char* const narrowProgram = AnsiFrom(program);
    char* const narrowFolder = in->folder == NULL ? NULL : AnsiFrom(in->folder);
    BOOL started = FALSE;
    if (narrowProgram != NULL && (in->folder == NULL || narrowFolder != NULL)) {
        STARTUPINFOA startup = {.cb = sizeof startup, .dwFlags = STARTF_USESTDHANDLES};
        startup.hStdInput = in->input;
        startup.hStdOutput = in->output;
        startup.hStdError = in->error;
        started = CreateProcessA(
            narrowProgram, commandLine, NULL, NULL, TRUE, 0, NULL, narrowFolder, &startup, process);
    }
    free(narrowProgram);
    free(narrowFolder);
    return started;
}

/* Starts the program with a Unicode command line; program NULL takes it
   from the command line's first argument. */
static BOOL StartWide(
    const wchar_t* program, wchar_t* commandLine, const StartIn* in, PROCESS_INFORMATION* process)
{
    STARTUPINFOW startup = {.cb = sizeof startup, .dwFlags = STARTF_USESTDHANDLES};
    startup.hStdInput = in->input;
    startup.hStdOutput = in->output;
    startup.hStdError = in->error;
    return CreateProcessW(program, commandLine, NULL, NULL, TRUE, 0, NULL, in->folder, &startup, process);
}

/* Starts the program with exactly the bytes of the file as its command
   line: in the ANSI code page, or in UTF-8 when utf8. */
static BOOL StartFromFile(const wchar_t* program, const wchar_t* lineFile, BOOL utf8, const StartIn* in,
    PROCESS_INFORMATION* process)
{
    char* const bytes = ReadWholeFile(lineFile);
    BOOL started = FALSE;
    if (bytes != NULL && !utf8) {
        started = StartNarrow(program, bytes, in, process);
    } else if (bytes != NULL) {
        wchar_t* const commandLine = WideFrom(CP_UTF8, bytes);
        started = commandLine != NULL && StartWide(program, commandLine, in, process);
        free(commandLine);
    }
    free(bytes);
    return started;
}

/* Starts the program the way the environment asks; FALSE when it could not
   be started. */
static BOOL Start(BOOL inheritStdout, PROCESS_INFORMATION* process)
{
    wchar_t* const lineFile = TakeVariable(CommandLineVariable);
    wchar_t* const utf8 = TakeVariable(Utf8Variable);
    StartIn const in = OurOwn(inheritStdout);
    const wchar_t* rest = AfterOwnName(GetCommandLineW());
    while (*rest == L' ' || *rest == L'\t') {
        ++rest;
    }
    BOOL started = FALSE;
    if (lineFile == NULL) {
        /* CreateProcessW may write into the command line it is given. */
        wchar_t* const commandLine = _wcsdup(rest);
        started = commandLine != NULL && *commandLine != L'\0' && StartWide(NULL, commandLine, &in, process);
        free(commandLine);
    } else {
        /* The only argument is the program's path, as Wine quoted it. */
        int argumentCount = 0;
        wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &argumentCount);
        started = arguments != NULL && argumentCount == 2
            && StartFromFile(arguments[1], lineFile, utf8 != NULL, &in, process);
        LocalFree(arguments);
    }
    free(lineFile);
    free(utf8);
    return started;
}

/* A hidden top-level window: broadcasts reach top-level windows only. */
static HWND CreateListeningWindow(void)
{
    WNDCLASSW windowClass = {0};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = L"FontctlE2eLauncher";
    if (RegisterClassW(&windowClass) == 0) {
        return NULL;
    }
    return CreateWindowExW(0, windowClass.lpszClassName, L"fontctl e2e launcher", WS_OVERLAPPED,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, windowClass.hInstance, NULL);
}

/* Writes the exit status, the process identifier and every WM_FONTCHANGE for
   the window that is in the queue now; FALSE when the report could not be
   written. */
static BOOL WriteReport(const wchar_t* path, HWND window, DWORD exitCode, DWORD processId)
{
    FILE* report = _wfopen(path, L"wb");
    if (report == NULL) {
        return FALSE;
    }
    BOOL written
        = fprintf(report, "status %lu\nprocess %lu\n", (unsigned long)exitCode, (unsigned long)processId) > 0;
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.hwnd == window && message.message == WM_FONTCHANGE) {
            written = written
                && fprintf(report, "fontchange %llu %lld\n", (unsigned long long)message.wParam,
                       (long long)message.lParam)
                    > 0;
        }
    }
    return fclose(report) == 0 && written;
}

/* Our own handle, kept from every program we start. */
static void KeepToOurselves(DWORD which)
{
    HANDLE const handle = GetStdHandle(which);
    if (handle != NULL && handle != INVALID_HANDLE_VALUE) {
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0);
    }
}

/* The file of a request's field, opened for the program to inherit; NULL
   for "-" (no handle), INVALID_HANDLE_VALUE when it cannot be opened. */
static HANDLE OpenForProgram(const char* path, DWORD access)
{
    if (strcmp(path, "-") == 0) {
        return NULL;
    }
    wchar_t* const widePath = WideFrom(CP_UTF8, path);
    if (widePath == NULL) {
        return INVALID_HANDLE_VALUE;
    }
    SECURITY_ATTRIBUTES inherited = {.nLength = sizeof inherited, .bInheritHandle = TRUE};
    HANDLE const file = CreateFileW(widePath, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        &inherited, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    free(widePath);
    return file;
}

static void CloseIfOpen(HANDLE handle)
{
    if (handle != NULL && handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
}

/* Splits the request line in place into its fields; FALSE when it has
   another number of them. The command line, last, may hold tabs. */
static BOOL SplitRequest(char* line, char* fields[RequestFields])
{
    line[strcspn(line, "\r\n")] = '\0';
    for (int field = 0; field < RequestFields - 1; ++field) {
        fields[field] = line;
        char* const tab = strchr(line, '\t');
        if (tab == NULL) {
            return FALSE;
        }
        *tab = '\0';
        line = tab + 1;
    }
    fields[RequestFields - 1] = line;
    return TRUE;
}

/* Serves one request: starts the program, waits for it and writes the
   report. What went wrong goes to the program's error file, or to ours. */
static void ServeRequest(HWND window, char* fields[RequestFields])
{
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) { }
    HANDLE const input = OpenForProgram(fields[1], GENERIC_READ);
    HANDLE const output = OpenForProgram(fields[2], GENERIC_WRITE);
    HANDLE const error = OpenForProgram(fields[3], GENERIC_WRITE);
    wchar_t* const reportPath = WideFrom(CP_UTF8, fields[0]);
    wchar_t* const folder = WideFrom(CP_UTF8, fields[4]);
    wchar_t* const lineFile = strcmp(fields[5], "-") == 0 ? NULL : WideFrom(CP_UTF8, fields[5]);
    wchar_t* const command = WideFrom(CP_UTF8, fields[7]);
    if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE || error == INVALID_HANDLE_VALUE
        || error == NULL || reportPath == NULL || folder == NULL || command == NULL
        || (lineFile == NULL && strcmp(fields[5], "-") != 0)) {
        fputs("e2e_launcher.exe: a request names a file that cannot be opened, or is not UTF-8\n", stderr);
    } else {
        StartIn const in = {.input = input, .output = output, .error = error, .folder = folder};
        PROCESS_INFORMATION process;
        BOOL const started = lineFile == NULL
            ? StartWide(NULL, command, &in, &process)
            : StartFromFile(command, lineFile, strcmp(fields[6], "1") == 0, &in, &process);
        if (started) {
            CloseHandle(process.hThread);
            WaitForSingleObject(process.hProcess, INFINITE);
            DWORD exitCode = LauncherFailed;
            GetExitCodeProcess(process.hProcess, &exitCode);
            CloseHandle(process.hProcess);
            if (!WriteReport(reportPath, window, exitCode, process.dwProcessId)) {
                fputs("e2e_launcher.exe: cannot write the report\n", stderr);
            }
        } else {
            char said[96];
            DWORD written = 0;
            int const length = snprintf(said, sizeof said,
                "e2e_launcher.exe: cannot start the program (error %lu)\n", GetLastError());
            WriteFile(error, said, (DWORD)length, &written, NULL);
        }
    }
    CloseIfOpen(input);
    CloseIfOpen(output);
    CloseIfOpen(error);
    free(reportPath);
    free(folder);
    free(lineFile);
    free(command);
}

/* Serves requests until the end of standard input. */
static int Serve(HWND window)
{
    KeepToOurselves(STD_INPUT_HANDLE);
    KeepToOurselves(STD_OUTPUT_HANDLE);
    KeepToOurselves(STD_ERROR_HANDLE);
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    static char line[LongestRequest];
    char* fields[RequestFields];
    while (fgets(line, sizeof line, stdin) != NULL) {
        if (SplitRequest(line, fields)) {
            ServeRequest(window, fields);
        } else {
            fprintf(stderr, "e2e_launcher.exe: a request without its %d fields\n", RequestFields);
        }
        fputs("done\n", stdout);
        fflush(stdout);
    }
    return 0;
}

int main(void)
{
    wchar_t* const serve = TakeVariable(ServeVariable);
    if (serve != NULL) {
        free(serve);
        HWND const window = CreateListeningWindow();
        if (window == NULL) {
            fputs("e2e_launcher.exe: cannot create the window (is there an X server?)\n", stderr);
            return LauncherFailed;
        }
        return Serve(window);
    }
    wchar_t* const reportPath = TakeVariable(ReportVariable);
    wchar_t* const stdoutMode = TakeVariable(StdoutVariable);
    BOOL const inheritStdout = stdoutMode == NULL || wcscmp(stdoutMode, L"none") != 0;
    free(stdoutMode);
    if (reportPath == NULL) {
        fputs("e2e_launcher.exe: E2E_REPORT names no report file\n", stderr);
        return LauncherFailed;
    }
    HWND const window = CreateListeningWindow();
    if (window == NULL) {
        fputs("e2e_launcher.exe: cannot create the window (is there an X server?)\n", stderr);
        free(reportPath);
        return LauncherFailed;
    }

    PROCESS_INFORMATION process;
    if (!Start(inheritStdout, &process)) {
        fprintf(stderr, "e2e_launcher.exe: cannot start the program (error %lu)\n", GetLastError());
        free(reportPath);
        return LauncherFailed;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = LauncherFailed;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);

    BOOL const reported = WriteReport(reportPath, window, exitCode, process.dwProcessId);
    free(reportPath);
    if (!reported) {
        fputs("e2e_launcher.exe: cannot write the report\n", stderr);
        return LauncherFailed;
    }
    return (int)exitCode;
}
