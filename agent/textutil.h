/* Text helpers shared by the agent: case-insensitive find-and-replace,
 * lower-casing of UTF-8 text, character replacement and the last component
 * of a path or URL. Every result is a new text that the caller frees. */
#ifndef VQ_AGENT_TEXTUTIL_H
#define VQ_AGENT_TEXTUTIL_H

#include <windows.h>

/* Every occurrence of `oldText` in `input`, matched without regard to the
 * case of A-Z, replaced by `newText`; the rest keeps its own case. Refused
 * arguments give a copy of the input (NULL for a NULL input), with the
 * reason on standard output. */
char *FindAndReplaceWithNoCase(const char *input, const char *oldText, const char *newText);

/* Lower-cased copy of UTF-8 text; NULL for NULL or text that cannot be
 * converted. */
char *ToLowerUtf8(const char *text);

/* Copy of `text` with every byte `from` replaced by `to`; NULL for NULL. */
char *ReplaceCharInCopy(const char *text, char from, char to);

/* The text after the last '\\' (the whole path when there is none). */
char *GetLastFileName(const char *path);

/* The text after the last '/' (the whole URL when there is none); NULL for
 * a NULL URL. */
char *GetLastUrlFileName(const char *url);

#endif
