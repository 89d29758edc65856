// The prompt box shared by the numeric and the text entry.
#include "prompts/prompts.h"
#include "ui/screen.h"

void drawPromptBox(const char *text)
{
    drawBox(display(), text, PROMPT_BOX, rgbColour(32, 128, 64), 6);
}
