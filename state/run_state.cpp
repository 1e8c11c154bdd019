#include "state/run_state.h"

int verbose;
int untranslate;
std::string in_name;

long long word_count;
long long added_count;

std::string dict_text;
std::string dict_name;
std::string next_dict_name;
std::ptrdiff_t chain_pos;
std::vector<std::string> dictionaries_loaded;

std::string work_text;
std::string out_text;

void set_run_values()
{
    verbose = 0;
    untranslate = 0;
    in_name.clear();

    word_count = 0;
    added_count = 0;

    dict_text.clear();
    dict_name = first_dictionary;
    next_dict_name.clear();
    chain_pos = chain_none;
    dictionaries_loaded.clear();

    work_text.clear();
    out_text.clear();
}
