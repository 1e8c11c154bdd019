#include "state/run_state.h"

Run run;
