// The driver: start-up and the stages of a run in their fixed order.
#pragma once

// Answers --help (the usage text) and --version on standard output and ends
// the run, when one of them is among the arguments; they are the only long
// options, and they ask for nothing else, so no key is waited for.
void answer_help_or_version(int argc, const char* const* argv);

// The banner in bold blue: version and maker notice.
void show_banner();

// Settles verbose, untranslate and the input file name from the command
// line, or from a typed line when there are no arguments. Any error ends the
// run through the usage screen.
void read_options(int argc, const char* const* argv);

// The chain loop: one pass per dictionary, following the links.
void run_chain();

// A whole run, from start-up to the closing line. Every failure ends the
// process on the spot, so returning means the run is complete.
void run_quogtran(int argc, const char* const* argv);
