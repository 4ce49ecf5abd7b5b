// The host runtime's string list: an ordered list of Windows-1252 texts, the
// whole list as one text of lines, and name=value lines read as a small
// dictionary (the way hosts and the driver read configuration and answer
// files). Pure: loading from and saving to a file is in hostutil/files.h.
//
// Comparisons (IndexOf, IndexOfName, Values, sorting) ignore letter case as
// the runtime does: ASCII letters and the accented letters of Windows-1252
// ("\xC7" and "\xE7", "\xC9" and "\xE9", ...) compare equal to their other
// case. Order is the byte order of the case-folded texts.
//
// An index outside 0..Count()-1 raises HostError "List index out of bounds
// (N)".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel {

class StringList {
 public:
  // What Add does with a text already in a sorted list (unsorted lists
  // always accept duplicates).
  enum class Duplicates { kIgnore, kAccept, kError };

  StringList() = default;

  int Count() const { return static_cast<int>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }
  const std::string& operator[](int index) const;
  const std::vector<std::string>& Strings() const { return items_; }
  // Replaces the text at `index`. HostError "Operation not allowed on sorted
  // list" on a sorted list.
  void Set(int index, std::string text);

  // Adds `text` at the end, or at its place in a sorted list, and returns
  // its index. In a sorted list a duplicate follows the Duplicates setting:
  // kIgnore returns the existing index without adding, kError raises
  // HostError "String list does not allow duplicates".
  int Add(std::string text);
  void AddStrings(const StringList& other);
  // Inserts before `index` (0..Count()); HostError on a sorted list.
  void Insert(int index, std::string text);
  void Delete(int index);
  void Clear() { items_.clear(); }

  // Index of the first text equal to `text` (letter case ignored), -1 when
  // none.
  int IndexOf(std::string_view text) const;

  // Every text followed by CR LF ("" for an empty list).
  std::string Text() const;
  // Replaces the content with the lines of `text`, split at CR LF, LF or a
  // lone CR. A line break at the very end does not start another line; an
  // empty text gives an empty list. A sorted list sorts the new lines.
  void SetText(std::string_view text);

  // The texts separated by commas; a text that is empty or holds a blank, a
  // comma, a double quote or a control character is written in double
  // quotes with inner quotes doubled: a,"b c","say ""hi""".
  std::string CommaText() const;
  // Replaces the content with the items of a comma text: items are separated
  // by commas or blanks outside double quotes; quoted items keep their
  // blanks and commas and undouble their quotes.
  void SetCommaText(std::string_view text);

  // ---- name=value lines ----
  // The name of line `index`: the text before its first '=' ("" when the
  // line has none).
  std::string Names(int index) const;
  // The value of line `index`: the text after its first '=' ("" when the
  // line has none).
  std::string ValueFromIndex(int index) const;
  // Index of the first line whose name equals `name` (letter case ignored),
  // -1 when none.
  int IndexOfName(std::string_view name) const;
  // The value of the first line named `name`; "" when there is none.
  std::string Values(std::string_view name) const;
  // Sets the value of the first line named `name`, adding "name=value" when
  // there is none. An empty value removes the line.
  void SetValue(std::string_view name, std::string_view value);

  // ---- order ----
  bool Sorted() const { return sorted_; }
  // Switching on sorts the list and keeps it sorted from then on.
  void SetSorted(bool sorted);
  Duplicates duplicates() const { return duplicates_; }
  void set_duplicates(Duplicates duplicates) { duplicates_ = duplicates; }
  // Sorts once (stable; letter case ignored).
  void Sort();

  // Compares two texts as the list does: negative, zero or positive.
  static int CompareText(std::string_view a, std::string_view b);

 private:
  void CheckIndex(int index) const;
  // In a sorted list: the first index whose text is not less than `text`.
  int LowerBound(std::string_view text) const;

  std::vector<std::string> items_;
  bool sorted_ = false;
  Duplicates duplicates_ = Duplicates::kIgnore;
};

}  // namespace zel
