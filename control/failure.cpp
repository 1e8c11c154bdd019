#include "control/failure.h"

#include "control/console.h"
#include "control/usage.h"
#include "platform/terminal.h"

std::string failure_text(const Failure& failure)
{
    return "\n" + failure.reason + "\n";
}

void fail(const Failure& failure)
{
    give_terminal_back_now();
    reset_colour();
    put_problem(failure_text(failure));
    if (failure.with_usage)
        show_usage();
    end_process(exit_failure);
}
