// What the harnesses share: the fuzz input as text, and a failure that libFuzzer records as a
// crash together with the input that caused it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace atmotab::fuzz {

inline std::string text_of(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// An invariant broke: say which and abort, so that libFuzzer keeps the input.
[[noreturn]] inline void broken(const std::string& what) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  std::abort();
}

}  // namespace atmotab::fuzz
