// Any bytes as an input text: preparation, arrow protection, a pass in each
// direction against a fixed dictionary, restoration and closing-up.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "results/results.h"
#include "tests/plain_pass.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    run = {};
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::string prepared = prepare_text(raw);
    FUZZ_CHECK(prepared.find('\r') == std::string::npos);

    for (const bool untranslating : {false, true}) {
        run.untranslate = untranslating;
        take_dictionary("_still_->~ztill_ _cat_->~kat_\n _!_->~!!_ _(_->~<_ _a_->~uh_ |next.dic]");
        run.work_text = prepared;
        protect_arrows(run.work_text);
        FUZZ_CHECK(run.work_text.size() <= prepared.size());
        run.out_text.clear();
        run_pass(PassText(run.work_text));
        restore_arrows();
        const std::string closed = close_up(run.out_text);
        FUZZ_CHECK(closed.size() <= run.out_text.size());
    }
    return 0;
}
