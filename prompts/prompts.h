// Entry prompts: modal keyboard prompts for one number and one line of text.
#pragma once

float getFloat(float initial);
void getFormula(char *text);        // text holds at least 100 bytes
