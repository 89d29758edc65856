// The evaluation passes, shared by the evaluator, the compiled programs and
// the findings (formula/findings.cpp):
// top-level groups first (by recursion), then the functions, then each
// operator rank from the tightest, every pass left to right over one list.
#pragma once
#include <initializer_list>
#include "formula/symbols.h"

inline bool isConstantToken(int t) { return t >= 0; }

inline symbolKind kindOf(int t)
{
    return t < 0 && t > -SYMBOL_ROWS ? signOf[-t].kind : SYMBOL_NONE;
}

inline bool isVariableToken(int t) { return kindOf(t) == SYMBOL_VARIABLE; }
inline bool isFunctionToken(int t) { return kindOf(t) == SYMBOL_FUNCTION; }
inline bool isOperatorToken(int t) { return kindOf(t) >= SYMBOL_POWER; }
inline int axisOf(int variableToken) { return TOK_X - variableToken; }

inline bool startsOperand(int t)
{
    return isConstantToken(t) || isVariableToken(t) || t == TOK_OPEN;
}

inline bool endsOperand(int t)
{
    return isConstantToken(t) || isVariableToken(t) || t == TOK_CLOSE;
}

// True when the passes can reduce the record without taking operands from
// outside its lists: an end marker within the record, known codes, constant
// indices inside the table, balanced non-empty groups, every function
// directly followed by an operand and every operator between two terms.
bool isWellFormed(const myFormula &formula);

// Why a record is not well-formed: the first fault found from the left.
enum formulaFault {
    FAULT_NONE,
    FAULT_NO_OPERAND,               // no token at all ("", "xyz")
    FAULT_UNKNOWN_TOKEN,            // a code or constant index outside the tables (made by hand)
    FAULT_NO_END,                   // no end marker within the record (made by hand)
    FAULT_STARTS_WITH_OPERATOR,     // "+X"
    FAULT_OPERATOR_AFTER_OPEN,      // "(*X)"
    FAULT_TWO_OPERATORS,            // "X*/Y"
    FAULT_OPERATOR_BEFORE_CLOSE,    // "(X+)"
    FAULT_FUNCTION_WITHOUT_OPERAND, // "SCX", "S^X", "(S)"
    FAULT_EMPTY_GROUP,              // "()"
    FAULT_UNMATCHED_CLOSE,          // "X)"
    FAULT_UNCLOSED_GROUP,           // "(X"
    FAULT_ENDS_WITH_OPERATOR,       // "X+"
    FAULT_ENDS_WITH_FUNCTION        // "XS"
};
// at, when given, receives the index of the token where the fault was found.
formulaFault faultOf(const myFormula &formula, int *at = nullptr);

// The fault in plain words, to follow 'formula "..."': "ends with an operator".
const char *faultText(formulaFault fault);

// The passes work on a list of handles (zero or more: operands) and token
// codes (negative), ended by TOK_END. A Domain says what a handle stands for
// and makes new ones:
//   int constant(float value);   int variable(int axis);
//   int apply(int symbol, int left, int right);   // symbol: row of signOf
// and may also have
//   int grouped(int value);          // a group's value, its parentheses read
//   int listReduced(const int *work); // the operands left over, in order, first = value
// The evaluator's handles hold values; the compiled program's are registers.
namespace passes {

// Closes the list up over count entries at position, end marker included.
inline void closeUp(int *list, int position, int count)
{
    int p = position;
    do {
        list[p] = list[p + count];
    } while (list[p++] != TOK_END);
}

template <class Domain> int reduceList(Domain &domain, const int *list);

// Every top-level group becomes the handle of its value; the outer
// parentheses are dropped, inner ones go to the recursive reduction.
template <class Domain> void resolveGroups(Domain &domain, const int *list, int *work)
{
    int group[FORMULA_SLOTS];
    int workCount = 0, groupCount = 0, depth = 0;
    for (int i = 0; list[i] != TOK_END; i++) {
        int t = list[i];
        if (t == TOK_CLOSE)
            depth--;
        if (depth != 0)
            group[groupCount++] = t;
        if (t == TOK_OPEN)
            depth++;
        if (depth != 0)
            continue;
        if (groupCount > 0) {
            group[groupCount] = TOK_END;
            int value = reduceList(domain, group);
            if constexpr (requires { domain.grouped(value); })
                value = domain.grouped(value);
            work[workCount++] = value;
            groupCount = 0;
        } else {
            work[workCount++] = t;
        }
    }
    work[workCount] = TOK_END;
}

// Each function applies to the one operand directly after it.
template <class Domain> void applyFunctions(Domain &domain, int *work)
{
    for (int p = 0;; p++) {
        if (isFunctionToken(work[p])) {
            work[p + 1] = domain.apply(-work[p], work[p + 1], work[p + 1]);
            closeUp(work, p, 1);
        }
        if (work[p + 1] == TOK_END)
            return;
    }
}

// Each operator of the rank combines its two neighbours into the left one,
// left to right, so chains group from the left.
template <class Domain> void applyOperators(Domain &domain, int *work, symbolKind rank)
{
    int p = 0;
    for (;;) {
        int t = work[p];
        if (kindOf(t) == rank) {
            work[p - 1] = domain.apply(-t, work[p - 1], work[p + 1]);
            closeUp(work, p, 2);
            if (work[p] == TOK_END)
                return;
            continue;
        }
        if (work[p + 1] == TOK_END)
            return;
        p++;
    }
}

// The passes over a well-formed list; the first operand left is the value.
template <class Domain> int reduceList(Domain &domain, const int *list)
{
    int work[FORMULA_SLOTS];
    resolveGroups(domain, list, work);
    applyFunctions(domain, work);
    for (symbolKind rank : { SYMBOL_POWER, SYMBOL_PRODUCT, SYMBOL_SUM })
        applyOperators(domain, work, rank);
    // Operands side by side are left over here; the first is the value. A
    // domain that follows where values come from may look at the others.
    if constexpr (requires { domain.listReduced(work); })
        return domain.listReduced(work);
    return work[0];
}

} // namespace passes

// A well-formed record's value: its constants and variables become handles,
// then the passes run.
template <class Domain> int reduceFormula(Domain &domain, const myFormula &formula)
{
    int list[FORMULA_SLOTS];
    int i = 0;
    for (; formula.tokens[i] != TOK_END; i++) {
        int t = formula.tokens[i];
        if (isConstantToken(t))
            list[i] = domain.constant(formula.constants[t]);
        else if (isVariableToken(t))
            list[i] = domain.variable(axisOf(t));
        else
            list[i] = t;
    }
    list[i] = TOK_END;
    return passes::reduceList(domain, list);
}
