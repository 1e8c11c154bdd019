#include <set>
#include <string>

#include "control/console.h"
#include "control/driver.h"
#include "control/files.h"
#include "control/signals.h"
#include "engine/engine.h"
#include "results/results.h"
#include "state/run_state.h"

namespace {

// Names a dictionary by the file it is, so that 'quogo.dic' and './quogo.dic'
// count as one; a name that cannot be examined stands for itself.
class UsedDictionaries {
public:
    bool seen(const std::string& name) const
    {
        const auto file = identify_file(name);
        return file ? files_.count(*file) > 0 : names_.count(name) > 0;
    }
    void add(const std::string& name)
    {
        if (const auto file = identify_file(name))
            files_.insert(*file);
        names_.insert(name);
    }

private:
    std::set<FileIdentity> files_;
    std::set<std::string> names_;
};

} // namespace

void run_chain()
{
    UsedDictionaries used;
    used.add(dict_name);
    while (chain_pos != chain_done) {
        translate_pass();
        if (chain_pos == chain_none) {
            chain_pos = chain_done;
            continue;
        }
        // A chain that comes back to a dictionary would repeat passes forever.
        if (used.seen(next_dict_name)) {
            put_text("\n\nThe chain comes back to " + next_dict_name + ", so it ends here.\n");
            chain_pos = chain_done;
            continue;
        }
        work_text = std::move(out_text);
        out_text.clear();
        dict_name = next_dict_name;
        used.add(dict_name);
        load_dictionary();
        check_output_names();
    }
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

void run_quogtran(int argc, const char* const* argv)
{
    guard_process();
    set_run_values();
    answer_help_or_version(argc, argv);
    show_banner();
    read_options(argc, argv);
    check_output_names();
    put_text("\n");

    load_dictionary();
    prepare_work_text();
    protect_arrows();
    run_chain();
    std::string().swap(work_text); // the last pass's input, needed no more
    restore_arrows();

    show_text();
    if (!untranslate)
        extend_dictionary();
    deliver_results();
}
