/* New heap texts of exactly the needed size: printf into one, for the many
 * places that build paths and messages whose length is not known, and
 * copies of a text or of its first bytes. */
#ifndef VQ_AGENT_TEXTFORMAT_H
#define VQ_AGENT_TEXTFORMAT_H

#include <stdarg.h>
#include <stddef.h>

/* A new text (free() it), or NULL when the format fails or memory runs out. */
char *FormatNewText(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));
char *FormatNewTextV(const char *format, va_list ap);

/* A new copy of `text` (free() it); NULL for NULL and when out of memory. */
char *CopyText(const char *text);

/* A new text of the first `length` bytes of `text`, terminated (free() it);
 * NULL when out of memory. The bytes are copied as they are, zeros
 * included. */
char *CopyTextCounted(const char *text, size_t length);

#endif
