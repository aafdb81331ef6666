// One word of a loaded program: its text exactly as read, what it means, and
// where it stands in the listing text. The loader creates and owns words;
// everyone else only reads them.
#pragma once

#include <cstdint>
#include <string>

#include "cnc_value.h"

class CCncWord {
public:
    // Stores the text, classifies it, and takes the kind whatever the result.
    int SetTextAndClassify(std::string text);

    const char* GetText() const { return text.c_str(); }
    const std::string& GetTextString() const { return text; }
    WordKind GetKind() const { return kind; }
    CCncValue GetValue() const { return value; }

    // The end follows the text's length at the moment the span is set.
    void SetSpan(std::int32_t start);
    int GetSpan(std::int32_t& start, std::int32_t& end) const;

private:
    WordKind kind = WK_NONE;
    std::string text;
    CCncValue value;
    std::int32_t spanStart = 0;
    std::int32_t spanEnd = 0;
};
