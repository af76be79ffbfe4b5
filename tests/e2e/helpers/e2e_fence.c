/* Posts the fence message with a number to every top-level window. Run after
   a command has ended, it reaches the listener after every broadcast that
   the command posted.

   Usage: e2e_fence.exe NUMBER */
#include "e2e_fence.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: e2e_fence.exe NUMBER\n", stderr);
        return 2;
    }
    UINT const fenceMessage = RegisterWindowMessageA(E2E_FENCE_MESSAGE_NAME);
    WPARAM const number = (WPARAM)strtoull(argv[1], NULL, 10);
    if (fenceMessage == 0 || !PostMessageA(HWND_BROADCAST, fenceMessage, number, 0)) {
        fputs("cannot post the fence message\n", stderr);
        return 1;
    }
    return 0;
}
