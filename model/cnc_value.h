// The value part of a CNC word: its kind and the number after the address
// letter. Classify decides what a word text means and whether it is
// acceptable; reporting a rejected word is left to the loader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "word_kind.h"

class CCncValue {
public:
    // Classifier results.
    static constexpr int CLASSIFY_ACCEPTED = 1;
    static constexpr int CLASSIFY_SYNTAX_ERROR = 0;

    // The word is text[0, length); NUL bytes may stand inside it, and what
    // follows it is never read. A null text is a syntax error. Writes only
    // the fields that the word's address determines and resets nothing else.
    int Classify(const char* text, std::size_t length);

    int GetRealValue(double& value) const;

    // The result and kind that Classify gives a fresh value, without
    // computing the numbers where the kind does not depend on them: what a
    // load needs for millions of words.
    static int ClassifyKind(const char* text, std::size_t length, WordKind& kind);

    double realValue = 0.0;
    std::int32_t intValue = 0;
    WordKind kind = WK_NONE;
};
