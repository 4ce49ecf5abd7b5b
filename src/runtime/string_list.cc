#include "runtime/string_list.h"

#include <algorithm>

#include "runtime/host_error.h"

namespace zel {

namespace {

// Windows-1252 lower case of one byte: ASCII letters, the accented capitals
// 0xC0-0xDE (0xD7 is the multiplication sign) and the four capitals in
// 0x80-0x9F (Š Œ Ž Ÿ).
unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A:
      return 0x9A;
    case 0x8C:
      return 0x9C;
    case 0x8E:
      return 0x9E;
    case 0x9F:
      return 0xFF;
    default:
      return c;
  }
}

bool NeedsQuotes(std::string_view text) {
  if (text.empty()) return true;
  for (unsigned char c : text) {
    if (c <= ' ' || c == ',' || c == '"') return true;
  }
  return false;
}

}  // namespace

int StringList::CompareText(std::string_view a, std::string_view b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    int ca = FoldCase(static_cast<unsigned char>(a[i]));
    int cb = FoldCase(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void StringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) {
    throw HostError("List index out of bounds (" + std::to_string(index) + ")");
  }
}

const std::string& StringList::operator[](int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)];
}

void StringList::Set(int index, std::string text) {
  if (sorted_) throw HostError("Operation not allowed on sorted list");
  CheckIndex(index);
  items_[static_cast<size_t>(index)] = std::move(text);
}

int StringList::LowerBound(std::string_view text) const {
  auto it = std::lower_bound(
      items_.begin(), items_.end(), text,
      [](const std::string& item, std::string_view value) { return CompareText(item, value) < 0; });
  return static_cast<int>(it - items_.begin());
}

int StringList::Add(std::string text) {
  if (!sorted_) {
    items_.push_back(std::move(text));
    return Count() - 1;
  }
  int at = LowerBound(text);
  bool duplicate = at < Count() && CompareText(items_[static_cast<size_t>(at)], text) == 0;
  if (duplicate) {
    if (duplicates_ == Duplicates::kIgnore) return at;
    if (duplicates_ == Duplicates::kError) {
      throw HostError("String list does not allow duplicates");
    }
    // Accepted duplicates go after their equals, keeping insertion order.
    while (at < Count() && CompareText(items_[static_cast<size_t>(at)], text) == 0) ++at;
  }
  items_.insert(items_.begin() + at, std::move(text));
  return at;
}

void StringList::AddStrings(const StringList& other) {
  // Copy first: `other` may be this list.
  std::vector<std::string> texts = other.items_;
  for (std::string& text : texts) Add(std::move(text));
}

void StringList::Insert(int index, std::string text) {
  if (sorted_) throw HostError("Operation not allowed on sorted list");
  if (index < 0 || index > Count()) {
    throw HostError("List index out of bounds (" + std::to_string(index) + ")");
  }
  items_.insert(items_.begin() + index, std::move(text));
}

void StringList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

int StringList::IndexOf(std::string_view text) const {
  if (sorted_) {
    int at = LowerBound(text);
    return at < Count() && CompareText(items_[static_cast<size_t>(at)], text) == 0 ? at : -1;
  }
  for (int i = 0; i < Count(); ++i) {
    if (CompareText(items_[static_cast<size_t>(i)], text) == 0) return i;
  }
  return -1;
}

std::string StringList::Text() const {
  std::string text;
  for (const std::string& item : items_) {
    text += item;
    text += "\r\n";
  }
  return text;
}

void StringList::SetText(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  items_ = std::move(lines);
  if (sorted_) Sort();
}

std::string StringList::CommaText() const {
  std::string text;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i > 0) text += ',';
    const std::string& item = items_[i];
    if (!NeedsQuotes(item)) {
      text += item;
      continue;
    }
    text += '"';
    for (char c : item) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

void StringList::SetCommaText(std::string_view text) {
  auto is_blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::vector<std::string> items;
  size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  while (i < text.size()) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
      // Anything glued to the closing quote belongs to the same item.
      while (i < text.size() && text[i] != ',' && !is_blank(text[i])) item += text[i++];
    } else {
      while (i < text.size() && text[i] != ',' && !is_blank(text[i])) item += text[i++];
    }
    items.push_back(std::move(item));
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i < text.size() && text[i] == ',') {
      ++i;
      while (i < text.size() && is_blank(text[i])) ++i;
      // A trailing comma still separates: it leaves one empty item.
      if (i == text.size()) items.emplace_back();
    }
  }
  items_ = std::move(items);
  if (sorted_) Sort();
}

std::string StringList::Names(int index) const {
  const std::string& line = (*this)[index];
  size_t equals = line.find('=');
  return equals == std::string::npos ? std::string() : line.substr(0, equals);
}

std::string StringList::ValueFromIndex(int index) const {
  const std::string& line = (*this)[index];
  size_t equals = line.find('=');
  return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

int StringList::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& line = items_[static_cast<size_t>(i)];
    size_t equals = line.find('=');
    if (equals != std::string::npos &&
        CompareText(std::string_view(line).substr(0, equals), name) == 0) {
      return i;
    }
  }
  return -1;
}

std::string StringList::Values(std::string_view name) const {
  int index = IndexOfName(name);
  return index < 0 ? std::string() : ValueFromIndex(index);
}

void StringList::SetValue(std::string_view name, std::string_view value) {
  int index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  std::string line = std::string(name) + "=" + std::string(value);
  if (index < 0) {
    Add(std::move(line));
  } else if (sorted_) {
    // The name keeps its place in the order; only the value changes.
    items_[static_cast<size_t>(index)] = std::move(line);
    Sort();
  } else {
    items_[static_cast<size_t>(index)] = std::move(line);
  }
}

void StringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) Sort();
  sorted_ = sorted;
}

void StringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [](const std::string& a, const std::string& b) {
    return CompareText(a, b) < 0;
  });
}

}  // namespace zel
