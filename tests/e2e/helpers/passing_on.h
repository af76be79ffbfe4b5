/* What the helpers that pass their command line on to another program
   share. */
#ifndef FONTCTL_E2E_PASSING_ON_H
#define FONTCTL_E2E_PASSING_ON_H

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

/* Our command line after our own name: the name ends at the first blank, or
   at the closing quote when it starts with one (no escapes in argument 0). */
static inline const wchar_t* AfterOwnName(const wchar_t* commandLine)
{
    const wchar_t* rest = commandLine;
    if (*rest == L'"') {
        ++rest;
        while (*rest != L'\0' && *rest != L'"') {
            ++rest;
        }
        if (*rest == L'"') {
            ++rest;
        }
    } else {
        while (*rest != L'\0' && *rest != L' ' && *rest != L'\t') {
            ++rest;
        }
    }
    return rest;
}

/* The standard handle, made inheritable for the program started. */
static inline HANDLE InheritableStdHandle(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    if (handle != NULL && handle != INVALID_HANDLE_VALUE) {
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    return handle;
}

/* The start-up record of a program that gets our standard handles. */
static inline STARTUPINFOW StartupOnOurStdHandles(void)
{
    STARTUPINFOW startup = {.cb = sizeof startup, .dwFlags = STARTF_USESTDHANDLES};
    startup.hStdInput = InheritableStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = InheritableStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = InheritableStdHandle(STD_ERROR_HANDLE);
    return startup;
}

/* The variable's value, copied, or NULL when it is not set. The variable
   goes from our environment: a program that the started one starts in turn
   (our own copy standing in for fontctl.exe, say) must not see it. */
static inline wchar_t* TakeVariable(const wchar_t* name)
{
    DWORD const size = GetEnvironmentVariableW(name, NULL, 0);
    wchar_t* value = size > 0 ? malloc(size * sizeof *value) : NULL;
    if (value != NULL && GetEnvironmentVariableW(name, value, size) + 1 != size) {
        free(value);
        value = NULL;
    }
    SetEnvironmentVariableW(name, NULL);
    return value;
}

#endif
