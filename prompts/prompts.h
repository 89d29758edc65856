// Entry prompts: modal keyboard prompts for one number and one line of text.
#pragma once

float getFloat(float initial);
void getFormula(char *text);        // text holds at least 100 bytes

// box.cpp: the green box in the middle of the screen where both prompts show
// their text. It goes straight to the screen, so the next frame erases it.
void drawPromptBox(const char *text);
// The editing loop both prompts share, on text of *length characters with
// room for what accepts() lets in: Backspace removes the last character, a
// character that accepts() takes is added (its low byte), Enter ends it with
// true; Esc or the window's close ends it with false. *edited is set once
// the text changed.
bool editLine(char *text, int *length, bool (*accepts)(int character, int length), bool *edited);
