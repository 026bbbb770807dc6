#pragma once
// A plain, slow transcription of the published LZHUF coder (ring buffer, linear searches,
// one bit at a time), used to check the fast codec's bytes.

#include <cstdint>
#include <vector>

namespace lzhref {

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& input);
/// Decodes count bytes (taken from the payload) like the reference decoder, except that a
/// match running past the count is cut there.
std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& payload);

} // namespace lzhref
