// What a word means, in one short German line for learners and teachers: the
// word, ": ", and what it does on this controller, with the value filled in as
// the word wrote it. A coordinate reads as a target or as a step by that
// amount, as the G90/G91 in force for its block says; which modes are in
// force is the word list's to know. Which words the machine state evaluates
// is decided elsewhere; these texts only describe it. Texts are code page
// 1252 bytes.
#pragma once

#include <string>
#include <string_view>

#include "cnc_value.h"
#include "word_list.h"

// The line starts with the word text, except "Satzende" for an end-of-block
// word (a carriage return is no readable name) and "leeres Wort" for an empty
// one. A text the classifier rejects is explained as the syntax error it is.
// Letters the reader joins to a word ("H1D1") are explained one by one.
std::string ExplainWord(std::string_view text, const CBlockModes& modes = CBlockModes());

// value is what classifying text gave; any kind code is explained, the
// modal-only ones included.
std::string ExplainWord(std::string_view text, const CCncValue& value, const CBlockModes& modes = CBlockModes());

// A comment: "(" with kind comment, or the rest of a line after ";".
bool IsCommentWord(const CWordList& words, WordPosition position);

// The word at position of a loaded program, with the modes of its block.
// The empty word the reader puts before a comment that starts a line is
// explained as the comment line it begins.
std::string ExplainWordAt(const CWordList& words, WordPosition position);
