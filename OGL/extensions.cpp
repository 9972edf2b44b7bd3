#include "OGL/extensions.h"

OGL_extensions glExt;
