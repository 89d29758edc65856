// latticegraph: a formula grapher of point clouds.
#include "app/commandline.h"
#include "render/lattice.h"

int main(int argc, char **argv)
{
    keepSweepMemory();
    return runCommandLine(argc, argv);
}
