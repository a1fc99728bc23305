#include "drivebase/named_table.h"

namespace drivebase {
namespace {

constexpr unsigned char FoldCase(char c) noexcept {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

}  // namespace

std::size_t CaseInsensitiveHash::operator()(std::string_view name) const noexcept {
  // FNV-1a over the folded characters.
  std::size_t hash = 14695981039346656037ull;
  for (const char c : name) {
    hash ^= FoldCase(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

bool CaseInsensitiveEqual::operator()(std::string_view a, std::string_view b) const noexcept {
  return EqualsIgnoringCase(a, b);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

}  // namespace drivebase
