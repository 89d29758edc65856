// Renderer: sweeps the lattice into the cell buffer, and paints the cell
// buffer into the drawing area through the colour ramp.
#pragma once

void render();
void drawFIG();
