// Loading and saving host-runtime objects from and to files, through the
// platform layer. Paths are Windows-1252 texts and may use "\" as separator.
#pragma once

#include <string>

#include "runtime/memtable.h"
#include "runtime/string_list.h"

namespace zel {

// Replaces the list's content with the lines of the file (split as
// StringList::SetText does). A file that starts with a UTF-8 byte-order mark
// is read as UTF-8 and converted to Windows-1252; any other file is taken as
// Windows-1252 bytes. FileIOError "Cannot open file \"PATH\". REASON" when
// the file cannot be read; the list is then unchanged.
void LoadStringListFromFile(StringList& list, const std::string& path);

// Writes the list's Text() (every line ended by CR LF) to the file,
// replacing it atomically. FileIOError "Cannot create file \"PATH\". REASON"
// when it cannot be written; an existing file is then unchanged.
void SaveStringListToFile(const StringList& list, const std::string& path);

// Loads a data packet file (binary or XML, told apart by content) into the
// table, as MemTable::LoadFromString does: definitions and rows are replaced
// and the table opens. FileIOError "Cannot open file \"PATH\". REASON" when
// the file cannot be read, DatasetError when it is not a valid packet; the
// table is then unchanged.
void LoadTableFromFile(MemTable& table, const std::string& path);

// Writes the table's data packet, replacing the file atomically: XML when
// the name ends in ".xml" (any case), binary otherwise; or in the given
// format. FileIOError "Cannot create file \"PATH\". REASON" when it cannot
// be written; an existing file is then unchanged.
void SaveTableToFile(const MemTable& table, const std::string& path);
void SaveTableToFile(const MemTable& table, const std::string& path, MemTable::PacketFormat format);

}  // namespace zel
