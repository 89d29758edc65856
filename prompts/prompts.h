// Entry prompts: modal keyboard prompts for one number and one line of text.
#pragma once

float getFloat(float initial);
// text holds at least 100 bytes; afterKey, when given, draws what goes with
// the text on the screen after the box, once at the start and after every key.
void getFormula(char *text, void (*afterKey)(const char *text) = nullptr);

// box.cpp: the green box in the middle of the screen where both prompts show
// their text. It goes straight to the screen, so the next frame erases it.
void drawPromptBox(const char *text);
// The first finding for a formula text as typed so far, on one line just
// below the box (formula/formula.h); nothing there when it has none.
void drawFindingLine(const char *formulaText);
