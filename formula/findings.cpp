// Findings: where the program reads a formula text otherwise than the text
// seems to say. The compiler's trace tells which characters made which
// tokens and which it skipped; the evaluation passes, run over a domain that
// follows where each value comes from, tell which operands are left over and
// what a lone -1 was applied to. Nothing here reads the text a second way.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include "formula/passes.h"
#include "formula/trace.h"

const int QUOTED_LIMIT = 16;            // characters of the text quoted in one message

// ---- quoting the text ----

// Characters start .. end - 1 without the spaces around them, as a terminal
// may show them: other bytes than printable ASCII become \xNN. A long part
// keeps its start, or with keepEnd its end, and "..." marks the cut.
static std::string quoted(const char *text, int start, int end, bool keepEnd = false)
{
    while (start < end && text[start] == ' ')
        start++;
    while (end > start && text[end - 1] == ' ')
        end--;
    std::string out;
    for (int i = start; i < end; i++) {
        unsigned char c = (unsigned char)text[i];
        char shown[8];
        snprintf(shown, sizeof shown, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
        out += shown;
    }
    if ((int)out.size() <= QUOTED_LIMIT)
        return out;
    return keepEnd ? "..." + out.substr(out.size() - (QUOTED_LIMIT - 3)) : out.substr(0, QUOTED_LIMIT - 3) + "...";
}

static formulaFinding finding(findingKind kind, int position, int length, const std::string &message)
{
    return formulaFinding{ position, length, kind, message };
}

// ---- skipped characters ----

// Words a newcomer to the language types, and what it has instead.
// Columns: the word as typed, what to write instead.
static const struct knownWord {
    const char *word;
    const char *instead;
} KNOWN_WORDS[] = {
    { "sin",  "the sine is S, as in S(X)" },
    { "cos",  "the cosine is C, as in C(X)" },
    { "tan",  "the tangent is T, as in T(X)" },
    { "sqrt", "a square root is ^0.5, as in (X)^0.5" },
    { "pi",   "pi is P" },
    { "abs",  "there is no absolute value; (X^2)^0.5 is |X|" },
    { "exp",  "there is no exp; 2.7182817^X is e^X" },
    { "e",    "there is no e; 2.7182817 is e" },
    { "log",  "there is no logarithm" },
    { "ln",   "there is no logarithm" },
};

static std::string skippedMessage(const std::string &run)
{
    for (const knownWord &known : KNOWN_WORDS)
        if (run == known.word)
            return "\"" + run + "\" is skipped: " + known.instead;
    if (run.find_first_not_of("xyz") == std::string::npos)
        return "\"" + run + "\" is skipped: the variables are the capitals X, Y and Z";
    return "\"" + run + "\" is skipped: no symbol of the language";
}

// What the character after a skipped run would do with a number (or a minus
// sign) just before it, were the run not there: join it, scale it, or turn
// a "times -1" minus into a subtraction.
static bool continuesNumber(char c)
{
    return (c >= '0' && c <= '9') || c == '.' || c == 'P' || c == 'G' || c == 'R' || c == '-';
}

// A run of skipped characters other than spaces (which nobody expects to
// count). The finding names the characters whose removal changes nothing:
// all of them, except where the run also ends a number or a minus that what
// follows would otherwise join; then its last character stays, doing that.
static formulaFinding skippedRun(const char *text, const compileTrace &trace, int start, int end)
{
    bool separates = end < trace.readEnd
                     && ((trace.endedNumber[start] && continuesNumber(text[end]))
                         || (trace.afterMinus[start] && text[end] == '-'));
    std::string run = quoted(text, start, end);
    return finding(findingKind::skipped, start, end - start - (separates ? 1 : 0), skippedMessage(run));
}

static void findSkipped(const char *text, const compileTrace &trace, std::vector<formulaFinding> &out)
{
    for (int i = 0; i < trace.readEnd;) {
        if (!trace.skipped[i] || text[i] == ' ') {
            i++;
            continue;
        }
        int end = i;
        while (end < trace.readEnd && trace.skipped[end] && text[end] != ' ')
            end++;
        out.push_back(skippedRun(text, trace, i, end));
        i = end;
    }
}

// ---- the passes, following where values come from ----

// A value of the passes: the tokens first .. last it was made from, and how
// it reads with every operation explicit; compound for an operator's result.
struct origin {
    int first, last;
    std::string reading;
    bool compound;
};

// Operands left over side by side: the first counts (tokens counted..),
// those from ignored.first to ignored.last do not.
struct leftOver {
    int countedFirst, countedLast, ignoredFirst, ignoredLast;
};

struct originDomain {
    const myFormula &formula;
    const compileTrace &trace;
    const char *text;
    std::vector<origin> handles;
    std::vector<leftOver> leftOvers;
    std::vector<int> loneMinus;         // token of a -1 that an operator or function took alone
    int nextLeaf = 0;

    int add(origin o)
    {
        handles.push_back(o);
        return (int)handles.size() - 1;
    }
    // Leaves come in token order (reduceFormula makes them first, left to right).
    int leaf(const std::string &reading)
    {
        while (!isConstantToken(formula.tokens[nextLeaf]) && !isVariableToken(formula.tokens[nextLeaf]))
            nextLeaf++;
        int k = nextLeaf++;
        return add(origin{ k, k, reading, false });
    }
    // A constant reads as its own text, unless that text alone compiles to
    // another value: a number that a stray point made a fraction, or R.
    int constant(float value)
    {
        int k = nextLeaf;
        while (!isConstantToken(formula.tokens[k]))
            k++;
        if (trace.timesMinus[k])
            return leaf("-1");
        std::string own(text + trace.tokenStart[k], text + trace.tokenEnd[k]);
        myFormula alone = toFormula(own.c_str());
        if (alone.tokens[0] == 0 && alone.tokens[1] == TOK_END && alone.constants[0] == value)
            return leaf(quoted(text, trace.tokenStart[k], trace.tokenEnd[k]));
        char shown[32];
        snprintf(shown, sizeof shown, "%.9g", (double)value);
        return leaf(shown);
    }
    int variable(int axis) { return leaf(std::string(1, "XYZ"[axis])); }
    void noteLoneMinus(int h)
    {
        const origin &o = handles[h];
        if (o.first == o.last && trace.timesMinus[o.first])
            loneMinus.push_back(o.first);
    }
    std::string operand(int h) const
    {
        return handles[h].compound ? "(" + handles[h].reading + ")" : handles[h].reading;
    }
    int apply(int symbol, int left, int right)
    {
        std::string sign(1, signOf[symbol].symbol);
        if (signOf[symbol].kind == SYMBOL_FUNCTION) {
            noteLoneMinus(left);
            origin o = handles[left];
            return add(origin{ o.first - 1, o.last, sign + "(" + o.reading + ")", false });
        }
        if (-symbol == TOK_POW || -symbol == TOK_DIV)
            noteLoneMinus(right);
        return add(origin{ handles[left].first, handles[right].last, operand(left) + sign + operand(right), true });
    }
    int grouped(int value)
    {
        origin o = handles[value];
        return add(origin{ o.first - 1, o.last + 1, o.reading, o.compound });
    }
    int listReduced(const int *work)
    {
        int n = 0;
        while (work[n] != TOK_END)
            n++;
        origin first = handles[work[0]];
        int last = handles[work[n - 1]].last;
        if (n > 1)
            leftOvers.push_back(leftOver{ first.first, first.last, handles[work[1]].first, last });
        return add(origin{ first.first, last, first.reading, first.compound });
    }
};

// ---- what the passes found ----

static int startOf(const compileTrace &trace, int token) { return trace.tokenStart[token]; }
static int endOf(const compileTrace &trace, int token) { return trace.tokenEnd[token]; }

static bool abbreviated(const std::string &part)
{
    return part.find("...") != std::string::npos;
}

static formulaFinding leftOverFinding(const char *text, const compileTrace &trace, const leftOver &l)
{
    int start = startOf(trace, l.ignoredFirst), end = endOf(trace, l.ignoredLast);
    std::string counted = quoted(text, startOf(trace, l.countedFirst), endOf(trace, l.countedLast), true);
    std::string ignored = quoted(text, start, end);
    bool whole = !abbreviated(counted) && !abbreviated(ignored);
    if (trace.timesMinus[l.ignoredFirst])
        return finding(findingKind::minusApart, start, end - start,
                       "\"" + ignored + "\" is ignored: a minus after " + counted + " is times -1; "
                           + (whole ? "write " + counted + "+" + ignored : std::string("write +-"))
                           + " to subtract");
    return finding(findingKind::sideBySide, start, end - start,
                   "\"" + ignored + "\" beside " + counted + " is ignored: only the first counts; "
                       + (whole ? "write " + counted + "*" + ignored + " or " + counted + "+" + ignored
                                : std::string("put * or + between them")));
}

// token is the -1 of a minus; the token before it took it alone.
static formulaFinding loneMinusFinding(const char *text, const myFormula &formula, const compileTrace &trace,
                                       int token)
{
    int taker = formula.tokens[token - 1];
    std::string sign(1, signOf[-taker].symbol);
    int next = token + 2;
    bool leafNext = isConstantToken(formula.tokens[next]) || isVariableToken(formula.tokens[next]);
    std::string what = leafNext ? quoted(text, startOf(trace, next), endOf(trace, next)) : "(...)";
    std::string reads = isFunctionToken(taker) ? sign + "(-1)*" + what : sign + "(-1) then *" + what;
    return finding(findingKind::minusFactor, startOf(trace, token), 1,
                   "\"" + sign + "-" + what + "\" is " + reads + ": a minus after " + sign
                       + " is times -1; write " + sign + "(-" + what + ")");
}

static bool readsAVariable(const myFormula &formula)
{
    formulaProgram program = compileProgram(formula);
    return program.result < FIRST_CONSTANT_REGISTER || program.opCount > 0;
}

static void findInReading(const char *text, const myFormula &formula, const compileTrace &trace,
                          std::vector<formulaFinding> &out)
{
    originDomain domain{ formula, trace, text, {}, {}, {} };
    reduceFormula(domain, formula);
    for (const leftOver &l : domain.leftOvers)
        out.push_back(leftOverFinding(text, trace, l));
    for (int token : domain.loneMinus)
        out.push_back(loneMinusFinding(text, formula, trace, token));
    if (!readsAVariable(formula))
        out.push_back(finding(findingKind::noVariable, 0, 0,
                              "reads none of X, Y and Z: every point gets the same value"));
}

static std::string faultMessage(formulaFault fault)
{
    bool parentheses = fault == FAULT_UNMATCHED_CLOSE || fault == FAULT_UNCLOSED_GROUP;
    return std::string("draws nothing: ") + (parentheses ? "unbalanced parentheses, " : "")
           + "the formula " + faultText(fault);
}

// Where a fault was found: at its token, or for one at the end at the last token.
static formulaFinding faultFinding(const compileTrace &trace, formulaFault fault, int token, int tokenCount)
{
    if (tokenCount == 0)
        return finding(findingKind::illFormed, 0, 0, faultMessage(fault));
    int at = std::min(token, tokenCount - 1);
    return finding(findingKind::illFormed, startOf(trace, at), endOf(trace, at) - startOf(trace, at),
                   faultMessage(fault));
}

static void findLimits(const char *text, const compileTrace &trace, std::vector<formulaFinding> &out)
{
    if (trace.cut || trace.droppedNumberAt >= 0) {
        int at = trace.droppedNumberAt >= 0 ? trace.droppedNumberAt : TEXT_LIMIT;
        std::string limit = "the text is cut after " + std::to_string(TEXT_LIMIT) + " characters";
        std::string lost = trace.droppedNumberAt >= 0 ? ", inside the number that starts here: it is dropped"
                                                      : ": \"" + quoted(text, at, (int)strlen(text)) + "\" is not read";
        out.push_back(finding(findingKind::cut, at, (int)strlen(text) - at, limit + lost));
    }
    if (trace.strayPointAt >= 0)
        out.push_back(finding(findingKind::strayPoint, trace.strayPointAt, 1,
                              "this point has no digit after it: the next number is read as a fraction"));
    if (trace.droppedTokenAt >= 0)
        out.push_back(finding(findingKind::tooManyTokens, trace.droppedTokenAt, 0,
                              "only " + std::to_string(FORMULA_SLOTS - 1)
                                  + " numbers and symbols fit: from here on all is dropped"));
}

static bool ignoresPart(findingKind kind)
{
    return kind == findingKind::sideBySide || kind == findingKind::minusApart;
}

// A finding about characters inside a part that is ignored anyway says
// nothing more; one about the whole text always stays.
static bool insideIgnored(const formulaFinding &f, const std::vector<formulaFinding> &all)
{
    bool local = f.kind == findingKind::skipped || f.kind == findingKind::minusFactor || ignoresPart(f.kind);
    for (const formulaFinding &part : all)
        if (local && ignoresPart(part.kind) && &part != &f && f.position >= part.position
            && f.position < part.position + part.length)
            return true;
    return false;
}

// In order of position; a finding about the whole formula comes last.
static bool comesBefore(const formulaFinding &a, const formulaFinding &b)
{
    bool aWhole = a.kind == findingKind::noVariable, bWhole = b.kind == findingKind::noVariable;
    return aWhole != bWhole ? bWhole : a.position < b.position;
}

std::vector<formulaFinding> formulaFindings(const char *text)
{
    compileTrace trace;
    myFormula formula = toFormula(text, &trace);
    std::vector<formulaFinding> all;
    findSkipped(text, trace, all);
    int faultToken = 0;
    formulaFault fault = faultOf(formula, &faultToken);
    int tokenCount = 0;
    while (formula.tokens[tokenCount] != TOK_END)
        tokenCount++;
    if (fault != FAULT_NONE)
        all.push_back(faultFinding(trace, fault, faultToken, tokenCount));
    else
        findInReading(text, formula, trace, all);
    findLimits(text, trace, all);
    std::vector<formulaFinding> kept;
    for (const formulaFinding &f : all)
        if (!insideIgnored(f, all))
            kept.push_back(f);
    std::stable_sort(kept.begin(), kept.end(), comesBefore);
    return kept;
}

std::string formulaReading(const char *text)
{
    compileTrace trace;
    myFormula formula = toFormula(text, &trace);
    if (!isWellFormed(formula))
        return "";
    originDomain domain{ formula, trace, text, {}, {}, {} };
    return domain.handles[reduceFormula(domain, formula)].reading;
}
