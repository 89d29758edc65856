// The prompt box shared by the numeric and the text entry.
#include <string>
#include "formula/formula.h"
#include "prompts/prompts.h"
#include "ui/screen.h"

void drawPromptBox(const char *text)
{
    drawBox(display(), text, PROMPT_BOX, rgbColour(32, 128, 64), 6);
}

void drawFindingLine(const char *formulaText)
{
    std::vector<formulaFinding> findings = formulaFindings(formulaText);
    std::string line;
    if (!findings.empty())
        line = "col " + std::to_string(findings[0].position + 1) + ": " + findings[0].message;
    drawScreenLine(line.c_str(), FINDING_LINE);
}
