/* Logs every WM_FONTCHANGE that reaches a hidden top-level window, one line
   each with its wParam and lParam, and every fence message with its number.

   Usage: e2e_listener.exe LOG_PATH

   The log starts with the line "ready" once the window exists, so a test
   knows when broadcasts can reach it. */
#include "e2e_fence.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>

static FILE* logFile;
static UINT fenceMessage;

static void LogLine(const char* kind, WPARAM wParam, LPARAM lParam)
{
    fprintf(logFile, "%s %llu %lld\n", kind, (unsigned long long)wParam, (long long)lParam);
    /* The test reads the log while we run. */
    fflush(logFile);
}

static LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_FONTCHANGE) {
        LogLine("fontchange", wParam, lParam);
        return 0;
    }
    if (message == fenceMessage) {
        LogLine("fence", wParam, lParam);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: e2e_listener.exe LOG_PATH\n", stderr);
        return 2;
    }
    /* Binary mode: the C runtime would otherwise write CRLF line ends. */
    logFile = fopen(argv[1], "wb");
    if (logFile == NULL) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    fenceMessage = RegisterWindowMessageA(E2E_FENCE_MESSAGE_NAME);

    WNDCLASSA windowClass = {0};
    windowClass.lpfnWndProc = ListenerProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "FontctlE2eListener";
    if (fenceMessage == 0 || RegisterClassA(&windowClass) == 0) {
        fputs("cannot register the fence message or the window class\n", stderr);
        return 1;
    }
    /* Top-level (broadcasts skip child and message-only windows) but never
       shown. */
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "fontctl e2e listener", WS_OVERLAPPED,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, windowClass.hInstance, NULL);
    if (window == NULL) {
        fputs("cannot create the window (is there an X server?)\n", stderr);
        return 1;
    }
    fputs("ready\n", logFile);
    fflush(logFile);

    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    fclose(logFile);
    return 0;
}
