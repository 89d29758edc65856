// The picture and drawButton, the one primitive behind every boxed label.
#include <allegro.h>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>
#include "ui/input.h"
#include "ui/screen.h"

BITMAP *buffer;
BITMAP *mseBlock;
BITMAP *shown;

static int scale = 1;

int screenScale()
{
    return scale;
}

BITMAP *display()
{
    return shown;
}

// A part of shown to the screen, each pixel a scale x scale block; the
// library's stretch is exact for whole scales (no smoothing).
static void present(int x, int y, int w, int h)
{
    int x1 = std::min(x + w, SCREEN_W_PX), y1 = std::min(y + h, SCREEN_H_PX);
    x = std::max(x, 0), y = std::max(y, 0);
    if (x >= x1 || y >= y1)
        return;
    acquire_screen();
    if (scale == 1)
        blit(shown, screen, x, y, x, y, x1 - x, y1 - y);
    else
        stretch_blit(shown, screen, x, y, x1 - x, y1 - y, x * scale, y * scale, (x1 - x) * scale, (y1 - y) * scale);
    release_screen();
}

void showDisplayArea(buttonRect area)
{
    present(area.x, area.y, area.w, area.h);
}

int rgbColour(int r, int g, int b)
{
    return makecol(r, g, b);
}

rgb coloursOf(int pixel)
{
    return rgb{ getr(pixel), getg(pixel), getb(pixel) };
}

static int clampChannel(int v)
{
    return std::clamp(v, 0, 255);
}

// The face is one flat fill; only the ring is shaded pixel by pixel, from a
// table of its shades (they vary along the diagonals only). The prompt box is
// redrawn on every key, so this is kept cheap.
static void fillButton(BITMAP *target, int x, int y, int w, int h, int colour, int border)
{
    if (w <= 0 || h <= 0)
        return;
    int r = getr(colour), g = getg(colour), b = getb(colour);
    std::vector<int> shadeOf(w + h);          // shadeOf[i - j + h - 1]
    for (int d = 0; d < w + h; d++) {
        // the ring darkens toward the bottom-left and lightens toward the top-right
        int shade = -29 + d - (h - 1);
        shadeOf[d] = makecol(clampChannel(r + shade), clampChannel(g + shade), clampChannel(b + shade));
    }
    if (w > 2 * border && h > 2 * border)
        rectfill(target, x + border, y + border, x + w - border - 1, y + h - border - 1, colour);
    // A render draws its box every time: on a 32-bit memory bitmap that
    // holds the whole box, pixels are written straight into its rows.
    bool direct = is_memory_bitmap(target) && bitmap_color_depth(target) == 32 && x >= 0 && y >= 0
               && x + w <= target->w && y + h <= target->h;
    for (int j = 0; j < h; j++) {
        for (int i = 0; i < w; i++) {
            bool ring = i < border || j < border || i >= w - border || j >= h - border;
            if (!ring) {
                i = w - border - 1;         // over the face to the right-hand ring
                continue;
            }
            if (direct)
                ((uint32_t *)target->line[y + j])[x + i] = (uint32_t)shadeOf[i - j + h - 1];
            else
                putpixel(target, x + i, y + j, shadeOf[i - j + h - 1]);
        }
    }
}

// Bytes in a whole UTF-8 character starting at s, or 0 if none starts there.
static int utf8Length(const unsigned char *s)
{
    int need = s[0] < 0x80 ? 1
             : s[0] >= 0xC2 && s[0] <= 0xDF ? 2
             : s[0] >= 0xE0 && s[0] <= 0xEF ? 3
             : s[0] >= 0xF0 && s[0] <= 0xF4 ? 4 : 0;
    for (int k = 1; k < need; k++)
        if ((s[k] & 0xC0) != 0x80)          // the terminator ends a broken character here too
            return 0;
    return need;
}

// A broken sequence makes the library read past the terminator or never
// return. A typed character keeps only its low byte, and file names and
// figure files may hold any byte.
std::string drawableText(const char *label)
{
    std::string text;
    for (const unsigned char *s = (const unsigned char *)label; *s != 0;) {
        int n = utf8Length(s);
        text.append(n ? (const char *)s : "?", n ? n : 1);
        s += n ? n : 1;
    }
    return text;
}

// A label is centred as if it had at most 100 characters (the font is 8
// pixels wide); a longer one runs over its box.
const int LABEL_LIMIT = 100;

// A label centred on cx, its middle row at cy, raised from a box of colour;
// the columns it covers, from left up to right.
struct columns { int left, right; };

static columns drawLabel(BITMAP *target, const char *label, int cx, int cy, int colour)
{
    int r = getr(colour), g = getg(colour), b = getb(colour);
    int light = makecol(std::min(r + 40, 255), std::min(g + 40, 255), std::min(b + 40, 255));
    int dark = makecol(std::max(r - 40, 0), std::max(g - 40, 0), std::max(b - 40, 0));
    int n = 0;
    while (n < LABEL_LIMIT && label[n] != 0)
        n++;
    int tx = cx - 4 * n;
    std::string text = drawableText(label);
    // dark edge below, light edge above, black text on top
    textprintf_ex(target, font, tx, cy - 3, dark, -1, "%s", text.c_str());
    textprintf_ex(target, font, tx, cy - 5, light, -1, "%s", text.c_str());
    textprintf_ex(target, font, tx, cy - 4, 0, -1, "%s", text.c_str());
    return columns{ tx, tx + text_length(font, text.c_str()) };
}

