// The prompt box shared by the numeric and the text entry.
#include "app/app.h"
#include "prompts/prompts.h"

void drawPromptBox(const char *text)
{
    drawButton(screen, text, 40, 224, 560, 32, makecol(32, 128, 64), 6, -1);
}
