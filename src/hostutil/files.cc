#include "hostutil/files.h"

#include "platform/platform.h"
#include "runtime/host_error.h"
#include "runtime/win1252.h"

namespace zel {

namespace {

// The reason the runtime appends to its file messages, from the platform's
// Windows error code.
std::string FileErrorReason(int code) {
  switch (code) {
    case platform::kErrorFileNotFound:
    case platform::kErrorPathNotFound:
      return "No such file or directory";
    case platform::kErrorAccessDenied:
      return "Permission denied";
    case platform::kErrorDiskFull:
      return "No space left on device";
    case platform::kErrorWriteProtect:
      return "Read-only file system";
    case platform::kErrorFilenameTooLong:
      return "File name too long";
    default:
      return "Error " + std::to_string(code);
  }
}

}  // namespace

void LoadStringListFromFile(StringList& list, const std::string& path) {
  platform::Platform& os = platform::Current();
  std::string content;
  if (!os.ReadWholeFile(path, &content)) {
    throw FileIOError("Cannot open file \"" + path + "\". " + FileErrorReason(os.LastError()));
  }
  static constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  if (std::string_view(content).substr(0, kUtf8Mark.size()) == kUtf8Mark) {
    content = Utf8ToWin1252(std::string_view(content).substr(kUtf8Mark.size()));
  }
  list.SetText(content);
}

void SaveStringListToFile(const StringList& list, const std::string& path) {
  platform::Platform& os = platform::Current();
  if (!os.WriteFileAtomically(path, list.Text())) {
    throw FileIOError("Cannot create file \"" + path + "\". " + FileErrorReason(os.LastError()));
  }
}

void LoadTableFromFile(MemTable& table, const std::string& path) {
  platform::Platform& os = platform::Current();
  std::string content;
  if (!os.ReadWholeFile(path, &content)) {
    throw FileIOError("Cannot open file \"" + path + "\". " + FileErrorReason(os.LastError()));
  }
  table.LoadFromString(content);
}

void SaveTableToFile(const MemTable& table, const std::string& path) {
  const bool xml = path.size() >= 4 && (path[path.size() - 4] == '.') &&
                   (path[path.size() - 3] | 0x20) == 'x' && (path[path.size() - 2] | 0x20) == 'm' &&
                   (path[path.size() - 1] | 0x20) == 'l';
  SaveTableToFile(table, path,
                  xml ? MemTable::PacketFormat::kXml : MemTable::PacketFormat::kBinary);
}

void SaveTableToFile(const MemTable& table, const std::string& path,
                     MemTable::PacketFormat format) {
  const std::string packet = table.SaveToString(format);
  platform::Platform& os = platform::Current();
  if (!os.WriteFileAtomically(path, packet)) {
    throw FileIOError("Cannot create file \"" + path + "\". " + FileErrorReason(os.LastError()));
  }
}

}  // namespace zel
