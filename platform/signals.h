// What the process sets up before anything else, so that no way out leaves
// a broken terminal, a coloured shell or a stray temporary file behind.
#pragma once

// Reopens a closed standard input, output or error on /dev/null (so that no
// file the run opens can take its place), ignores SIGXFSZ (so a file-size
// limit becomes a checked write error), and installs the handlers that tidy
// up before a signal ends or stops the process.
void guard_process();
