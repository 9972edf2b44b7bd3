# Installed dependencies, found through pkg-config where Debian ships a .pc file.
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
set(NIMBREL_ZIP_LIBS PkgConfig::MINIZIP ZLIB::ZLIB)

pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
find_library(SQUISH_LIB squish REQUIRED)
set(NIMBREL_IMAGE_LIBS PkgConfig::PNG ${SQUISH_LIB} ZLIB::ZLIB)

pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
# The movie recorder's file writer, encoder and picture converter.
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)
set(NIMBREL_PLATFORM_LIBS PkgConfig::SDL2 PkgConfig::LIBAV)
# The core GL 1.x calls link against libGL; extension entry points are still
# looked up by name at run time, so a missing one can be seen.
set(OpenGL_GL_PREFERENCE LEGACY)
find_package(OpenGL REQUIRED)

find_library(MIMALLOC_LIB mimalloc REQUIRED)
set(NIMBREL_ALWAYS_LIBS ${MIMALLOC_LIB})
