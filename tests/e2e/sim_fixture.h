#pragma once

// The fixtures moved to support/sim_over_link.h; this name stays only until the panel fixture
// includes them from there.
#include "support/sim_over_link.h"
