/* Answers requests on the current user's registry, one a line on standard
   input and one answer a line on standard output, until standard input ends:
   the harness reaches a Wine prefix's registry through one such process
   instead of starting reg.exe for every read and write.

   A line is fields separated by tabs, in UTF-8; in each field a backslash,
   tab, line feed and carriage return are written \\, \t, \n and \r.
     read KEY NAME               value KIND DATA, absent, or other TYPE
     write KEY NAME KIND DATA    done, or failed ERROR
     delete-value KEY NAME       done, or failed ERROR
     delete-key KEY              done, or failed ERROR
     (anything else)             bad REASON
   KEY is a path under HKEY_CURRENT_USER. KIND is REG_SZ, REG_EXPAND_SZ or
   REG_DWORD, and DATA is as `reg query` shows it (a DWORD as 0x1f, a string
   up to its first null) and as `reg add /d` takes it (a DWORD in decimal or
   0x hexadecimal). A value of another type is "other" with its type number:
   reg.exe tells what it holds. ERROR is the Windows error code. A value or
   key that is not there is deleted already: done.

   Exit status 0 at the end of standard input, 1 when an answer could not be
   written. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>

enum { MostFields = 5 };

/* The characters written escaped in a field, and the letter after the
   backslash that stands for each. */
static const char Escaped[] = "\\\t\n\r";
static const char EscapeLetters[] = "\\tnr";

/* A growing buffer of bytes; the program ends on a failed allocation. */
typedef struct {
    char* bytes;
    size_t length;
    size_t room;
} Text;

static void Append(Text* text, const char* bytes, size_t length)
{
    if (text->length + length + 1 > text->room) {
        size_t room = text->room == 0 ? 256 : text->room;
        while (text->length + length + 1 > room) {
            room *= 2;
        }
        char* const grown = realloc(text->bytes, room);
        if (grown == NULL) {
            exit(1);
        }
        text->bytes = grown;
        text->room = room;
    }
    memcpy(text->bytes + text->length, bytes, length);
    text->length += length;
    text->bytes[text->length] = '\0';
}

/* The next line of standard input, without its line feed, into LINE: 0 at
   the end of the input. */
static int ReadLine(Text* line)
{
    line->length = 0;
    Append(line, "", 0);
    int c = getchar();
    if (c == EOF) {
        return 0;
    }
    while (c != EOF && c != '\n') {
        char const byte = (char)c;
        Append(line, &byte, 1);
        c = getchar();
    }
    return 1;
}

/* Splits LINE at its tabs into FIELDS and undoes the escapes of each, in
   place: the number of fields, or -1 when there are too many or an escape
   is unknown. */
static int SplitFields(char* line, char* fields[MostFields])
{
    int count = 0;
    char* field = line;
    for (;;) {
        if (count == MostFields) {
            return -1;
        }
        fields[count++] = field;
        char* out = field;
        char* in = field;
        while (*in != '\0' && *in != '\t') {
            if (*in == '\\') {
                const char* const escape = in[1] == '\0' ? NULL : strchr(EscapeLetters, in[1]);
                if (escape == NULL) {
                    return -1;
                }
                *out++ = Escaped[escape - EscapeLetters];
                in += 2;
            } else {
                *out++ = *in++;
            }
        }
        int const more = *in == '\t';
        *out = '\0';
        if (!more) {
            return count;
        }
        field = in + 1;
    }
}

/* The UTF-8 text as a new wide string, or NULL when it is no valid UTF-8. */
static wchar_t* Wide(const char* utf8)
{
    int const size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, NULL, 0);
    wchar_t* const wide = size > 0 ? malloc((size_t)size * sizeof *wide) : NULL;
    if (wide != NULL && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, size) != size) {
        free(wide);
        return NULL;
    }
    return wide;
}

/* Adds a field to the answer: a tab before it, and its escapes. */
static void AppendField(Text* answer, const char* field, size_t length)
{
    Append(answer, "\t", 1);
    for (size_t i = 0; i < length; ++i) {
        const char* const escaped = field[i] == '\0' ? NULL : strchr(Escaped, field[i]);
        if (escaped == NULL) {
            Append(answer, &field[i], 1);
        } else {
            char const escape[2] = {'\\', EscapeLetters[escaped - Escaped]};
            Append(answer, escape, 2);
        }
    }
}

static void AppendWideField(Text* answer, const wchar_t* field, size_t length)
{
    if (length == 0) {
        AppendField(answer, "", 0);
        return;
    }
    int const size = WideCharToMultiByte(CP_UTF8, 0, field, (int)length, NULL, 0, NULL, NULL);
    char* const utf8 = size > 0 ? malloc((size_t)size) : NULL;
    if (utf8 == NULL) {
        exit(1);
    }
    WideCharToMultiByte(CP_UTF8, 0, field, (int)length, utf8, size, NULL, NULL);
    AppendField(answer, utf8, (size_t)size);
    free(utf8);
}

static void AppendFailure(Text* answer, LSTATUS status)
{
    char number[16];
    snprintf(number, sizeof number, "%ld", (long)status);
    Append(answer, "failed", 6);
    AppendField(answer, number, strlen(number));
}

static const char* KindName(DWORD type)
{
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_DWORD:
        return "REG_DWORD";
    default:
        return NULL;
    }
}

