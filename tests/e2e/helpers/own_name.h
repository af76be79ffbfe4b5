/* What the helpers that are handed a command line to pass on share. */
#ifndef FONTCTL_E2E_OWN_NAME_H
#define FONTCTL_E2E_OWN_NAME_H

#include <wchar.h>

/* Our command line after our own name: the name ends at the first blank, or
   at the closing quote when it starts with one (no escapes in argument 0). */
static const wchar_t* AfterOwnName(const wchar_t* commandLine)
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

#endif
