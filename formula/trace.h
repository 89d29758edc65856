// What one compilation read, character by character and token by token: the
// compiler fills it while it makes the record, so the findings describe the
// very reading that evaluate and the render use.
#pragma once
#include "formula/formula.h"

const int TEXT_LIMIT = 99;                  // characters read from a formula text, as many as a text holds

struct compileTrace {
    int tokenStart[FORMULA_SLOTS];          // text position of the first character of token k
    int tokenEnd[FORMULA_SLOTS];            // one past its last character
    bool timesMinus[FORMULA_SLOTS];         // token k is the -1 or the * of a minus read as "times -1"
    bool skipped[TEXT_LIMIT];               // a character that makes no token and changes no number
    bool endedNumber[TEXT_LIMIT];           // ... which still ended the number before it
    bool afterMinus[TEXT_LIMIT];            // read directly after a "times -1" minus, so never one itself
    int readEnd;                            // characters read
    bool cut;                               // the text goes on past TEXT_LIMIT
    int droppedNumberAt;                    // start of a number cut by the limit and dropped; -1 none
    int droppedTokenAt;                     // text position of the first token that did not fit; -1 none
    int strayPointAt;                       // a point whose fraction a later number takes; -1 none
};

myFormula toFormula(const char *text, compileTrace *trace);
