#include "scenario/object_reader.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "drivesim/file_error.h"

namespace drivesim::files {

namespace {
std::string Describe(const nlohmann::json& value) {
  if (value.is_string()) return "a text";
  if (value.is_boolean()) return "true or false";
  if (value.is_number()) return "a number";
  if (value.is_object()) return "an object";
  if (value.is_array()) return "a list";
  return "null";
}
}  // namespace

ObjectReader::ObjectReader(const nlohmann::json& object, std::string source, std::string path)
    : object_(&object), source_(std::move(source)), path_(std::move(path)) {
  if (!object.is_object()) Fail("", "must be an object, not " + Describe(object));
}

std::string ObjectReader::KeyPath(const std::string& key) const {
  if (path_.empty()) return key;
  if (key.empty()) return path_;
  return path_ + "." + key;
}

void ObjectReader::Fail(const std::string& key, const std::string& problem) const {
  throw ModelFileError(source_, KeyPath(key), problem);
}

bool ObjectReader::Has(const std::string& key) const {
  const auto it = object_->find(key);
  return it != object_->end() && !it->is_null();
}

const nlohmann::json* ObjectReader::Lookup(const std::string& key) {
  used_.insert(key);
  const auto it = object_->find(key);
  if (it == object_->end() || it->is_null()) return nullptr;
  return &*it;
}

const nlohmann::json* ObjectReader::Raw(const std::string& key) { return Lookup(key); }

double ObjectReader::Number(const std::string& key, std::optional<double> fallback) {
  const nlohmann::json* value = Lookup(key);
  if (value == nullptr) {
    if (!fallback) Fail(key, "missing required key");
    return *fallback;
  }
  if (!value->is_number()) Fail(key, "must be a number, not " + Describe(*value));
  const double number = value->get<double>();
  if (!std::isfinite(number)) Fail(key, "must be a finite number");
  return number;
}

double ObjectReader::Positive(const std::string& key, std::optional<double> fallback) {
  const double number = Number(key, fallback);
  if (number <= 0.0) {
    Fail(key, number == 0.0 ? "must not be zero" : "must not be negative");
  }
  return number;
}

double ObjectReader::NonNegative(const std::string& key, std::optional<double> fallback) {
  const double number = Number(key, fallback);
  if (number < 0.0) Fail(key, "must not be negative");
  return number;
}

long long ObjectReader::Integer(const std::string& key, std::optional<long long> fallback,
                                long long min, long long max) {
  const nlohmann::json* value = Lookup(key);
  if (value == nullptr) {
    if (!fallback) Fail(key, "missing required key");
    return *fallback;
  }
  if (!value->is_number()) Fail(key, "must be a whole number, not " + Describe(*value));
  const double number = value->get<double>();
  if (!std::isfinite(number) || std::floor(number) != number) Fail(key, "must be a whole number");
  if (number < static_cast<double>(min) || number > static_cast<double>(max)) {
    Fail(key, "must lie in " + std::to_string(min) + " … " + std::to_string(max));
  }
  return static_cast<long long>(number);
}

bool ObjectReader::Boolean(const std::string& key, bool fallback) {
  const nlohmann::json* value = Lookup(key);
  if (value == nullptr) return fallback;
  if (!value->is_boolean()) Fail(key, "must be true or false, not " + Describe(*value));
  return value->get<bool>();
}

std::string ObjectReader::Text(const std::string& key, std::optional<std::string> fallback) {
  const nlohmann::json* value = Lookup(key);
  if (value == nullptr) {
    if (!fallback) Fail(key, "missing required key");
    return *fallback;
  }
  if (!value->is_string()) Fail(key, "must be a text, not " + Describe(*value));
  return value->get<std::string>();
}

std::string ObjectReader::Choice(const std::string& key, std::optional<std::string> fallback,
                                 const std::vector<std::string>& choices) {
  const std::string text = Text(key, std::move(fallback));
  for (const std::string& choice : choices) {
    if (choice == text) return text;
  }
  std::string list;
  for (const std::string& choice : choices) list += (list.empty() ? "\"" : ", \"") + choice + "\"";
  Fail(key, "\"" + text + "\" is not one of " + list);
}

std::optional<ObjectReader> ObjectReader::Object(const std::string& key) {
  const nlohmann::json* value = Lookup(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_object()) Fail(key, "must be an object, not " + Describe(*value));
  return ObjectReader(*value, source_, KeyPath(key));
}

void ObjectReader::RejectUnknownKeys() const {
  for (const auto& item : object_->items()) {
    if (used_.count(item.key()) == 0) Fail(item.key(), "unknown key");
  }
}

nlohmann::json ParseObject(std::string_view text, const std::string& source) {
  nlohmann::json root = nlohmann::json::parse(text, nullptr, false);
  if (root.is_discarded()) throw ModelFileError(source, "", "not valid JSON");
  if (!root.is_object()) throw ModelFileError(source, "", "must hold one JSON object");
  return root;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ModelFileError(path, "", "cannot be opened");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw ModelFileError(path, "", "cannot be read");
  return text.str();
}

}  // namespace drivesim::files
