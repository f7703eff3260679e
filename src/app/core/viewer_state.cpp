#include "app/core/viewer_state.h"

ViewerState viewer;
