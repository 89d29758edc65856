// Numeric entry: the user edits the text of a number and Enter converts it.
#include <cmath>
#include <cstdio>
#include <cstring>
#include "prompts/prompts.h"
#include "ui/input.h"

// Room for the "%f" form of any float: -FLT_MAX is a sign, 39 digits and
// ".000000", 47 characters before the terminator.
const int NUMBER_TEXT = 48;
const int TYPED_LIMIT = 20;         // typing stops here; a longer start is allowed

// Infinities and NaN have no digits to edit, so they are shown by name (NaN
// always as "nan", whatever its sign bit) and handed back as they came unless
// the user edits them.
static int formatInitial(float value, char *text)
{
    if (std::isnan(value))
        snprintf(text, NUMBER_TEXT, "nan");
    else if (std::isinf(value))
        snprintf(text, NUMBER_TEXT, value < 0 ? "-inf" : "inf");
    else
        snprintf(text, NUMBER_TEXT, "%f", value);
    return (int)strlen(text);
}

static bool isDigit(int code)
{
    return code >= '0' && code <= '9';
}

static bool acceptsCharacter(int code, int length)
{
    if (isDigit(code) || code == '.')
        return length < TYPED_LIMIT;
    return code == '-' && length == 0;
}

// Digit by digit in single precision, as the user reads the text: every point
// starts the tenths again and a minus sign anywhere makes the value negative.
// The whole text counts, so an untouched 1e20 comes back as 1e20. Letters can
// only be left over from "inf" or "nan" and carry no digit value.
static float convertText(const char *text)
{
    float value = 0, sign = 1, divisor = 0;
    for (const char *c = text; *c != 0; c++) {
        if (*c == '.') {
            divisor = 10;
        } else if (*c == '-') {
            sign = -1;
        } else if (isDigit(*c)) {
            float digit = (float)(*c - '0');
            if (divisor == 0) {
                value = value * 10 + digit;
            } else {
                value = value + digit / divisor;
                divisor = divisor * 10;   // past 1e38 it becomes infinite and adds nothing
            }
        }
    }
    return sign * value;
}

float getFloat(float initial)
{
    modalActivity prompt;
    char text[NUMBER_TEXT];
    int length = formatInitial(initial, text);
    bool edited = false;
    if (!editLine(text, &length, acceptsCharacter, &edited))
        return initial;
    if (!edited && !std::isfinite(initial))
        return initial;
    return convertText(text);
}
