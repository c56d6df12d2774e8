/* The criteria language's scanner: the longest match at each position, the
 * earlier token kind winning between equal lengths. Used by the parser. */
#ifndef VQ_RECORDS_STORE_CRITERIA_SCAN_H
#define VQ_RECORDS_STORE_CRITERIA_SCAN_H

#include <windows.h>

/* Token codes; "(", ")" and line feed are their character codes, end of
 * input is 0. */
#define CRIT_TOK_END      0
#define CRIT_TOK_NEWLINE  '\n'
#define CRIT_TOK_LPAREN   '('
#define CRIT_TOK_RPAREN   ')'
#define CRIT_TOK_VALUE    257
#define CRIT_TOK_ID       258
#define CRIT_TOK_LT       259
#define CRIT_TOK_GT       260
#define CRIT_TOK_GE       261
#define CRIT_TOK_LE       262
#define CRIT_TOK_EQ       263
#define CRIT_TOK_NE       264
#define CRIT_TOK_AND      265
#define CRIT_TOK_OR       266
/* Not a token: an invalid character, or a token longer than the buffer. */
#define CRIT_TOK_ERROR    (-1)

/* The longest token the scanner's 16384-byte buffer can hold. */
#define CRIT_SCAN_MAX_TOKEN 16382

typedef struct CriteriaScanner {
    const char *input;
    size_t pos;
    const char *tokenText;   /* start of the last token in the input */
    size_t tokenLength;
} CriteriaScanner;

void CriteriaScanInit(CriteriaScanner *scanner, const char *input);

/* Returns the next token code; for VALUE and ID the token's text is at
 * tokenText/tokenLength. Spaces and tabs are skipped. */
int CriteriaScanNext(CriteriaScanner *scanner);

#endif
