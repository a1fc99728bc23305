// An insertion-ordered collection of named items with a case-insensitive hash index: the same
// parameter is spelled "SSI_freq" and "SSI_Freq", "isHallsensors" and "isHallSensors".
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace drivebase {

// ASCII case folding: setup names are ASCII.
struct CaseInsensitiveHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const noexcept;
};

struct CaseInsensitiveEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept;

// T has GetName(). Items live on the heap, so pointers to them stay valid while the table grows.
template <class T>
class NamedTable {
 public:
  NamedTable() = default;
  NamedTable(const NamedTable& other) { CopyFrom(other); }
  NamedTable& operator=(const NamedTable& other) {
    if (this != &other) {
      items_.clear();
      index_.clear();
      CopyFrom(other);
    }
    return *this;
  }
  NamedTable(NamedTable&&) noexcept = default;
  NamedTable& operator=(NamedTable&&) noexcept = default;
  ~NamedTable() = default;

  T* Find(std::string_view name) const {
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : items_[it->second].get();
  }

  // Takes the item unless its name is taken already; returns the stored item or null.
  T* Insert(std::unique_ptr<T> item) {
    const auto [it, inserted] = index_.emplace(std::string(item->GetName()), items_.size());
    if (!inserted) return nullptr;
    items_.push_back(std::move(item));
    return items_.back().get();
  }

  bool Erase(std::string_view name) {
    const auto it = index_.find(name);
    if (it == index_.end()) return false;
    const std::size_t position = it->second;
    index_.erase(it);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(position));
    for (auto& entry : index_) {
      if (entry.second > position) --entry.second;
    }
    return true;
  }

  std::size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }

  // Items in insertion order.
  const std::vector<std::unique_ptr<T>>& items() const { return items_; }

 private:
  void CopyFrom(const NamedTable& other) {
    items_.reserve(other.items_.size());
    for (const auto& item : other.items_) items_.push_back(std::make_unique<T>(*item));
    index_ = other.index_;
  }

  std::vector<std::unique_ptr<T>> items_;
  std::unordered_map<std::string, std::size_t, CaseInsensitiveHash, CaseInsensitiveEqual> index_;
};

}  // namespace drivebase
