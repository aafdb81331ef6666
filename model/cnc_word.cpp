#include "cnc_word.h"

int CCncWord::SetTextAndClassify(std::string newText)
{
    text = std::move(newText);
    const int result = value.Classify(text.c_str(), text.size());
    kind = value.kind;
    return result;
}

void CCncWord::SetSpan(std::int32_t start)
{
    spanStart = start;
    spanEnd = static_cast<std::int32_t>(start + static_cast<std::int64_t>(text.size()));
}

int CCncWord::GetSpan(std::int32_t& start, std::int32_t& end) const
{
    start = spanStart;
    end = spanEnd;
    return 1;
}
