// Reads one JSON object of a motor or drive file key by key, checking types and ranges, and
// rejects the keys nobody asked for. Every error names the file, the dotted key and the fault.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace drivesim::files {

class ObjectReader {
 public:
  // `object` must outlive the reader; `path` is the dotted key of the object ("" for the root).
  ObjectReader(const nlohmann::json& object, std::string source, std::string path);

  bool Has(const std::string& key) const;              // present and not null
  // A number; `required` without default throws when missing.
  double Number(const std::string& key, std::optional<double> fallback);
  double Positive(const std::string& key, std::optional<double> fallback);     // > 0
  double NonNegative(const std::string& key, std::optional<double> fallback);  // ≥ 0
  long long Integer(const std::string& key, std::optional<long long> fallback, long long min,
                    long long max);
  bool Boolean(const std::string& key, bool fallback);
  std::string Text(const std::string& key, std::optional<std::string> fallback);
  // One of `choices`.
  std::string Choice(const std::string& key, std::optional<std::string> fallback,
                     const std::vector<std::string>& choices);
  // A nested object (nullopt when the key is absent or null).
  std::optional<ObjectReader> Object(const std::string& key);
  const nlohmann::json* Raw(const std::string& key);   // marks the key used; null when absent
  // Throws for the first key that was never asked for.
  void RejectUnknownKeys() const;

  [[noreturn]] void Fail(const std::string& key, const std::string& problem) const;
  std::string KeyPath(const std::string& key) const;
  const std::string& Source() const { return source_; }

 private:
  const nlohmann::json* Lookup(const std::string& key);

  const nlohmann::json* object_;
  std::string source_;
  std::string path_;
  std::set<std::string> used_;
};

// Parses text as one JSON object; throws ModelFileError naming the source when it is not.
nlohmann::json ParseObject(std::string_view text, const std::string& source);
// Reads a whole file; throws ModelFileError when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace drivesim::files
