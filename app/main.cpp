// latticegraph: a formula grapher of point clouds.
#include "app/commandline.h"

int main(int argc, char **argv)
{
    return runCommandLine(argc, argv);
}
