#pragma once

#include <cstddef>
#include <cstdint>

// One fuzz input through the object-set grammar: the bytes are split at newlines into a command,
// a style and a field value; each goes through its parser, then all three through an object set
// that is drawn into a small picture. Aborts when a parser breaks one of its promises.
// Returns 1 when the command built a set, 0 otherwise.
int runGrammarFuzzInput(const uint8_t* data, size_t size);
