#include "state/run_state.h"

std::string version_text;
std::string punct_set;
std::string line_end_set;
std::string line_end_text;

char colour_red;
char colour_blue;
char colour_white;
char colour_normal;
char colour_bold;

int verbose;
int untranslate;
std::string in_name;

long long word_count;
long long added_count;

std::string dict_text;
std::string dict_name;
std::string next_dict_name;
std::ptrdiff_t chain_pos;
DictionaryIndex dict_index;

std::string work_text;
std::string out_text;
std::size_t pass_pos;
int pass_done;

std::string pending_additions;
std::string example_entry;

void set_run_values()
{
    version_text = "2.2n";
    punct_set = "\",.?!;:<>)(";
    line_end_set = "\r\n";
    line_end_text.assign(1, '\n');

    colour_red = '1';
    colour_blue = '4';
    colour_white = '7';
    colour_normal = '0';
    colour_bold = '1';

    verbose = 0;
    untranslate = 0;
    in_name.clear();

    word_count = 0;
    added_count = 0;

    dict_text.clear();
    dict_name = "quogo.dic";
    next_dict_name.clear();
    chain_pos = chain_none;
    dict_index.clear();

    work_text.clear();
    out_text.clear();
    pass_pos = 0;
    pass_done = 0;

    pending_additions.clear();
    example_entry.clear();
}
