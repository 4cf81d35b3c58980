// The library version, as the header states it.
#include "tvlr.h"

extern "C" const char *tvlr_version(void) {
    return TVLR_VERSION_STRING;
}
