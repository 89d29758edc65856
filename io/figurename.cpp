#include <cstring>
#include "io/figurename.h"

bool isFigureName(const char *name)
{
    size_t length = strlen(name);
    return name[0] != '.' && length > 4 && strcmp(name + length - 4, ".fig") == 0;
}
