// The screen layer: the picture, the boxes drawn on it and the library's
// screen. Together with ui/input.h and the display start-up, the only code
// that calls the graphics library; everything above draws through here.
#pragma once
#include <string>

struct BITMAP;                      // the library's bitmap; only this layer looks inside

const int SCREEN_W_PX = 640, SCREEN_H_PX = 480;
const int CHAR_W_PX = 8;            // every character of the library's built-in font

struct buttonRect { int x, y, w, h; };

// Boxes that several parts of the program draw.
const buttonRect PROMPT_BOX = { 40, 224, 560, 32 };      // both entry prompts and the delete question
const buttonRect FINDING_LINE = { 0, 256, 640, 12 };     // one line just below the prompt box
const buttonRect NOTE_BOX = { 40, 192, 560, 32 };        // a note just above the prompt box
const buttonRect BANNER_BOX = { 0, 224, 640, 32 };       // the full-width banners

extern BITMAP *buffer;              // the whole picture, copied to the screen each frame
extern BITMAP *mseBlock;            // rows 0..31 pointer image, rows 32..63 saved background

// The library's screen. Modal boxes are drawn straight on it, so the next
// frame's copy of buffer removes them.
BITMAP *display();

int rgbColour(int r, int g, int b); // a packed pixel of the picture's format
struct rgb { int r, g, b; };
rgb coloursOf(int pixel);

// The library reads every text as UTF-8 and misreads a broken sequence, so
// each byte that is not part of a whole character becomes '?'.
std::string drawableText(const char *text);

// A shaded box with a centred label.
void drawButton(BITMAP *target, const char *label, int x, int y, int w, int h, int colour, int border);
void drawBox(BITMAP *target, const char *label, buttonRect box, int colour, int border);
// A line of text on a dark band, straight on the screen like the boxes; as
// much of the text as fits. An empty text shows the picture there again.
void drawScreenLine(const char *text, buttonRect line);

// A note in box for about seconds, without waiting for anything: every frame
// shows it over the picture until it expires, when the next frame shows the
// picture there again. It goes to the screen only, so buffer (and every
// screenshot) never holds it. A text too long for one line takes two, split
// at its first space.
void showNote(const std::string &text, buttonRect box, int colour, double seconds);

void makePointerImage();
// Pointer on, buffer to the screen, pointer off: everything else always sees
// buffer without the pointer. A window left alone costs nothing, so the copy
// is made only when the pointer moved or the picture changed since the last.
void showFrame(int mx, int my);
const int NO_POINTER = -64;         // a position at which the pointer shows nowhere
void copyToScreen();                // buffer to the screen as it is
// Everything that draws into buffer or straight on the screen says so here
// (drawButton, drawFIG, the progress marks and copyToScreen do): a box on the
// screen goes only when the next frame copies buffer over it.
void pictureChanged();
