/* The proxy password as the agent stores it: standard Base64 (A-Z, a-z,
 * 0-9, '+', '/', '=' padding), possibly with white space around it. */
#include "agent/agentparams.h"
#include "agent/log.h"

#include <stdlib.h>
#include <string.h>

static int base64Value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

int DecodeBase64(const char *text, size_t length, unsigned char *out)
{
    if (length % 4 != 0)
        return -1;
    size_t n = 0;
    for (size_t i = 0; i < length; i += 4) {
        const unsigned char *g = (const unsigned char *)text + i;
        int v0 = base64Value(g[0]), v1 = base64Value(g[1]);
        if (v0 < 0 || v1 < 0)
            return -1;
        out[n++] = (unsigned char)((v0 << 2) | (v1 >> 4));
        /* Padding may only close the text: "=" in a group that is not the
         * last one means the text is not Base64. */
        BOOL last = i + 4 == length;
        /* "==" in the third and fourth place ends after one byte. */
        if (g[2] == '=' && g[3] == '=') {
            if (!last)
                return -1;
            break;
        }
        int v2 = base64Value(g[2]);
        if (v2 < 0)
            return -1;
        out[n++] = (unsigned char)(((v1 & 0x0f) << 4) | (v2 >> 2));
        /* '=' in the fourth place ends after two bytes. */
        if (g[3] == '=') {
            if (!last)
                return -1;
            break;
        }
        int v3 = base64Value(g[3]);
        if (v3 < 0)
            return -1;
        out[n++] = (unsigned char)(((v2 & 0x03) << 6) | v3);
    }
    out[n] = '\0';
    return (int)n;
}

static int isBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char *DecodeProxyPassword(const char *stored)
{
    if (!stored)
        stored = "";
    const char *begin = stored;
    while (isBlank((unsigned char)*begin))
        begin++;
    const char *end = begin + strlen(begin);
    while (end > begin && isBlank((unsigned char)end[-1]))
        end--;
    size_t length = (size_t)(end - begin);

    /* Room for every whole group plus the terminator, whatever the length;
     * a length that is not a multiple of 4 is refused before decoding. */
    size_t size = length / 4 * 3 + 2;
    unsigned char *out = (unsigned char *)calloc(size, 1);
    if (!out)
        return NULL;
    if (DecodeBase64(begin, length, out) < 0) {
        /* A half-decoded password is of no use to the proxy and might be
         * mistaken for the real one: the password is left empty. */
        LogError("DecodeProxyPassword : The stored password is not valid Base64, using an empty password\n");
        out[0] = '\0';
    }
    return (char *)out;
}
