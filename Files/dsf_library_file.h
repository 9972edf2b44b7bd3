// The reader of a scenery package's "library.txt": exports of files under
// library names, and the regions those exports are limited to.
#pragma once

class xmap_class;

// Reads the library file of package p (scenery_packages[p] + "library.txt")
// into the library. A missing file adds nothing and says nothing; every
// error in it is reported and reading goes on.
void DSF_ReadLibraryFile(int p);

// The same on a file already mapped (its header still to be tested).
void DSF_ReadLibrary(xmap_class& map, int p);