static void Read(const wchar_t* key, const wchar_t* name, Text* answer)
{
    HKEY opened = NULL;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened);
    BYTE* data = NULL;
    DWORD size = 256;
    DWORD type = REG_NONE;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        free(data);
        /* Room for a null after a string stored without one. */
        data = calloc((size_t)size + 2 * sizeof(wchar_t), 1);
        if (data == NULL) {
            exit(1);
        }
        DWORD got = size;
        status = RegQueryValueExW(opened, name, NULL, &type, data, &got);
        size = got;
        if (status == ERROR_SUCCESS) {
            break;
        }
    }
    if (opened != NULL) {
        RegCloseKey(opened);
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        Append(answer, "absent", 6);
    } else if (status != ERROR_SUCCESS) {
        AppendFailure(answer, status);
    } else if (KindName(type) == NULL || (type == REG_DWORD && size != sizeof(DWORD))) {
        char number[16];
        snprintf(number, sizeof number, "%lu", (unsigned long)type);
        Append(answer, "other", 5);
        AppendField(answer, number, strlen(number));
    } else {
        Append(answer, "value", 5);
        const char* const kind = KindName(type);
        AppendField(answer, kind, strlen(kind));
        if (type == REG_DWORD) {
            DWORD number = 0;
            memcpy(&number, data, sizeof number);
            char shown[16];
            snprintf(shown, sizeof shown, "0x%lx", (unsigned long)number);
            AppendField(answer, shown, strlen(shown));
        } else {
            /* As reg shows a string: up to its first null. */
            const wchar_t* const text = (const wchar_t*)data;
            AppendWideField(answer, text, wcslen(text));
        }
    }
    free(data);
}

/* DATA as reg add takes a DWORD: decimal, or hexadecimal after 0x, all of
   it, not negative, and no more than 32 bits. */
static int ParseDword(const wchar_t* data, DWORD* number)
{
    wchar_t* rest = NULL;
    errno = 0;
    unsigned long const parsed
        = wcstoul(data, &rest, data[0] != L'\0' && towlower(data[1]) == L'x' ? 16 : 10);
    if (*rest != L'\0' || data[0] == L'-' || errno == ERANGE || parsed > 0xFFFFFFFFul) {
        return 0;
    }
    *number = (DWORD)parsed;
    return 1;
}

static void Write(
    const wchar_t* key, const wchar_t* name, const char* kind, const wchar_t* data, Text* answer)
{
    DWORD type = REG_NONE;
    DWORD number = 0;
    const BYTE* bytes = (const BYTE*)data;
    DWORD size = (DWORD)((wcslen(data) + 1) * sizeof *data);
    if (strcmp(kind, "REG_SZ") == 0 || strcmp(kind, "REG_EXPAND_SZ") == 0) {
        type = strcmp(kind, "REG_SZ") == 0 ? REG_SZ : REG_EXPAND_SZ;
    } else if (strcmp(kind, "REG_DWORD") == 0) {
        if (!ParseDword(data, &number)) {
            AppendFailure(answer, ERROR_INVALID_DATA);
            return;
        }
        type = REG_DWORD;
        bytes = (const BYTE*)&number;
        size = sizeof number;
    } else {
        Append(answer, "bad", 3);
        AppendField(answer, "unknown kind", 12);
        return;
    }
    HKEY created = NULL;
    LSTATUS status = RegCreateKeyExW(
        HKEY_CURRENT_USER, key, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, NULL, &created, NULL);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(created, name, 0, type, bytes, size);
        RegCloseKey(created);
    }
    if (status == ERROR_SUCCESS) {
        Append(answer, "done", 4);
    } else {
        AppendFailure(answer, status);
    }
}

static void DeleteValue(const wchar_t* key, const wchar_t* name, Text* answer)
{
    HKEY opened = NULL;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &opened);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueW(opened, name);
        RegCloseKey(opened);
    }
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        Append(answer, "done", 4);
    } else {
        AppendFailure(answer, status);
    }
}

static void DeleteKey(const wchar_t* key, Text* answer)
{
    /* An empty path would be HKEY_CURRENT_USER itself. */
    LSTATUS const status = key[0] == L'\0' ? ERROR_INVALID_PARAMETER : RegDeleteTreeW(HKEY_CURRENT_USER, key);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        Append(answer, "done", 4);
    } else {
        AppendFailure(answer, status);
    }
}

/* The answer to one request line. */
static void Answer(char* line, Text* answer)
{
    char* fields[MostFields] = {NULL};
    int const count = SplitFields(line, fields);
    wchar_t* wide[MostFields] = {NULL};
    int valid = count > 0;
    for (int i = 1; valid && i < count; ++i) {
        wide[i] = Wide(fields[i]);
        valid = wide[i] != NULL;
    }
    if (!valid) {
        Append(answer, "bad", 3);
        AppendField(answer, "unreadable request", 18);
    } else if (strcmp(fields[0], "read") == 0 && count == 3) {
        Read(wide[1], wide[2], answer);
    } else if (strcmp(fields[0], "write") == 0 && count == 5) {
        Write(wide[1], wide[2], fields[3], wide[4], answer);
    } else if (strcmp(fields[0], "delete-value") == 0 && count == 3) {
        DeleteValue(wide[1], wide[2], answer);
    } else if (strcmp(fields[0], "delete-key") == 0 && count == 2) {
        DeleteKey(wide[1], answer);
    } else {
        Append(answer, "bad", 3);
        AppendField(answer, "unknown request", 15);
    }
    for (int i = 0; i < MostFields; ++i) {
        free(wide[i]);
    }
}

int main(void)
{
    /* Line feeds as they are, both ways. */
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    Text line = {NULL, 0, 0};
    Text answer = {NULL, 0, 0};
    while (ReadLine(&line)) {
        answer.length = 0;
        Answer(line.bytes, &answer);
        Append(&answer, "\n", 1);
        if (fwrite(answer.bytes, 1, answer.length, stdout) != answer.length || fflush(stdout) != 0) {
            return 1;
        }
    }
    free(line.bytes);
    free(answer.bytes);
    return 0;
}
