// Text entry: the user edits a line of text in place; Enter writes it back.
#include <cstring>
#include "figure/figure.h"
#include "prompts/prompts.h"
#include "ui/input.h"

// Callers own at least FORMULA_TEXT bytes, so the text stays one short of
// that to leave room for the terminator. A longer text (only a figure file
// can bring one) is edited as its first 99 characters.
const int LONGEST_TEXT = FORMULA_TEXT - 1;

static int copyStart(const char *text, char *work)
{
    int length = 0;
    while (length < LONGEST_TEXT && text[length] != 0) {
        work[length] = text[length];
        length++;
    }
    work[length] = 0;
    return length;
}

// Only the low byte of a character is kept. A control character (below 32,
// or 127) never enters: no one types an invisible character on purpose (Tab,
// Delete, Ctrl with a letter), a 0 byte would end the text early, and in a
// formula or a file name the others only do harm.
static bool appendsCharacter(int character, int length)
{
    unsigned char byte = (unsigned char)(character & 0xFF);
    return byte >= 32 && byte != 127 && length < LONGEST_TEXT;
}

void getFormula(char *text, void (*afterKey)(const char *text))
{
    modalActivity prompt;
    char work[FORMULA_TEXT];
    int length = copyStart(text, work);
    bool edited = false;
    // Held keys must not repeat in a text where every character counts; this
    // lasts for the rest of the run, in the numeric entry too.
    stopKeyRepeat();
    if (editLine(work, &length, appendsCharacter, &edited, afterKey))
        memcpy(text, work, length + 1);
}
