// latticegraph: a formula grapher of point clouds.
#include "app/app.h"

int main()
{
    if (startup() != 0)
        return 1;
    mainLoop();
    shutdown();
    return 0;
}
END_OF_MAIN()
