/* Thousands of random criteria texts, well-formed and not: parsing must
 * never crash, must reject exactly the texts a reference parser written here
 * rejects, and every accepted text must select exactly the rows that a
 * reference evaluator written here selects. */
#include "records/store/criteria.h"
#include "records/store/tablestore.h"
#include "support/records/recordfixture.h"

#include "agent/locktable.h"

#include <gtest/gtest.h>

#include <math.h>
#include <random>
#include <string.h>

using namespace vqt;

namespace {

/* ---- the reference: a tokenizer, a recursive parser and an evaluator ---- */

enum RefTok { R_END, R_NL, R_LP, R_RP, R_VAL, R_ID, R_OP, R_AND, R_OR, R_BAD };

struct Tok {
    RefTok kind;
    std::string text;
};

bool RefTokenize(const std::string &s, std::vector<Tok> *out)
{
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == ' ' || c == '\t') { i++; continue; }
        if (isalpha((unsigned char)c) && (unsigned char)c < 128) {
            size_t j = i;
            while (j < s.size() && (isalnum((unsigned char)s[j]) || s[j] == '_') && (unsigned char)s[j] < 128)
                j++;
            std::string w = s.substr(i, j - i);
            out->push_back({w == "and" ? R_AND : w == "or" ? R_OR : R_ID, w});
            i = j;
        } else if (isdigit((unsigned char)c)) {
            size_t j = i;
            while (j < s.size() && isdigit((unsigned char)s[j])) j++;
            if (j + 1 < s.size() && s[j] == '.' && isdigit((unsigned char)s[j + 1])) {
                j++;
                while (j < s.size() && isdigit((unsigned char)s[j])) j++;
            }
            out->push_back({R_VAL, s.substr(i, j - i)});
            i = j;
        } else if (c == '\'') {
            size_t j = s.find_first_of("'\n", i + 1);
            if (j == std::string::npos || s[j] != '\'')
                return false;
            out->push_back({R_VAL, s.substr(i, j + 1 - i)});
            i = j + 1;
        } else if (c == '<' || c == '>' || c == '!' || c == '=') {
            std::string two = s.substr(i, 2);
            if (two == "<=" || two == ">=" || two == "!=") { out->push_back({R_OP, two}); i += 2; }
            else if (c == '!') return false;
            else { out->push_back({R_OP, std::string(1, c)}); i++; }
        } else if (c == '(') { out->push_back({R_LP, "("}); i++; }
        else if (c == ')') { out->push_back({R_RP, ")"}); i++; }
        else if (c == '\n') { out->push_back({R_NL, "\n"}); i++; }
        else return false;
    }
    out->push_back({R_END, ""});
    return true;
}

struct RefNode {
    bool leaf = false;
    std::string column, op, literal;
    bool isAnd = false;
    std::unique_ptr<RefNode> left, right;
};

struct RefParser {
    std::vector<Tok> toks;
    size_t at = 0;
    const Tok &peek() { return toks[at]; }
    std::unique_ptr<RefNode> primary()
    {
        if (peek().kind == R_LP) {
            at++;
            auto e = expr();
            if (!e || peek().kind != R_RP) return nullptr;
            at++;
            return e;
        }
        Tok a = peek();
        if (a.kind != R_ID && a.kind != R_VAL) return nullptr;
        at++;
        if (peek().kind != R_OP) return nullptr;
        std::string op = peek().text;
        at++;
        Tok b = peek();
        if (b.kind != (a.kind == R_ID ? R_VAL : R_ID)) return nullptr;
        at++;
        auto n = std::make_unique<RefNode>();
        n->leaf = true;
        n->column = a.kind == R_ID ? a.text : b.text;
        n->literal = a.kind == R_ID ? b.text : a.text;
        if (a.kind == R_VAL) {
            if (op == "<") op = ">"; else if (op == ">") op = "<";
            else if (op == "<=") op = ">="; else if (op == ">=") op = "<=";
        }
        n->op = op;
        return n;
    }
    std::unique_ptr<RefNode> expr()
    {
        auto l = primary();
        if (!l) return nullptr;
        if (peek().kind == R_AND || peek().kind == R_OR) {
            bool isAnd = peek().kind == R_AND;
            at++;
            auto r = expr();
            if (!r) return nullptr;
            auto n = std::make_unique<RefNode>();
            n->isAnd = isAnd;
            n->left = std::move(l);
            n->right = std::move(r);
            return n;
        }
        return l;
    }
};

