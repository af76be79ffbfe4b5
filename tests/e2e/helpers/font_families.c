/* Tells whether a font family is in the font table as this process sees it:
   a program of the session other than the one that added the font.

   Usage: font_families.exe FAMILY [FONT_FILE]
     Prints "present" when EnumFontFamiliesExW finds a face of FAMILY, else
     "absent" (no line end), and exits with 0. With FONT_FILE, the file is
     added to this process's own font table first (FR_PRIVATE) and taken out
     again at the end: the family as a program that loaded the file itself
     sees it, which shows that the name and the enumeration are right.

   Arguments are read from the Unicode command line, so that any name
   reaches GDI as it is. Exit status 2: a usage error; 3: the file was not
   added; 4: no device context. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <stdio.h>
#include <wchar.h>

enum { Done = 0, UsageError = 2, NotAdded = 3, NoDeviceContext = 4 };

static int CALLBACK NoteFamily(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD type, LPARAM found)
{
    (void)font;
    (void)metrics;
    (void)type;
    *(BOOL*)found = TRUE;
    return 0; /* One face is enough. */
}

static int Enumerate(const wchar_t* family)
{
    HDC const context = GetDC(NULL);
    if (context == NULL) {
        return NoDeviceContext;
    }
    LOGFONTW wanted = {0};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, family, LF_FACESIZE - 1);
    BOOL found = FALSE;
    EnumFontFamiliesExW(context, &wanted, NoteFamily, (LPARAM)&found, 0);
    ReleaseDC(NULL, context);
    fputs(found ? "present" : "absent", stdout);
    return Done;
}

int main(void)
{
    int count = 0;
    wchar_t** const arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == NULL || count < 2 || count > 3 || wcslen(arguments[1]) >= LF_FACESIZE) {
        fputs("usage: font_families.exe FAMILY [FONT_FILE]\n", stderr);
        LocalFree(arguments);
        return UsageError;
    }
    const wchar_t* const fontFile = count == 3 ? arguments[2] : NULL;
    int status = NotAdded;
    if (fontFile == NULL) {
        status = Enumerate(arguments[1]);
    } else if (AddFontResourceExW(fontFile, FR_PRIVATE, NULL) > 0) {
        status = Enumerate(arguments[1]);
        RemoveFontResourceExW(fontFile, FR_PRIVATE, NULL);
    }
    LocalFree(arguments);
    return status;
}
