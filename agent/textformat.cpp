/* printf into a new heap text of the exact size (see textformat.h). */
#include "agent/textformat.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

char *FormatNewTextV(const char *format, va_list ap)
{
    va_list measure;
    va_copy(measure, ap);
    int n = vsnprintf(NULL, 0, format, measure);
    va_end(measure);
    if (n < 0)
        return NULL;
    char *text = (char *)malloc((size_t)n + 1);
    if (!text)
        return NULL;
    vsnprintf(text, (size_t)n + 1, format, ap);
    return text;
}

char *FormatNewText(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    char *text = FormatNewTextV(format, ap);
    va_end(ap);
    return text;
}

char *CopyText(const char *text)
{
    if (!text)
        return NULL;
    return CopyTextCounted(text, strlen(text));
}

char *CopyTextCounted(const char *text, size_t length)
{
    char *copy = (char *)malloc(length + 1);
    if (copy) {
        if (length)
            memcpy(copy, text, length);
        copy[length] = '\0';
    }
    return copy;
}
