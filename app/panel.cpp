// The control panel and drawButton, the one primitive behind every boxed label.
#include <algorithm>
#include <string>
#include <vector>
#include <cstdio>
#include "app/app.h"

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
    for (int j = 0; j < h; j++) {
        for (int i = 0; i < w; i++) {
            bool ring = i < border || j < border || i >= w - border || j >= h - border;
            if (!ring) {
                i = w - border - 1;         // over the face to the right-hand ring
                continue;
            }
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

// The library reads every text as UTF-8, and a broken sequence makes it read
// past the terminator or never return. A typed character keeps only its low
// byte, and file names and figure files may hold any byte, so a byte that is
// not part of a whole character is drawn as '?'.
static std::string drawableText(const char *label)
{
    std::string text;
    for (const unsigned char *s = (const unsigned char *)label; *s != 0;) {
        int n = utf8Length(s);
        text.append(n ? (const char *)s : "?", n ? n : 1);
        s += n ? n : 1;
    }
    return text;
}

void drawButton(BITMAP *target, const char *label, int x, int y, int w, int h,
                int colour, int border, int id)
{
    if (id >= 0 && id < BUTTON_COUNT)
        aButton[id] = buttonRect{ x, y, w, h };

    int r = getr(colour), g = getg(colour), b = getb(colour);
    int light = makecol(std::min(r + 40, 255), std::min(g + 40, 255), std::min(b + 40, 255));
    int dark = makecol(std::max(r - 40, 0), std::max(g - 40, 0), std::max(b - 40, 0));

    fillButton(target, x, y, w, h, colour, border);

    int n = 0;
    while (n < 100 && label[n] != 0)
        n++;
    int tx = x + w / 2 - 4 * n;
    std::string text = drawableText(label);
    // dark edge below, light edge above, black text on top
    textprintf_ex(target, font, tx, y + h / 2 - 3, dark, -1, "%s", text.c_str());
    textprintf_ex(target, font, tx, y + h / 2 - 5, light, -1, "%s", text.c_str());
    textprintf_ex(target, font, tx, y + h / 2 - 4, 0, -1, "%s", text.c_str());
}

struct panelButton {
    const char *label;
    int x, y, w, h;
    int r, g, b;
    int border, id;
};

static const panelButton panelTable[40] = {
    { "Render",      496,   0, 128, 32,  64, 128, 255, 4,  0 },
    { "Formulas",    496,  32, 128, 32, 128, 128, 128, 4, -1 },
    { "X",           496,  64,  43, 16,  64, 128, 255, 4,  1 },
    { "Y",           539,  64,  43, 16,  64, 128, 255, 4,  2 },
    { "Z",           582,  64,  42, 16,  64, 128, 255, 4,  3 },
    { "Ranges",      496,  80, 128, 32, 128, 128, 128, 4, -1 },
    { "X",           496, 112,  43, 16, 255, 128,  64, 3, -1 },
    { "Y",           539, 112,  43, 16, 255, 128,  64, 3, -1 },
    { "Z",           582, 112,  42, 16, 255, 128,  64, 3, -1 },
    { "Min",         496, 128,  43, 16,  64, 128, 255, 3,  4 },
    { "Min",         539, 128,  43, 16,  64, 128, 255, 3,  5 },
    { "Min",         582, 128,  42, 16,  64, 128, 255, 3,  6 },
    { "Max",         496, 144,  43, 16,  48,  96, 192, 3,  7 },
    { "Max",         539, 144,  43, 16,  48,  96, 192, 3,  8 },
    { "Max",         582, 144,  42, 16,  48,  96, 192, 3,  9 },
    { "Skip",        496, 160,  43, 16,  64, 128, 255, 3, 10 },
    { "Skip",        539, 160,  43, 16,  64, 128, 255, 3, 11 },
    { "Skip",        582, 160,  42, 16,  64, 128, 255, 3, 12 },
    { "Color",       496, 176, 128, 32, 128, 128, 128, 4, -1 },
    { "Red",         496, 208,  43, 32, 128,   0,   0, 4, 13 },
    { "Green",       539, 208,  43, 32,   0, 128,   0, 4, 14 },
    { "Blue",        582, 208,  42, 32,   0,   0, 128, 4, 15 },
    { "<",           496, 240,  32, 16,  64, 128, 255, 4, 16 },
    { "Color 1",     528, 240,  64, 16, 255, 128,  64, 4, -1 },
    { ">",           592, 240,  32, 16,  64, 128, 255, 4, 17 },
    { "-",           496, 256,  32, 16, 128, 128, 128, 4, 21 },
    { "of 4",        528, 256,  64, 16, 192,  96,  48, 4, -1 },
    { "+",           592, 256,  32, 16, 128, 128, 128, 4, 20 },
    { "<",           496, 272,  32, 16,  64, 128, 255, 4, 18 },
    { "Style 1",     528, 272,  64, 16, 255, 128,  64, 4, -1 },
    { ">",           592, 272,  32, 16,  64, 128, 255, 4, 19 },
    { "-",           496, 288,  32, 16,  48,  96, 192, 4, 23 },
    { "Pow 100",     528, 288,  64, 16, 192,  96,  48, 4, -1 },
    { "+",           592, 288,  32, 16,  48,  96, 192, 4, 22 },
    { "I/O",         496, 304, 128, 32, 128, 128, 128, 4, -1 },
    { "Load",        496, 336,  64, 16,  64, 128, 255, 4, 24 },
    { "Save",        560, 336,  64, 16,  64, 128, 255, 4, 25 },
    { "ScreenShot",  496, 352, 128, 16,  64, 128, 255, 4, 26 },
    { "Loading Bar", 496, 368, 128, 32, 128, 128, 128, 4, -1 },
    { "Exit",        496, 464, 128, 16,  64, 128, 255, 4, 27 },
};

void drawPanel()
{
    for (const panelButton &p : panelTable)
        drawButton(buffer, p.label, p.x, p.y, p.w, p.h, makecol(p.r, p.g, p.b), p.border, p.id);
}

void drawStopLabel()
{
    char text[32];
    snprintf(text, sizeof text, "Color %d", ColorCur + 1);
    drawButton(buffer, text, 528, 240, 64, 16, makecol(255, 128, 64), 4, -1);
}

void drawStyleLabel()
{
    char text[32];
    snprintf(text, sizeof text, "Style %d", style + 1);
    drawButton(buffer, text, 528, 272, 64, 16, makecol(255, 128, 64), 4, -1);
}

void drawPowLabel()
{
    char text[32];
    snprintf(text, sizeof text, "Pow %d", ColorPow);
    drawButton(buffer, text, 528, 288, 64, 16, makecol(192, 96, 48), 4, -1);
}
