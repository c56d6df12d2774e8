/* Parser of the criteria language. The grammar is
 *     criteria-list: empty | criteria-list expr NEWLINE
 *     expr: ID op VALUE | VALUE op ID | expr AND expr | expr OR expr | ( expr )
 * with AND and OR at one precedence, grouping to the right. It is parsed by
 * a shift-reduce loop over an explicit stack, so deep nesting cannot exhaust
 * the thread's stack: the stack counts its entries the way the table-driven
 * parser this replaces did, and a parse needing more than 10000 fails. */
#include "records/store/criteria.h"
#include "records/store/criteria_scan.h"

#include "agent/textformat.h"

#include <stdlib.h>
#include <string.h>

#define PARSE_STACK_INITIAL 200
#define PARSE_STACK_MAX     10000

static const char s_criteriaLockKey = 0;

const void *GetCriteriaLockKey(void)
{
    return &s_criteriaLockKey;
}

void FreeCriteria(CriteriaNode *root)
{
    if (!root)
        return;
    FreeCriteria(root->left);
    free(root->columnName);
    free(root->literal);
    FreeCriteria(root->right);
    free(root->boundValue);
    free(root);
}

/* A pending item of the parse: an open parenthesis, or a complete left
 * operand waiting for the right operand of its AND or OR. */
typedef struct ParseItem {
    CriteriaNode *left;   /* NULL for a parenthesis */
    BYTE op;
} ParseItem;

typedef struct ParseState {
    CriteriaScanner scanner;
    int token;
    ParseItem *items;
    int itemCount;
    int itemCapacity;
    int depth;            /* entries the table-driven parser would hold */
} ParseState;

static CriteriaNode *newNode(void)
{
    return (CriteriaNode *)calloc(1, sizeof(CriteriaNode));
}

static CriteriaNode *newJoin(BYTE op, CriteriaNode *left, CriteriaNode *right)
{
    CriteriaNode *n = newNode();
    if (!n)
        return NULL;
    n->op = op;
    n->left = left;
    n->right = right;
    left->parent = n;
    right->parent = n;
    return n;
}

static BYTE comparisonOp(int token)
{
    switch (token) {
    case CRIT_TOK_LT: return CRITERIA_OP_LT;
    case CRIT_TOK_GT: return CRITERIA_OP_GT;
    case CRIT_TOK_LE: return CRITERIA_OP_LE;
    case CRIT_TOK_GE: return CRITERIA_OP_GE;
    case CRIT_TOK_EQ: return CRITERIA_OP_EQ;
    case CRIT_TOK_NE: return CRITERIA_OP_NE;
    default: return 0;
    }
}

/* "5 < X" keeps its written meaning as "X > 5". */
static BYTE mirrored(BYTE op)
{
    switch (op) {
    case CRITERIA_OP_LT: return CRITERIA_OP_GT;
    case CRITERIA_OP_GT: return CRITERIA_OP_LT;
    case CRITERIA_OP_LE: return CRITERIA_OP_GE;
    case CRITERIA_OP_GE: return CRITERIA_OP_LE;
    default: return op;
    }
}

static void advance(ParseState *p)
{
    p->token = CriteriaScanNext(&p->scanner);
}

static bool push(ParseState *p, CriteriaNode *left, BYTE op, int weight)
{
    if (p->depth + weight > PARSE_STACK_MAX)
        return false;                       /* "yacc stack overflow" */
    if (p->itemCount == p->itemCapacity) {
        int cap = p->itemCapacity ? p->itemCapacity * 2 : PARSE_STACK_INITIAL;
        if (cap > PARSE_STACK_MAX)
            cap = PARSE_STACK_MAX;
        ParseItem *grown = (ParseItem *)realloc(p->items, sizeof *grown * (size_t)cap);
        if (!grown)
            return false;
        p->items = grown;
        p->itemCapacity = cap;
    }
    p->items[p->itemCount].left = left;
    p->items[p->itemCount].op = op;
    p->itemCount++;
    p->depth += weight;
    return true;
}

