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

// Only the low byte of a character is kept. A character whose low byte is 0
// would end the text early and hide everything typed after it, so it is
// refused like a key that has no character at all.
static bool appendsCharacter(int code, int length)
{
    unsigned char byte = (unsigned char)(code & 0xFF);
    return byte != 0 && !keyHeld(Key::Backspace) && !keyHeld(Key::Enter) && !keyHeld(Key::Esc)
        && length < LONGEST_TEXT;
}

// readTypedKey waits for the next key without burning the processor, so the loop
// turns once per key event and needs no pacing of its own.
void getFormula(char *text, void (*afterKey)(const char *text))
{
    modalActivity prompt;
    char work[FORMULA_TEXT];
    int length = copyStart(text, work);

    drawPromptBox(work);
    if (afterKey)
        afterKey(work);
    clearTypedKeys();
    // Held keys must not repeat in a text where every character counts; this
    // lasts for the rest of the run, in the numeric entry too.
    stopKeyRepeat();
    while (!keyHeld(Key::Enter) && !cancelRequested()) {
        int code = readTypedKey();
        if (appendsCharacter(code, length))
            work[length++] = (char)(code & 0xFF);
        if (keyHeld(Key::Backspace) && length > 0)
            length--;
        work[length] = 0;
        drawPromptBox(work);
        if (afterKey)
            afterKey(work);
    }

    if (cancelRequested()) {
        waitKeyRelease(Key::Esc);
        return;
    }
    memcpy(text, work, length + 1);
}
