// Memory on Windows: nothing to ask.
#include "platform/memory.h"

// Windows maps memory as it is touched, and is asked nothing.
void map_now(void*, std::size_t) { }
