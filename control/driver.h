// The driver: start-up and the stages of a run in their fixed order.
#pragma once

// A whole run, from start-up to the closing line. Every failure ends the
// process on the spot, so returning means the run is complete.
void run_quogtran(int argc, const char* const* argv);
