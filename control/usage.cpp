#include "control/usage.h"

#include "control/console.h"
#include "state/run_state.h"

void show_usage()
{
    put_text("\nTranslate English to Quog Speak ");
    put_text("or \"Untranslate\" Quog Speak to English");
    put_text("\n\nUsage: quogtran -v -u filename.typ");
    put_text("\n-v gives verbose reporting");
    put_text("\n-u \"untranslate\" Quog Speak to English");
    put_text("\nDefault is translate English to Quog Speak");
    wait_key("\n\nStrike Any Key ...\n");
    end_process(exit_failure);
}

void cant_open(const std::string& name)
{
    put_text("\nCan't open " + name + "\n");
    show_usage();
}

void show_banner()
{
    set_attribute(colour_bold);
    set_foreground(colour_blue);
    put_text("\n");
    put_text("\nQuog Speak Version ");
    put_text(version_text);
    put_text(" - word by word, from the quogtran makers");
    set_attribute(colour_normal);
}
