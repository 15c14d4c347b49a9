#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cvrk {

// Radio call signs as the modem accepts them: 2 to 8 characters, each A-Z, a-z,
// 0-9 or "-", compared and sent in upper case. Every function here is pure and
// may be called from any thread; callers that pass shared strings lock them.

// Upper-cases `call` in place (ASCII letters only) and says whether it is a
// valid call sign. A wrong length leaves `call` untouched; an invalid character
// stops the walk there, so letters before it are already upper-cased.
bool NormalizeCall(std::string& call);

// As NormalizeCall for our own call sign, which may also hold "*": the MY
// command of the start-up script sets it with the star, and the modem then
// reports it that way.
bool NormalizeOwnCall(std::string& call);

// True for the bytes a call sign may hold, in either case.
bool IsCallCharacter(char c);

// The distinct valid call signs of a list with one call per LF-ended line, in
// order of first appearance and upper-cased. A line's final CR is dropped,
// blanks are not trimmed, and text after the last LF is ignored because the
// line may still be incomplete. `data` may be null when `size` is 0; it is only
// read during the call.
std::vector<std::string> ParseCallList(const std::uint8_t* data, std::size_t size);

}  // namespace cvrk
