// The banner, the usage screen and the start-up and job stages of a run.
#pragma once

#include <string>

// Prints the usage screen, waits for a key and ends the run with a failure.
[[noreturn]] void show_usage();

// "\nCan't open NAME\n", then the usage screen: a file the run cannot write.
[[noreturn]] void cant_open(const std::string& name);

// The banner in bold blue: version and maker notice.
void show_banner();

// Settles verbose, untranslate and the input file name from the command
// line, or from a typed line when there are no arguments. Any error ends the
// run through the usage screen.
void read_options(int argc, const char* const* argv);

// Refuses a run whose output files would overwrite its own input file.
void check_output_names();

// The chain loop: one pass per dictionary, following the links.
void run_chain();

// A whole run, from start-up to the closing line; returns the exit status.
int run_quogtran(int argc, const char* const* argv);
