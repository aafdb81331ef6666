// Arbitrary bytes as one word text.
#include <cmath>
#include <string>

#include "cnc_word.h"
#include "fuzz_support.h"
#include "word_explanation.h"

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
    // The load's inline classifier, where the rest is a number run, agrees.
    if (size >= 1 && size <= 64) {
        std::string rest = text.substr(1);
        const std::size_t length = rest.size();
        rest.resize(64, 'X');
        const auto* bytes = reinterpret_cast<const unsigned char*>(rest.data());
        CByteMarks marks;
        MarkBytes(bytes, marks);
        const std::uint64_t runMask = (std::uint64_t(1) << length) - 1;
        WordKind inlineKind = WK_NONE;
        if ((marks.runs & runMask) == runMask &&
            CCncValue::ClassifyNumberWord(data[0], bytes, length, IsPlainNumberAt(marks, 0, static_cast<unsigned>(length)),
                                          inlineKind))
            Require(result == 1 && inlineKind == kind, "the inline classifier agrees with the classifier");
    }
    CCncWord again;
    Require(again.SetTextAndClassify(text) == result && again.GetKind() == kind, "classifying is repeatable");
    // Letters joined to the word are cut out of its text, under either mode.
    for (const std::int32_t dimensioning : {WK_ABSOLUTE, WK_RELATIVE}) {
        const std::string explanation = ExplainWord(text, CBlockModes{dimensioning, WK_UNIT_MM});
        if (kind != WK_END_OF_BLOCK && !text.empty())
            Require(explanation.compare(0, text.size() + 2, text + ": ") == 0, "the explanation names the word");
    }
    return 0;
}
