// The prompt box and the editing loop shared by the numeric and the text entry.
#include "prompts/prompts.h"
#include "ui/input.h"
#include "ui/screen.h"

void drawPromptBox(const char *text)
{
    drawBox(display(), text, PROMPT_BOX, rgbColour(32, 128, 64), 6);
}

// waitKeyPress waits without burning the processor, so the loop turns once
// per key press. Each press acts once, however short: a quick Enter ends the
// prompt as a long one does, and never enters the text.
bool editLine(char *text, int *length, bool (*accepts)(int character, int length), bool *edited)
{
    drawPromptBox(text);
    clearTypedKeys();
    keyPress press;
    while (waitKeyPress(&press)) {
        if (press.key == Key::Enter)
            return true;
        if (press.key == Key::Esc)
            break;
        if (press.key == Key::Backspace) {
            if (*length > 0)
                text[--*length] = 0, *edited = true;
        } else if (accepts(press.character, *length)) {
            text[(*length)++] = (char)(press.character & 0xFF);
            text[*length] = 0;
            *edited = true;
        }
        drawPromptBox(text);
    }
    waitKeyRelease(Key::Esc);
    return false;
}
