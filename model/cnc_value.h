// The value part of a CNC word: its kind and the number after the address
// letter. Classify decides what a word text means and whether it is
// acceptable; reporting a rejected word is left to the loader.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "cnc_bytes.h"
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
    // The kind ClassifyKind accepts the word of the address byte and the
    // number run rest[0, length) with (2 bytes must be readable at rest),
    // where plain says whether the run is a number written plainly (see
    // IsPlainNumberAt), told from the address and the run's form alone,
    // inline: the load meets millions of such words. False where it takes
    // ClassifyKind to decide, rejected words among them.
    static bool ClassifyNumberWord(unsigned char address, const unsigned char* rest, std::size_t length, bool plain,
                                   WordKind& kind);

    // What ClassifyNumberWord needs to know of an address: the rows of the
    // address table, by first byte.
    enum NumberRule : std::uint8_t {
        NUMBER_UNDECIDED,
        // Any rest of at least one byte: an integer address.
        NUMBER_ANY,
        // A plain number: a real-valued address.
        NUMBER_PLAIN,
        // One or two digits, looked up among the G numbers.
        NUMBER_G,
    };
    struct CNumberWordRule {
        NumberRule rule;
        std::uint8_t kind;
    };
    static const std::array<CNumberWordRule, 256> numberWordRules;
    // The G numbers' kinds by number, below 100 as every G code is.
    static constexpr std::int32_t G_INDEX_SIZE = 100;
    static const std::array<WordKind, G_INDEX_SIZE> gNumberKinds;

    double realValue = 0.0;
    std::int32_t intValue = 0;
    WordKind kind = WK_NONE;
};

inline bool CCncValue::ClassifyNumberWord(unsigned char address, const unsigned char* rest, std::size_t length,
                                          bool plain, WordKind& kind)
{
    const CNumberWordRule rule = numberWordRules[address];
    switch (rule.rule) {
    case NUMBER_UNDECIDED:
        return false;
    case NUMBER_ANY:
        if (length == 0)
            return false;
        break;
    case NUMBER_PLAIN:
        if (!plain)
            return false;
        break;
    case NUMBER_G: {
        const unsigned tens = rest[0] - static_cast<unsigned>('0');
        const unsigned ones = rest[1] - static_cast<unsigned>('0');
        if (length == 1 && tens <= 9) {
            kind = gNumberKinds[tens];
            return true;
        }
        if (length == 2 && tens <= 9 && ones <= 9) {
            kind = gNumberKinds[tens * 10 + ones];
            return true;
        }
        return false;
    }
    }
    kind = static_cast<WordKind>(rule.kind);
    return true;
}
