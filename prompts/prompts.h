// Entry prompts: modal keyboard prompts for one number and one line of text.
#pragma once

float getFloat(float initial);
void getFormula(char *text);        // text holds at least 100 bytes

// box.cpp: the green box in the middle of the screen where both prompts show
// their text. It goes straight to the screen, so the next frame erases it.
void drawPromptBox(const char *text);
