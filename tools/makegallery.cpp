// makegallery: renders the starter figures headless, saves each one as
// <gallery>/<name>.fig and its drawing area as <previews>/<name>.bmp, and
// prints how long each render took.
//
//   makegallery <gallery-dir> <preview-dir>
//
// Built with the project: build/makegallery gallery /tmp/previews
#include <allegro.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <sstream>
#include <string>
#include "figure/figure.h"
#include "ui/display.h"
#include "ui/screen.h"
#include "ui/view.h"

struct starterFigure {
    const char *name;
    const char *x, *y, *z;          // formula texts: no whitespace, so they save as typed
    float range[9];                 // Xmin Xmax Xskip Ymin Ymax Yskip Zmin Zmax Zskip
    int color[12];
    int style;
    int pow;
};

static const starterFigure figures[] = {
    // Five arms, each an Archimedean spiral: cosine and sine of a growing angle.
    { "spiral", "X/64*C(X/6+Y*1.2566)", "X/64*S(X/6+Y*1.2566)", "Z",
      { 0, 60, 0.003f, 0, 4, 1, 0, 0, 1 },
      { 0, 0, 0, 96, 0, 160, 255, 96, 200, 255, 255, 255 }, 0, 30 },
    // Four nested seven-petal roses: P turns the sweep 0..2 into 0..2 pi.
    { "rose", ".95*C(7*X*P)*C(X*P)*(1-Y/5)", ".95*C(7*X*P)*S(X*P)*(1-Y/5)", "Z",
      { 0, 2, 0.00005f, 0, 3, 1, 0, 0, 1 },
      { 10, 0, 20, 160, 0, 90, 255, 110, 170, 255, 240, 250 }, 0, 90 },
    // Sunflower seeds: each turns by the golden angle 2 pi / G^2, at the
    // square root of its number from the centre; Y and Z fatten each seed.
    { "sunflower", "(X/4000)^.5*C(X*2P/G^2)*.95+Y/200", "(X/4000)^.5*S(X*2P/G^2)*.95+Z/200", "Z",
      { 1, 4000, 1, -1, 1, 1, -1, 1, 1 },
      { 8, 12, 0, 190, 110, 0, 255, 210, 0, 255, 255, 210 }, 0, 255 },
    // Four Lissajous curves 3:2, each with its own phase: crossings light up.
    { "lissajous", ".9*S(3*X)", ".9*S(2*X+Y/2)", "Z",
      { 0, 6.2832f, 0.0002f, 0, 3, 1, 0, 0, 1 },
      { 0, 10, 30, 0, 120, 120, 120, 255, 120, 255, 255, 255 }, 0, 60 },
    // Branches of the tangent, scaled down by 1 to 8.
    { "tangent", "X/64", "T(X/20)/Y", "Z",
      { -62.8318f, 62.8318f, 0.002f, 1, 8, 1, 0, 0, 1 },
      { 0, 0, 0, 200, 40, 40, 255, 180, 60, 255, 255, 220 }, 0, 25 },
    // x^1 to x^9 in steps of a quarter: a negative base with a fractional
    // power has no value, so those curves exist only on the right.
    { "powers", "X*.95", "-X^Y*.95", "Z",
      { -1, 1, 0.0001f, 1, 9, 0.25f, 0, 0, 1 },
      { 0, 0, 0, 40, 90, 40, 120, 255, 80, 240, 255, 200 }, 0, 70 },
    // Twelve wobbling rings, one for each Z.
    { "rings", "(Z/13+S(8*X+Z)/60)*CX", "(Z/13+S(8*X+Z)/60)*SX", "Z",
      { 0, 6.2832f, 0.0005f, 0, 0, 1, 1, 12, 1 },
      { 0, 0, 20, 30, 60, 200, 200, 80, 255, 255, 230, 255 }, 0, 110 },
    // Highest Z: a ball lit from the upper left; its far side falls into the dark.
    { "sphere", "X/64", "Y/64", "40+200*((1-(X/64)^2-(Y/64)^2)^.5*.8-X/64*.4-Y/64*.45)",
      { -64, 64, 0.25f, -64, 64, 0.25f, 0, 0, 1 },
      { 0, 0, 0, 40, 20, 90, 120, 150, 255, 255, 255, 255 }, 1, 3 },
    // Highest Z: a rippled sheet seen from above at a slant.
    { "waves", "(X+-Y)/60", "(X+Y)/120-S(X/6)*C(Y/6)/5", "128+100*S(X/6)*C(Y/6)",
      { -40, 40, 0.1f, -40, 40, 0.1f, 0, 0, 1 },
      { 0, 0, 0, 0, 60, 120, 60, 200, 160, 255, 255, 200 }, 1, 3 },
    // Highest Z: a tunnel of rings, the near ones hiding the far ones.
    { "tunnel", ".9*C(X+Z/3)/Z*(2+S(4*X))", ".9*S(X+Z/3)/Z*(2+S(4*X))", "260-Z*12",
      { 0, 6.2832f, 0.002f, 0, 0, 1, 1, 20, 0.25f },
      { 0, 0, 0, 80, 0, 40, 255, 80, 0, 255, 255, 160 }, 1, 3 },
    // Products of sines and cosines fold the plane onto itself: where folds bunch up,
    // many points meet, so a low gain keeps the crystal from glaring.
    { "crystal", "SX*C(Y/4)", "CY*S(X/4)", "Z",
      { -62.8318f, 62.8318f, 0.2f, -62.8318f, 62.8318f, 0.2f, 0, 0, 1 },
      { 0, 0, 0, 90, 20, 120, 255, 120, 60, 255, 250, 230 }, 0, 45 },
};


