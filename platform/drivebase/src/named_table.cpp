#include "drivebase/named_table.h"

#include <cstdint>
#include <cstring>

namespace drivebase {
namespace {

constexpr unsigned char FoldCase(char c) noexcept {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

template <class Word>
Word Load(const char* p) noexcept {
  Word word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// A word that holds every character after the whole words of a name of `size` (at least 1)
// characters: the last eight read again where there are eight, else the name's characters
// gathered with overlapping reads. Never reads beyond the name.
std::uint64_t LastWord(const char* data, std::size_t size) noexcept {
  if (size >= 8) return Load<std::uint64_t>(data + size - 8);
  if (size >= 4) return Load<std::uint32_t>(data) | std::uint64_t{Load<std::uint32_t>(data + size - 4)} << 32;
  const auto byte = [data](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(data[i])}; };
  return byte(0) | byte(size / 2) << 8 | byte(size - 1) << 16;
}

}  // namespace

std::size_t CaseInsensitiveHash::operator()(std::string_view name) const noexcept {
  // Eight characters at a time with bit 5 set, so that every upper-case letter reads as its
  // lower-case one (some other characters fold together too, which a hash may do); each word
  // multiplied in, the length first.
  constexpr std::uint64_t kCaseBits = 0x2020202020202020ull;
  const auto mix = [](std::uint64_t hash, std::uint64_t word) {
    hash = (hash ^ (word | kCaseBits)) * 0xFF51AFD7ED558CCDull;
    return hash ^ (hash >> 29);
  };
  std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ name.size();
  if (name.empty()) return static_cast<std::size_t>(hash);
  for (std::size_t i = 0; i + 8 < name.size(); i += 8) hash = mix(hash, Load<std::uint64_t>(name.data() + i));
  hash = mix(hash, LastWord(name.data(), name.size()));
  return static_cast<std::size_t>(hash * 0xC4CEB9FE1A85EC53ull ^ (hash >> 32));
}

bool CaseInsensitiveEqual::operator()(std::string_view a, std::string_view b) const noexcept {
  return EqualsIgnoringCase(a, b);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  // The same spelling, as it usually is, word by word; else character by character.
  bool same = LastWord(a.data(), a.size()) == LastWord(b.data(), b.size());
  for (std::size_t i = 0; same && i + 8 < a.size(); i += 8) {
    same = Load<std::uint64_t>(a.data() + i) == Load<std::uint64_t>(b.data() + i);
  }
  if (same) return true;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

}  // namespace drivebase
