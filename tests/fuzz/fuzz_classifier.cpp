// Arbitrary bytes as one word text.
#include <cmath>
#include <string>

#include "cnc_word.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CCncWord word;
    const int result = word.SetTextAndClassify(text);
    Require(result == 0 || result == 1, "result is 0 or 1");
    Require(word.GetKind() == word.GetValue().kind, "word kind copies the value kind");
    Require(word.GetTextString() == text, "text kept byte for byte");
    const int kind = word.GetKind();
    Require(kind >= 0 && kind <= 69, "kind is a code");
    if (result == 0)
        Require(kind == WK_NONE, "a rejected fresh word keeps kind 0");
    CCncWord again;
    Require(again.SetTextAndClassify(text) == result && again.GetKind() == kind, "classifying is repeatable");
    return 0;
}
