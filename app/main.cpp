// latticegraph: a formula grapher of point clouds.
#include "app/app.h"

int main()
{
    if (!startup())
        return 1;
    mainLoop();
    shutdown();
    return 0;
}
