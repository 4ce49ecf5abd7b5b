// TMessages: a keyed table of operator texts (Windows-1252).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel {

class TMessages {
 public:
  TMessages() = default;
  // Entries in the table's stored form: "key|text" lines (see AddLine).
  TMessages(std::initializer_list<std::string_view> lines);

  // Appends one entry. Entries keep their order; a repeated key is kept too.
  void Add(std::string key, std::string text);
  // Appends one "key|text" line, split at the first '|'. A line without '|'
  // is a key with an empty text.
  void AddLine(std::string_view line);
  void Clear() { entries_.clear(); }

  // The text stored under `key`; keys match without regard to ASCII case and
  // the first entry with the key wins. For a key the table lacks, the key
  // itself, so that the operator still sees (and can report) what was meant.
  std::string Msg(std::string_view key) const;
  // Whether some entry has `key` (same matching as Msg).
  bool Contains(std::string_view key) const;
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  const std::pair<std::string, std::string>* Find(std::string_view key) const;

  std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace zel
