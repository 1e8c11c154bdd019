// The driver: start-up and the stages of a run in their fixed order.
#pragma once

// A whole run, from start-up to the closing line. Every failure ends the
// process on the spot, so returning means the run is complete.
void run_quogtran(int argc, const char* const* argv);

// The process: the run, then its end, with the status the run earned.
[[noreturn]] void run_process(int argc, const char* const* argv);