void drawButton(BITMAP *target, const char *label, int x, int y, int w, int h, int colour, int border)
{
    pictureChanged();
    fillButton(target, x, y, w, h, colour, border);
    columns text = drawLabel(target, label, x + w / 2, y + h / 2, colour);
    if (target == shown) {          // the box and a label that runs over it
        int left = std::min(x, text.left), right = std::max(x + w, text.right);
        present(left, y, right - left, h);
    }
}

void drawBox(BITMAP *target, const char *label, buttonRect box, int colour, int border)
{
    drawButton(target, label, box.x, box.y, box.w, box.h, colour, border);
}

const int LINE_PADDING_PX = 2;

void drawScreenLine(const char *text, buttonRect line)
{
    BITMAP *target = display();
    blit(buffer, target, line.x, line.y, line.x, line.y, line.w, line.h);
    pictureChanged();
    if (text[0] != 0) {
        std::string drawn = drawableText(text);
        size_t fits = (size_t)((line.w - 2 * LINE_PADDING_PX) / CHAR_W_PX);
        if (drawn.size() > fits)
            drawn = drawn.substr(0, fits - 3) + "...";
        rectfill(target, line.x, line.y, line.x + line.w - 1, line.y + line.h - 1, makecol(0, 0, 0));
        textout_ex(target, font, drawn.c_str(), line.x + LINE_PADDING_PX, line.y + LINE_PADDING_PX,
                   makecol(255, 220, 96), -1);
    }
    showDisplayArea(line);
}

// The pointer fans out from its hot spot, the top-left pixel, over the
// upper-left triangle of a 32 x 32 cell; the rest is transparent magenta.
void makePointerImage()
{
    clear_to_color(mseBlock, makecol(255, 0, 255));
    for (int i = 0; i < 32; i++) {
        int r = std::min(16 * i, 255);
        int g = 8 * i;
        int b = std::clamp(16 * i - 128, 0, 255);
        line(mseBlock, 31 - i, i, 0, 0, makecol(r, g, b));
    }
}

static bool screenStale = true;     // the screen differs from buffer with the pointer at shownX, shownY
static int shownX = NO_POINTER, shownY = NO_POINTER;

void setScreenScale(int newScale)
{
    scale = newScale;
    pictureChanged();
}

void pictureChanged()
{
    screenStale = true;
}

void copyToScreen()
{
    blit(buffer, shown, 0, 0, 0, 0, SCREEN_W_PX, SCREEN_H_PX);
    present(0, 0, SCREEN_W_PX, SCREEN_H_PX);
    pictureChanged();               // the screen now lacks the pointer
}

static struct {
    std::string lines[2];
    buttonRect box;
    int colour;
    double until = -1;              // on the monotonic clock; below now: no note
} note;

// A line too long for the box gives up its middle.
static std::string fitted(const std::string &line, int width)
{
    size_t room = (size_t)std::max(width / CHAR_W_PX, 5);
    if (line.size() <= room)
        return line;
    size_t head = (room - 3) / 2;
    return line.substr(0, head) + "..." + line.substr(line.size() - (room - 3 - head));
}

void showNote(const std::string &text, buttonRect box, int colour, double seconds)
{
    int width = box.w - 8;          // inside the border
    size_t space = text.find(' ');
    bool twoLines = (int)text.size() * CHAR_W_PX > width && space != std::string::npos;
    note.lines[0] = fitted(twoLines ? text.substr(0, space) : text, width);
    note.lines[1] = twoLines ? fitted(text.substr(space + 1), width) : "";
    note.box = box;
    note.colour = colour;
    note.until = clockHook() + seconds;
    pictureChanged();
}

// Over shown after a copy of buffer (the caller puts it on the screen);
// once expired, the next frame copies buffer over it.
static void drawNote()
{
    if (note.until < 0)
        return;
    if (clockHook() >= note.until) {
        note.until = -1;
        pictureChanged();
        return;
    }
    const buttonRect &b = note.box;
    fillButton(shown, b.x, b.y, b.w, b.h, note.colour, 4);
    int middle = b.y + b.h / 2;
    if (note.lines[1].empty()) {
        drawLabel(shown, note.lines[0].c_str(), b.x + b.w / 2, middle, note.colour);
        return;
    }
    drawLabel(shown, note.lines[0].c_str(), b.x + b.w / 2, middle - 5, note.colour);
    drawLabel(shown, note.lines[1].c_str(), b.x + b.w / 2, middle + 5, note.colour);
}

void showFrame(int mx, int my)
{
    if (note.until >= 0 && clockHook() >= note.until)
        drawNote();                 // expires it: the picture comes back now
    if (screenStale) {
        blit(buffer, shown, 0, 0, 0, 0, SCREEN_W_PX, SCREEN_H_PX);
        masked_blit(mseBlock, shown, 0, 0, mx, my, POINTER_PX, POINTER_PX);
        drawNote();
        present(0, 0, SCREEN_W_PX, SCREEN_H_PX);
    } else if (mx != shownX || my != shownY) {
        blit(buffer, shown, shownX, shownY, shownX, shownY, POINTER_PX, POINTER_PX);
        masked_blit(mseBlock, shown, 0, 0, mx, my, POINTER_PX, POINTER_PX);
        drawNote();                 // the note stays over the pointer
        present(shownX, shownY, POINTER_PX, POINTER_PX);
        present(mx, my, POINTER_PX, POINTER_PX);
        if (note.until >= 0)
            present(note.box.x, note.box.y, note.box.w, note.box.h);
    }
    screenStale = false;
    shownX = mx;
    shownY = my;
}
