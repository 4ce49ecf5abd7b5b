#include "hostutil/messages.h"

#include "hostutil/ascii.h"

namespace zel {

TMessages::TMessages(std::initializer_list<std::string_view> lines) {
  entries_.reserve(lines.size());
  for (std::string_view line : lines) AddLine(line);
}

void TMessages::Add(std::string key, std::string text) {
  entries_.emplace_back(std::move(key), std::move(text));
}

void TMessages::AddLine(std::string_view line) {
  size_t bar = line.find('|');
  if (bar == std::string_view::npos) {
    Add(std::string(line), "");
  } else {
    Add(std::string(line.substr(0, bar)), std::string(line.substr(bar + 1)));
  }
}

const std::pair<std::string, std::string>* TMessages::Find(std::string_view key) const {
  for (const auto& entry : entries_) {
    if (hostutil_internal::SameKey(entry.first, key)) return &entry;
  }
  return nullptr;
}

std::string TMessages::Msg(std::string_view key) const {
  const auto* entry = Find(key);
  return entry ? entry->second : std::string(key);
}

bool TMessages::Contains(std::string_view key) const { return Find(key) != nullptr; }

}  // namespace zel
