#include "common/version.h"

const char* relumo_version() { return RELUMO_VERSION; }