// The render's progress marks go where the panel has them.
const buttonRect PROGRESS_MARKS = { 496, 368, 128, 32 };

static figure figureOf(const starterFigure &f)
{
    figure fig = defaultFigure();
    setFormula(fig, AXIS_X, f.x);
    setFormula(fig, AXIS_Y, f.y);
    setFormula(fig, AXIS_Z, f.z);
    memcpy(fig.Range, f.range, sizeof fig.Range);
    memcpy(fig.Color, f.color, sizeof fig.Color);
    fig.style = (unsigned char)f.style;
    fig.ColorPow = f.pow;
    return fig;
}

static double wallSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// The figure must come back from its file with the same texts.
static bool savedAsTyped(const char *path, const starterFigure &f)
{
    figure back;
    if (!readFigureOverDefaults(path, back))
        return false;
    return !strcmp(back.aXForm, f.x) && !strcmp(back.aYForm, f.y) && !strcmp(back.aZForm, f.z);
}

static bool makeFigure(const starterFigure &f, const char *galleryDir, const char *previewDir)
{
    char path[512];
    figure fig = figureOf(f);
    double start = wallSeconds();
    render(fig, PROGRESS_MARKS);
    double seconds = wallSeconds() - start;
    drawFIG(fig);
    BITMAP *area = create_sub_bitmap(buffer, 0, 0, 480, 480);
    snprintf(path, sizeof path, "%s/%s.bmp", previewDir, f.name);
    PALETTE unused;                 // the BMP writer takes one; a 32-bit picture does not use it
    bool previewSaved = area && save_bmp(path, area, unused) == 0;
    if (area)
        destroy_bitmap(area);
    snprintf(path, sizeof path, "%s/%s.fig", galleryDir, f.name);
    bool figureSaved = writeFIG(path, fig) && savedAsTyped(path, f);
    printf("%-10s %6.2f s  %s%s\n", f.name, seconds,
           figureSaved ? "" : "FIGURE NOT SAVED ", previewSaved ? "" : "PREVIEW NOT SAVED");
    return figureSaved && previewSaved;
}

// The figures CMakeLists.txt installs as the starter gallery, by name with
// spaces between: this table must make exactly those.
#ifndef STARTER_FIGURES
#error "STARTER_FIGURES comes from CMakeLists.txt"
#endif
static bool madeAsListed()
{
    std::set<std::string> listed, made;
    std::istringstream words(STARTER_FIGURES);
    for (std::string name; words >> name;)
        listed.insert(name);
    for (const starterFigure &f : figures)
        made.insert(f.name);
    return listed == made;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: makegallery <gallery-dir> <preview-dir>\n");
        return 2;
    }
    if (!madeAsListed()) {
        fprintf(stderr, "makegallery: its figures are not those of STARTER_FIGURES in CMakeLists.txt (%s)\n",
                STARTER_FIGURES);
        return 2;
    }
    if (!openHeadless()) {
        fprintf(stderr, "makegallery: cannot start Allegro without a display\n");
        return 1;
    }
    bool allSaved = true;
    for (const starterFigure &f : figures)
        allSaved = makeFigure(f, argv[1], argv[2]) && allSaved;
    return allSaved ? 0 : 1;
}
