// Arbitrary file contents through the reader, the loader and the listing.
#include "cli_panel.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    WriteInput(data, size);
    CCliPanel panel;
    CHeadlessView view(&panel);
    CFixedFileChooser chooser(InputPath());
    CMemorySettings settings;
    CCncProgram loader(&view, chooser, settings);
    const int result = loader.Load(std::string());
    CheckLoad(loader, view, result);
    // A second load of the same bytes gives the same program.
    const std::string listing = view.GetListing();
    const std::int32_t words = loader.GetWordCount();
    Require(loader.Load(std::string()) == result, "reload gives the same result");
    Require(view.GetListing() == listing && loader.GetWordCount() == words, "reload gives the same program");
    return 0;
}
