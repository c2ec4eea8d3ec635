// The program text reader: tokens, literals, the label pre-pass and the
// forward scans that control words use to find the end of a block.  All of
// them work on the running text at the read position; nothing is compiled.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/BrelEnv.h"

namespace velmora {

// Every byte up to 0x20 separates tokens.
inline bool BrelIsDelimiter(unsigned char c) { return c <= 0x20; }

// Reads one token of text at pos and moves pos past it.  Comments are
// skipped; a string token keeps its quotes (a missing closing quote is
// supplied, in buffer).  The empty token means the end of the text.  The
// result points into text or into buffer and lives until either changes.
std::string_view BrelReadToken(const std::string& text, int32_t& pos, std::string& buffer);

// BrelReadToken on the environment's running text at its read position.
inline std::string_view BrelNextToken(BrelEnvH env) {
  return BrelReadToken(env->running, env->pointer, env->tokenBuffer);
}

// What is still open at the end of TEXT, outermost first: the opening word
// of each block (":", "if", "begin", "while", "for", "on") not yet closed,
// and "\"" last when a string has no closing quote.  The name after ":",
// "for", "man", "label", "goto", "ifgoto" and "forget" is not code.  A
// console uses it to read a definition or block over several lines.
std::vector<std::string> BrelOpenBlocks(const std::string& text);

// Turns a token into a str, real or int value; false when it is none of
// them (no error is set).
bool BrelParseLiteral(std::string_view token, BrelValue& value);

// Registers the labels of the running text from position from on (the whole
// text by default).  Errors 1, 12 or 14.
bool PreLabelRegist(BrelEnvH env, int32_t from = 0);

// Reads tokens until "else" or "endif" at depth 0 and returns it; the empty
// token at the end of the text.
std::string_view BrelSkipToElse(BrelEnvH env);

// Reads tokens until a block closer at depth 0 and returns it in closer;
// false at the end of the text.
bool BrelSkipBlock(BrelEnvH env, std::string_view& closer);

// Skips a word body up to its ";"; error 1 when there is none.
bool BrelSkipDefinition(BrelEnvH env);

}  // namespace velmora
