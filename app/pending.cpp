// TEMPORARY during development: weak stand-ins so the program links while
// subsystems are being written. Each real definition overrides its stand-in.
// This file is deleted before any issue is called done.
#include "app/app.h"
#include "files/files.h"
#include "prompts/prompts.h"
#include "render/render.h"
#include <cstring>