std::unique_ptr<RefNode> RefParse(const std::string &text)
{
    RefParser p;
    if (!RefTokenize(text + "\n", &p.toks)) return nullptr;
    std::unique_ptr<RefNode> last;
    do {
        auto e = p.expr();
        if (!e || p.peek().kind != R_NL) return nullptr;
        p.at++;
        last = std::move(e);
    } while (p.peek().kind != R_END);
    return last;
}

/* The test table: what each column holds, in plain C++ terms. */
struct RefRow {
    bool idNull, nameNull;
    int id;
    unsigned u;
    std::string name;
    float score;
    long long big;
    double dbl;
};

bool RefInt(const std::string &s, long long *v)
{
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    unsigned long long acc = 0;
    for (; i < s.size(); i++) {
        if (!isdigit((unsigned char)s[i])) { *v = 0; return true; }
        acc = acc * 10 + (unsigned)(s[i] - '0');
    }
    *v = neg ? -(long long)acc : (long long)acc;
    return true;
}

float RefFloat(const std::string &s)
{
    for (char c : s)
        if (!isdigit((unsigned char)c) && c != '.') return 0;
    return (float)atof(s.c_str());
}

template <typename T> bool Cmp(const std::string &op, T a, T b)
{
    if (op == "<") return a < b;
    if (op == ">") return a > b;
    if (op == "<=") return a <= b;
    if (op == ">=") return a >= b;
    if (op == "=") return a == b;
    return a != b;
}

bool RefEval(const RefNode *n, const RefRow &r)
{
    if (!n->leaf)
        return n->isAnd ? RefEval(n->left.get(), r) && RefEval(n->right.get(), r)
                        : RefEval(n->left.get(), r) || RefEval(n->right.get(), r);
    std::string col = n->column;
    for (char &c : col) c = (char)toupper((unsigned char)c);
    long long lit = 0;
    RefInt(n->literal, &lit);
    if (col == "ID") return !r.idNull && Cmp(n->op, r.id, (int)lit);
    if (col == "U") return Cmp(n->op, r.u, (unsigned)lit);
    if (col == "BIG") return Cmp(n->op, r.big, lit);
    if (col == "SCORE") {
        float f = RefFloat(n->literal);
        return Cmp(n->op, r.score, f);
    }
    if (col == "NAME") {
        if (r.nameNull) return false;
        std::string l = n->literal.size() >= 2 ? n->literal.substr(1, n->literal.size() - 2) : "";
        int c = strcmp(r.name.c_str(), l.c_str());   /* ASCII only here */
        return Cmp(n->op, c, 0);
    }
    return false;   /* DBL is never comparable; unknown columns never match */
}

/* ---- random texts ---- */

struct Gen {
    std::mt19937 rng;
    explicit Gen(unsigned seed) : rng(seed) {}
    int pick(int n) { return (int)(rng() % (unsigned)n); }
    std::string column()
    {
        static const char *names[] = {"ID", "id", "U", "NAME", "Name", "SCORE", "BIG", "DBL", "NOPE", "and", "AND", "OR"};
        return names[pick(12)];
    }
    std::string value()
    {
        static const char *vals[] = {"0", "1", "5", "7", "10", "2.5", "0.5", "10.25", "4294967295",
                                     "'a'", "'b'", "'ab'", "''", "'x y'", "'5'", "99999999999"};
        return vals[pick(16)];
    }
    std::string op()
    {
        static const char *ops[] = {"<", ">", "<=", ">=", "=", "!="};
        return ops[pick(6)];
    }
    std::string space() { return pick(3) == 0 ? "" : pick(5) == 0 ? "\t" : " "; }
    std::string expr(int depth)
    {
        int k = depth > 4 ? 0 : pick(4);
        if (k == 0 || k == 1) {
            if (pick(4) == 0) return value() + space() + op() + space() + column();
            return column() + space() + op() + space() + value();
        }
        if (k == 2) return "(" + space() + expr(depth + 1) + space() + ")";
        return expr(depth + 1) + " " + (pick(2) ? "and" : "or") + " " + expr(depth + 1);
    }
    std::string mutate(std::string s)
    {
        static const char *junk[] = {"(", ")", "=", "<>", "==", "-", "'", ";", ".", "\r", "\n",
                                     "AND", "and", "1e5", "_", "!", "x", " ", "'O'Brien'"};
        int edits = 1 + pick(3);
        for (int i = 0; i < edits; i++) {
            size_t at = s.empty() ? 0 : (size_t)pick((int)s.size() + 1);
            if (pick(3) == 0 && !s.empty() && at < s.size())
                s.erase(at, 1 + (size_t)pick(3));
            else
                s.insert(at, junk[pick(19)]);
        }
        return s;
    }
    std::string text()
    {
        std::string e = expr(0);
        if (pick(5) == 0) e += "\n" + expr(0);
        return pick(2) ? e : mutate(e);
    }
};

} // namespace

