/* Text helpers: case-insensitive find-and-replace, lower-casing, character
 * replacement, the last component of a path or URL. */
#include "agent/textutil.h"
#include "agent/textformat.h"
#include "agent/log.h"
#include "agent/textconv.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char *shown(const char *text)
{
    return text ? text : "(null)";
}

/* Only A-Z fold, byte for byte: the lengths of the input and of its folded
 * form stay equal, so a hit in one is a hit at the same place in the other,
 * and no UTF-8 sequence is ever split. */
static char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

static int equalNoCase(const char *a, const char *b)
{
    for (; *a && *b; a++, b++) {
        if (foldAscii(*a) != foldAscii(*b))
            return 0;
    }
    return *a == *b;
}

static int matchesAt(const char *text, const char *pattern, size_t patternLen)
{
    for (size_t i = 0; i < patternLen; i++) {
        if (foldAscii(text[i]) != foldAscii(pattern[i]))
            return 0;
    }
    return 1;
}

char *FindAndReplaceWithNoCase(const char *input, const char *oldText, const char *newText)
{
    printf("FindAndReplaceWithNoCase : Input String : %s \n", shown(input));
    printf("FindAndReplaceWithNoCase : oldString String : %s \n", shown(oldText));
    printf("FindAndReplaceWithNoCase : newString String : %s \n", shown(newText));
    if (!input || strlen(input) < 2) {
        printf("FindAndReplaceWithNoCase : The input string is either NULL or empty string \n");
        return CopyText(input);
    }
    if (!oldText || strlen(oldText) < 2) {
        printf("FindAndReplaceWithNoCase : The string to find is either NULL or empty string \n");
        return CopyText(input);
    }
    if (!newText) {
        printf("FindAndReplaceWithNoCase : The replacement string is NULL \n");
        return CopyText(input);
    }
    if (equalNoCase(oldText, newText)) {
        printf("FindAndReplaceWithNoCase : Both the old string and new strings are same , we are "
               "sending the input string as output ..\n");
        return CopyText(input);
    }

    /* Occurrences are counted in the input, left to right, each search
     * resuming after the text just matched. The inserted text is never
     * searched again, so a new text that contains the old one cannot make
     * the replacement go on for ever. */
    size_t inputLen = strlen(input), oldLen = strlen(oldText), newLen = strlen(newText);
    size_t hits = 0;
    for (size_t i = 0; i + oldLen <= inputLen;) {
        if (matchesAt(input + i, oldText, oldLen)) {
            hits++;
            i += oldLen;
        } else {
            i++;
        }
    }
    size_t outLen = inputLen;
    if (newLen > oldLen) {
        size_t growth = newLen - oldLen;
        if (hits != 0 && growth > (SIZE_MAX - 1 - inputLen) / hits)
            return NULL;
        outLen += hits * growth;
    } else {
        outLen -= hits * (oldLen - newLen);
    }
    char *out = (char *)malloc(outLen + 1);
    if (!out)
        return NULL;
    char *w = out;
    for (size_t i = 0; i < inputLen;) {
        if (i + oldLen <= inputLen && matchesAt(input + i, oldText, oldLen)) {
            memcpy(w, newText, newLen);
            w += newLen;
            i += oldLen;
        } else {
            *w++ = input[i++];
        }
    }
    *w = '\0';
    return out;
}

char *ToLowerUtf8(const char *text)
{
    if (!text)
        return NULL;
    wchar_t *wide = NULL;
    if (!ChangeUtf8ToWideStr(text, &wide))
        return NULL;
    /* CharLowerBuffW maps every UTF-16 unit in place by the Unicode case
     * tables; the C runtime's towlower only maps A-Z in the "C" locale. */
    size_t len = wcslen(wide);
    if (len > 0)
        CharLowerBuffW(wide, (DWORD)len);
    char *lower = NULL;
    ChangeWideToUtf8Str(wide, &lower);
    free(wide);
    return lower;
}

char *ReplaceCharInCopy(const char *text, char from, char to)
{
    char *copy = CopyText(text);
    if (copy) {
        for (char *p = copy; *p; p++) {
            if (*p == from)
                *p = to;
        }
    }
    return copy;
}

char *GetLastFileName(const char *path)
{
    LogDebug("GetLastFileName Function Called with %s...!\n", shown(path));
    if (!path)
        return NULL;
    const char *last = strrchr(path, '\\');
    return CopyText(last ? last + 1 : path);
}

char *GetLastUrlFileName(const char *url)
{
    LogDebug("GetLastUrlFileName Function Called with %s...!\n", shown(url));
    if (!url)
        return NULL;
    const char *last = strrchr(url, '/');
    return CopyText(last ? last + 1 : url);
}
