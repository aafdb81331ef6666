// What a word means, in one short German line for learners and teachers: the
// word, ": ", and what it does on this controller, with the value filled in as
// the word wrote it. Which words the machine state evaluates is decided
// elsewhere; these texts only describe it. Texts are code page 1252 bytes.
#pragma once

#include <string>
#include <string_view>

#include "cnc_value.h"

// The line starts with the word text, except "Satzende" for an end-of-block
// word (a carriage return is no readable name) and "leeres Wort" for an empty
// one. A text the classifier rejects is explained as the syntax error it is.
std::string ExplainWord(std::string_view text);

// value is what classifying text gave; any kind code is explained, the
// modal-only ones included.
std::string ExplainWord(std::string_view text, const CCncValue& value);
