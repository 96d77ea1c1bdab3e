// Starting GEGL and babl in a GIMP 2.10 plug-in that only moves a drawable's pixels.
//
// Their defaults cost a run about a second before any pixel moves: GEGL loads its hundred-odd
// operation modules and probes for OpenCL, and babl, once it finds GIMP's cache of conversions,
// times lookup tables for the conversions GIMP itself used heavily (a 16-million-entry table for
// 8-bit RGB alone). A plug-in that reads and writes buffers in the drawable's own format needs
// none of that: without the cache babl finds the few conversions needed when they are first used,
// through the same search.
#pragma once

// Calls gegl_init with no operation modules, no OpenCL and no babl cache. The environment is left
// as it was apart from the two switches.
void StartPixelOnlyGegl();
