// The prompt box, the finding line below it, and the editing loop shared by
// the numeric and the text entry.
#include <string>
#include "formula/formula.h"
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
bool editLine(char *text, int *length, bool (*accepts)(int character, int length), bool *edited,
              void (*afterKey)(const char *text))
{
    drawPromptBox(text);
    if (afterKey)
        afterKey(text);
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
        if (afterKey)
            afterKey(text);
    }
    waitKeyRelease(Key::Esc);
    return false;
}

void drawFindingLine(const char *formulaText)
{
    std::vector<formulaFinding> findings = formulaFindings(formulaText);
    std::string line;
    if (!findings.empty())
        line = "col " + std::to_string(findings[0].position + 1) + ": " + findings[0].message;
    drawScreenLine(line.c_str(), FINDING_LINE);
}