TEST(CriteriaFuzz, RandomTextsAgreeWithTheReference)
{
    DefineTable("FZ", {{"ID", BRN_SQL_INT}, {"U", BRN_SQL_UNSIGNED_INT}, {"NAME", BRN_SQL_VARCHAR},
                       {"SCORE", BRN_SQL_FLOAT}, {"BIG", BRN_SQL_BIGINT}, {"DBL", BRN_SQL_DOUBLE}});
    std::mt19937 rng(777);
    std::vector<RefRow> ref;
    static const char *names[] = {"", "a", "b", "ab", "x y", "5", "A"};
    for (int i = 0; i < 60; i++) {
        RefRow r;
        r.idNull = rng() % 10 == 0;
        r.nameNull = rng() % 10 == 0;
        r.id = (int)(rng() % 13) - 2;
        r.u = rng() % 4 == 0 ? 0xFFFFFFFFu : rng() % 12;
        r.name = names[rng() % 7];
        r.score = (float)(rng() % 41) / 4.0f;
        r.big = rng() % 3 == 0 ? 99999999999LL : (long long)(rng() % 12);
        r.dbl = 1.0;
        ref.push_back(r);
        AddRow("FZ", {r.idNull ? Cell::null() : Cell::i(r.id), Cell::i((INT32)r.u),
                      r.nameNull ? Cell::null() : Cell::s(r.name), Cell::f(r.score),
                      Cell::ll(r.big), Cell::d(r.dbl)});
    }
    std::vector<RowObject *> rows;
    {
        ResultData *all = SelectRows("FZ", NULL);
        rows = Rows(all);
        FreeResultData(all);
    }

    Gen gen(4242);
    int accepted = 0, rejected = 0, nonEmpty = 0;
    for (int iter = 0; iter < 4000; iter++) {
        std::string text = gen.text();
        auto tree = RefParse(text);
        ResultData *r = SelectRows("FZ", text.c_str());
        ASSERT_FALSE(IsLockHeld(GetCriteriaLockKey()));
        if (!tree) {
            EXPECT_EQ(nullptr, r) << "accepted: [" << text << "]";
            rejected++;
            FreeResultData(r);
            continue;
        }
        EXPECT_NE(nullptr, r) << "rejected: [" << text << "]";
        if (!r)
            continue;
        accepted++;
        std::vector<RowObject *> want;
        for (size_t i = 0; i < ref.size(); i++)
            if (RefEval(tree.get(), ref[i]))
                want.push_back(rows[i]);
        if (!want.empty())
            nonEmpty++;
        EXPECT_EQ(want, Rows(r)) << "text: [" << text << "]";
        EXPECT_EQ((INT32)want.size(), r->rowCount);
        FreeResultData(r);
    }
    /* The generator must exercise both sides and real selections. */
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(rejected, 500);
    EXPECT_GT(nonEmpty, 500);
    ClearAll();
}

TEST(CriteriaFuzz, RandomBytesNeverCrashTheParser)
{
    std::mt19937 rng(99);
    const char alphabet[] = "aAnNdDoOrR_19.'\"()<>=!- \t\n\r;xX\x80\xff";
    for (int iter = 0; iter < 3000; iter++) {
        std::string s;
        int n = (int)(rng() % 40);
        for (int i = 0; i < n; i++)
            s += alphabet[rng() % (sizeof alphabet - 1)];
        CriteriaNode *tree = ParseCriteria(s.c_str());
        bool refOk = RefParse(s) != nullptr;
        EXPECT_EQ(refOk, tree != nullptr) << "[" << s << "]";
        FreeCriteria(tree);
    }
}
