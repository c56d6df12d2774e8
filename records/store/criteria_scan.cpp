/* Scanner of the criteria language. Keywords are lower case only ("AND" is
 * an identifier), numbers carry no sign and no exponent, quoted texts have no
 * escape and cannot hold a quote or a line feed, and every character outside
 * the token table is an error by itself. */
#include "records/store/criteria_scan.h"

static bool isDigit(char c) { return c >= '0' && c <= '9'; }
static bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void CriteriaScanInit(CriteriaScanner *scanner, const char *input)
{
    scanner->input = input ? input : "";
    scanner->pos = 0;
    scanner->tokenText = scanner->input;
    scanner->tokenLength = 0;
}

/* Records the token at `start` of `length` characters and moves past it. */
static int take(CriteriaScanner *s, size_t start, size_t length, int code)
{
    s->tokenText = s->input + start;
    s->tokenLength = length;
    s->pos = start + length;
    if (length > CRIT_SCAN_MAX_TOKEN)
        return CRIT_TOK_ERROR;
    return code;
}

int CriteriaScanNext(CriteriaScanner *s)
{
    const char *in = s->input;
    while (in[s->pos] == ' ' || in[s->pos] == '\t')
        s->pos++;
    size_t start = s->pos;
    char c = in[start];
    if (c == '\0') {
        s->tokenText = in + start;
        s->tokenLength = 0;
        return CRIT_TOK_END;
    }
    if (isLetter(c)) {
        size_t n = 1;
        while (isLetter(in[start + n]) || isDigit(in[start + n]) || in[start + n] == '_')
            n++;
        /* "and" and "or" tie with the identifier rule at the same length and
         * win as the earlier lines of the token table. */
        if (n == 3 && in[start] == 'a' && in[start + 1] == 'n' && in[start + 2] == 'd')
            return take(s, start, n, CRIT_TOK_AND);
        if (n == 2 && in[start] == 'o' && in[start + 1] == 'r')
            return take(s, start, n, CRIT_TOK_OR);
        return take(s, start, n, CRIT_TOK_ID);
    }
    if (isDigit(c)) {
        size_t n = 1;
        while (isDigit(in[start + n]))
            n++;
        /* A real needs digits on both sides of the point; otherwise the
         * integer alone is the longest match. */
        if (in[start + n] == '.' && isDigit(in[start + n + 1])) {
            n += 2;
            while (isDigit(in[start + n]))
                n++;
        }
        return take(s, start, n, CRIT_TOK_VALUE);
    }
    switch (c) {
    case '\'': {
        size_t n = 1;
        while (in[start + n] != '\0' && in[start + n] != '\'' && in[start + n] != '\n')
            n++;
        if (in[start + n] == '\'')
            return take(s, start, n + 1, CRIT_TOK_VALUE);
        return take(s, start, 1, CRIT_TOK_ERROR);   /* a lone quote */
    }
    case '(':
        return take(s, start, 1, CRIT_TOK_LPAREN);
    case ')':
        return take(s, start, 1, CRIT_TOK_RPAREN);
    case '\n':
        return take(s, start, 1, CRIT_TOK_NEWLINE);
    case '<':
        if (in[start + 1] == '=')
            return take(s, start, 2, CRIT_TOK_LE);
        return take(s, start, 1, CRIT_TOK_LT);
    case '>':
        if (in[start + 1] == '=')
            return take(s, start, 2, CRIT_TOK_GE);
        return take(s, start, 1, CRIT_TOK_GT);
    case '=':
        return take(s, start, 1, CRIT_TOK_EQ);
    case '!':
        if (in[start + 1] == '=')
            return take(s, start, 2, CRIT_TOK_NE);
        return take(s, start, 1, CRIT_TOK_ERROR);
    default:
        return take(s, start, 1, CRIT_TOK_ERROR);
    }
}
