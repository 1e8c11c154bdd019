// Any bytes as an input text: preparation, arrow protection, a pass in each
// direction against a fixed dictionary, restoration and closing-up.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "results/results.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    set_run_values();
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::string prepared = prepare_text(raw);
    FUZZ_CHECK(prepared.find('\r') == std::string::npos);

    for (const int direction : {0, 1}) {
        untranslate = direction;
        take_dictionary("_still_->~ztill_ _cat_->~kat_\n _!_->~!!_ _(_->~<_ _a_->~uh_ |next.dic]");
        work_text = prepared;
        replace_marks(work_text, "- > ", "==");
        FUZZ_CHECK(work_text.size() <= prepared.size());
        quiet_pass();
        replace_marks(out_text, "==", "->");
        const std::string closed = close_up(out_text);
        FUZZ_CHECK(closed.size() <= out_text.size());
    }
    return 0;
}
