// Start-up: the long options, and the settings of a run from the command
// line or a typed line.
#pragma once

// Answers --help and --version on standard output and ends the run, when
// one of them is among the arguments; they ask for nothing else, so no key
// is waited for.
void answer_help_or_version(int argc, const char* const* argv);

// Settles run.verbose, run.untranslate and run.in_name from the command
// line, or from a typed line when there are no arguments. Any error ends
// the run through the usage screen.
void read_options(int argc, const char* const* argv);
