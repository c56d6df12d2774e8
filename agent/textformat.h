/* printf into a new heap text of exactly the needed size, for the many
 * places that build paths and messages whose length is not known. */
#ifndef VQ_AGENT_TEXTFORMAT_H
#define VQ_AGENT_TEXTFORMAT_H

#include <stdarg.h>

/* A new text (free() it), or NULL when the format fails or memory runs out. */
char *FormatNewText(const char *format, ...) __attribute__((format(gnu_printf, 1, 2)));
char *FormatNewTextV(const char *format, va_list ap);

#endif
