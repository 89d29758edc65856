// figurehash: renders figures into 480x480 cells through both evaluation
// paths and prints a hash of the cells, so that two builds (two compilers,
// two processors) can be compared figure by figure. Needs no display and no
// screen library, so it also builds with a cross compiler from the core
// sources alone (README, "The same figures on every machine").
//
//   figurehash default|FIGURE.fig ...
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>
#include "figure/figure.h"
#include "render/lattice.h"

// FNV-1a over the cells' 32-bit values, low byte first on any processor.
static uint64_t cellHash(const std::vector<int> &cells)
{
    uint64_t hash = 1469598103934665603ull;
    for (int cell : cells) {
        for (int shift = 0; shift < 32; shift += 8)
            hash = (hash ^ (((uint32_t)cell >> shift) & 0xFF)) * 1099511628211ull;
    }
    return hash;
}

static bool useFigure(const char *name, figure &fig)
{
    fig = defaultFigure();
    return strcmp(name, "default") == 0 || readFigureOverDefaults(name, fig);
}

static bool sweepsEnd(const float *range)
{
    for (int axis = 0; axis < 3; axis++)
        if (sweepValueCount(range[3 * axis], range[3 * axis + 1], range[3 * axis + 2]) < 0)
            return false;
    return true;
}

int main(int argc, char **argv)
{
    std::vector<int> cells(AREA_PX * AREA_PX);
    float point[3];
    int status = 0;
    for (int i = 1; i < argc; i++) {
        figure fig;
        if (!useFigure(argv[i], fig)) {
            fprintf(stderr, "figurehash: cannot read %s\n", argv[i]);
            status = 1;
            continue;
        }
        if (!sweepsEnd(fig.Range)) {
            fprintf(stderr, "figurehash: a sweep of %s never ends\n", argv[i]);
            status = 1;
            continue;
        }
        for (evaluation path : { evaluation::reference, evaluation::compiled }) {
            sweepJob job = figureJob(fig, cells.data(), AREA_PX, point);
            job.path = path;
            sweepLattice(job);
            printf("%016llx %-9s %s\n", (unsigned long long)cellHash(cells),
                   path == evaluation::reference ? "reference" : "compiled", argv[i]);
        }
    }
    return status;
}
