// The reader of a scenery package's "library.txt": exports of files under
// library names, and the regions those exports are limited to.
#pragma once

class xmap_class;

// The most regions one library file may define; later REGION_DEFINE
// statements of the file are reported once and skipped with their
// REGION_RECT and REGION_BITMAP statements.
enum { DSF_max_file_regions = 256 };

// Reads the library file of package p (scenery_packages[p] + "library.txt")
// into the library. A missing file adds nothing and says nothing; every
// error in it is reported and reading goes on.
void DSF_ReadLibraryFile(int p);

// The same on a file already mapped (its header still to be tested).
void DSF_ReadLibrary(xmap_class& map, int p);