/* Reads one comparison leaf at the current token. */
static CriteriaNode *parseLeaf(ParseState *p)
{
    /* ID, op and VALUE are three more entries before the leaf reduces. */
    if (p->depth + 3 > PARSE_STACK_MAX)
        return NULL;
    int first = p->token;
    if (first != CRIT_TOK_ID && first != CRIT_TOK_VALUE)
        return NULL;
    const char *firstText = p->scanner.tokenText;
    size_t firstLength = p->scanner.tokenLength;
    advance(p);
    BYTE op = comparisonOp(p->token);
    if (!op)
        return NULL;
    advance(p);
    int second = p->token;
    if (second != (first == CRIT_TOK_ID ? CRIT_TOK_VALUE : CRIT_TOK_ID))
        return NULL;
    CriteriaNode *leaf = newNode();
    if (!leaf)
        return NULL;
    const char *idText = first == CRIT_TOK_ID ? firstText : p->scanner.tokenText;
    size_t idLength = first == CRIT_TOK_ID ? firstLength : p->scanner.tokenLength;
    const char *valueText = first == CRIT_TOK_ID ? p->scanner.tokenText : firstText;
    size_t valueLength = first == CRIT_TOK_ID ? p->scanner.tokenLength : firstLength;
    leaf->columnName = CopyTextCounted(idText, idLength);
    leaf->literal = CopyTextCounted(valueText, valueLength);
    leaf->op = first == CRIT_TOK_ID ? op : mirrored(op);
    if (!leaf->columnName || !leaf->literal) {
        FreeCriteria(leaf);
        return NULL;
    }
    advance(p);
    return leaf;
}

/* Parses one expression up to (not including) its closing line feed.
 * Returns the expression's root, or NULL on any error (everything built is
 * freed). */
static CriteriaNode *parseExpression(ParseState *p)
{
    const int base = p->itemCount;
    CriteriaNode *node = NULL;
    for (;;) {
        /* Operand: any open parentheses, then a leaf. */
        while (p->token == CRIT_TOK_LPAREN) {
            if (!push(p, NULL, 0, 1))
                goto fail;
            advance(p);
        }
        node = parseLeaf(p);
        if (!node)
            goto fail;
        for (;;) {
            if (p->token == CRIT_TOK_AND || p->token == CRIT_TOK_OR) {
                /* The operand and the operator stay on the stack: equal
                 * precedence grouping to the right reduces only at ")" or at
                 * the end of the line. */
                BYTE op = p->token == CRIT_TOK_AND ? CRITERIA_OP_AND : CRITERIA_OP_OR;
                if (!push(p, node, op, 2))
                    goto fail;
                node = NULL;
                advance(p);
                break;                       /* read the right operand */
            }
            /* Reduce every pending AND/OR down to the nearest parenthesis. */
            while (p->itemCount > base && p->items[p->itemCount - 1].left) {
                ParseItem *it = &p->items[p->itemCount - 1];
                CriteriaNode *joined = newJoin(it->op, it->left, node);
                if (!joined)
                    goto fail;
                node = joined;
                p->itemCount--;
                p->depth -= 2;
            }
            if (p->token == CRIT_TOK_RPAREN) {
                if (p->itemCount == base)
                    goto fail;               /* ")" without "(" */
                p->itemCount--;              /* the matching "(" */
                p->depth -= 1;
                advance(p);
                continue;                    /* the group is an operand */
            }
            if (p->token == CRIT_TOK_NEWLINE && p->itemCount == base)
                return node;
            goto fail;
        }
    }
fail:
    FreeCriteria(node);
    while (p->itemCount > base) {
        FreeCriteria(p->items[p->itemCount - 1].left);
        p->itemCount--;
    }
    return NULL;
}

CriteriaNode *ParseCriteria(const char *criteria)
{
    if (!criteria)
        return NULL;
    /* The grammar ends every expression with a line feed: parse a copy of
     * the text with one appended. */
    size_t length = strlen(criteria);
    char *text = (char *)malloc(length + 2);
    if (!text)
        return NULL;
    memcpy(text, criteria, length);
    text[length] = '\n';
    text[length + 1] = '\0';

    ParseState p;
    memset(&p, 0, sizeof p);
    CriteriaScanInit(&p.scanner, text);
    p.depth = 2;                             /* start state and criteria-list */
    advance(&p);

    CriteriaNode *result = NULL;
    bool ok = false;
    for (;;) {
        CriteriaNode *expr = parseExpression(&p);
        if (!expr)
            break;
        /* A line feed inside the text ends an expression; the last complete
         * one is the result, and earlier ones are not kept. */
        FreeCriteria(result);
        result = expr;
        advance(&p);                         /* past the line feed */
        if (p.token == CRIT_TOK_END) {
            ok = true;
            break;
        }
    }
    free(p.items);
    free(text);
    if (!ok) {
        FreeCriteria(result);
        return NULL;
    }
    return result;
}
