#include "emulator/mfd.h"

#include <algorithm>

#include "emulator/amounts.h"
#include "emulator/persistence.h"

namespace zel::emu {
namespace {

void PutU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t GetU32(std::string_view bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

bool AllDigits(std::string_view text) {
  return text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string Hex8(uint32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) hex[i] = kDigits[value & 0xF];
  return hex;
}

constexpr std::string_view kDumpMagic = "IBMFI32-DOWNLOAD-MFD 1\r\n";
constexpr std::string_view kMfDumpMagic = "IBMFI32-DOWNLOAD-MF 1\r\n";

// Reads the next "NAME=value" CR LF line of a download.
bool TakeLine(std::string_view bytes, size_t* at, std::string_view name, std::string* value) {
  size_t end = bytes.find("\r\n", *at);
  if (end == std::string_view::npos) return false;
  std::string_view line = bytes.substr(*at, end - *at);
  if (line.substr(0, name.size()) != name || line.size() <= name.size() ||
      line[name.size()] != '=') {
    return false;
  }
  *value = std::string(line.substr(name.size() + 1));
  *at = end + 2;
  return true;
}

std::string DateTimeText(int date, int time) {
  return Digits(date % 100, 2) + "/" + Digits(date / 100 % 100, 2) + "/" + Digits(date / 10000, 4) +
         " " + Digits(time / 10000, 2) + ":" + Digits(time / 100 % 100, 2) + ":" +
         Digits(time % 100, 2);
}

}  // namespace

std::string FrameMfdRecord(const MfdRecord& record) {
  std::string payload = Digits(record.coo, 6) + Digits(record.date, 8) + Digits(record.time, 6) +
                        Digits(static_cast<int64_t>(record.text.size()), 8) + record.text +
                        record.data;
  std::string frame(kMfdRecordMark);
  PutU32(frame, static_cast<uint32_t>(payload.size()));
  PutU32(frame, MemoryChecksum(payload));
  return frame + payload;
}

MfdScan ScanMfd(std::string_view bytes, int64_t base,
                const std::function<void(const MfdRecord&)>& on_record) {
  MfdScan scan;
  size_t at = 0;
  int number = 0;
  while (at < bytes.size()) {
    ++number;
    auto damaged = [&](const std::string& what) {
      scan.damaged = true;
      scan.why = "record " + std::to_string(number) + " at byte " +
                 std::to_string(base + static_cast<int64_t>(at)) + ": " + what;
      return scan;
    };
    size_t left = bytes.size() - at;
    if (left < kMfdRecordHeader) {
      // A header cut short can only be a torn write when what is there
      // starts like a record.
      if (bytes.substr(at, std::min(left, kMfdRecordMark.size())) !=
          kMfdRecordMark.substr(0, std::min(left, kMfdRecordMark.size()))) {
        return damaged("no record mark");
      }
      scan.torn_tail = true;
      return scan;
    }
    if (bytes.substr(at, kMfdRecordMark.size()) != kMfdRecordMark) {
      return damaged("no record mark");
    }
    uint32_t length = GetU32(bytes, at + 4);
    uint32_t checksum = GetU32(bytes, at + 8);
    if (length > left - kMfdRecordHeader) {
      scan.torn_tail = true;
      return scan;
    }
    std::string_view payload = bytes.substr(at + kMfdRecordHeader, length);
    if (MemoryChecksum(payload) != checksum) return damaged("checksum does not match");
    if (payload.size() < 28 || !AllDigits(payload.substr(0, 28)) ||
        std::stoul(std::string(payload.substr(20, 8))) > payload.size() - 28) {
      return damaged("malformed payload");
    }
    if (on_record) {
      MfdRecord record;
      record.coo = std::stoi(std::string(payload.substr(0, 6)));
      record.date = std::stoi(std::string(payload.substr(6, 8)));
      record.time = std::stoi(std::string(payload.substr(14, 6)));
      size_t text_size = std::stoul(std::string(payload.substr(20, 8)));
      record.text = std::string(payload.substr(28, text_size));
      record.data = std::string(payload.substr(28 + text_size));
      on_record(record);
    }
    at += kMfdRecordHeader + length;
    scan.good_bytes = at;
  }
  return scan;
}

namespace {

std::string MakeDump(std::string_view magic, const MfdDump& dump) {
  std::string out(magic);
  out += "SERIE=" + dump.serial + "\r\n";
  out += "FAIXA=" + dump.range_type + ";" + dump.start + ";" + dump.end + "\r\n";
  out += "REGISTROS=" + std::to_string(dump.records.size()) + "\r\n";
  for (const MfdRecord& record : dump.records) out += FrameMfdRecord(record);
  out += "CRC32=" + Hex8(MemoryChecksum(out)) + "\r\n";
  return out;
}

bool ParseDump(std::string_view magic, std::string_view bytes, MfdDump* dump, std::string* why) {
  auto fail = [&](const std::string& what) {
    *why = what;
    return false;
  };
  if (bytes.substr(0, magic.size()) != magic) {
    return fail(magic == kDumpMagic ? "not an MFD download" : "not a fiscal-memory download");
  }
  constexpr size_t kTrailer = 6 + 8 + 2;
  if (bytes.size() < magic.size() + kTrailer ||
      bytes.substr(bytes.size() - kTrailer, 6) != "CRC32=" ||
      bytes.substr(bytes.size() - 2) != "\r\n") {
    return fail("the download is cut short");
  }
  std::string_view body = bytes.substr(0, bytes.size() - kTrailer);
  if (Hex8(MemoryChecksum(body)) != bytes.substr(bytes.size() - kTrailer + 6, 8)) {
    return fail("the download's checksum does not match");
  }
  MfdDump result;
  size_t at = magic.size();
  std::string range;
  std::string count;
  if (!TakeLine(body, &at, "SERIE", &result.serial) || !TakeLine(body, &at, "FAIXA", &range) ||
      !TakeLine(body, &at, "REGISTROS", &count) || !AllDigits(count) || count.empty()) {
    return fail("malformed download header");
  }
  size_t first = range.find(';');
  size_t second = range.find(';', first == std::string::npos ? first : first + 1);
  if (second == std::string::npos) return fail("malformed download range");
  result.range_type = range.substr(0, first);
  result.start = range.substr(first + 1, second - first - 1);
  result.end = range.substr(second + 1);
  MfdScan scan = ScanMfd(body.substr(at), 0,
                         [&](const MfdRecord& record) { result.records.push_back(record); });
  if (scan.damaged || scan.torn_tail) return fail("damaged download: " + scan.why);
  if (count != std::to_string(result.records.size())) {
    return fail("the download holds another number of records than its header says");
  }
  *dump = std::move(result);
  return true;
}

}  // namespace

std::string MakeMfdDump(const MfdDump& dump) { return MakeDump(kDumpMagic, dump); }
bool ParseMfdDump(std::string_view bytes, MfdDump* dump, std::string* why) {
  return ParseDump(kDumpMagic, bytes, dump, why);
}
std::string MakeMfDump(const MfdDump& dump) { return MakeDump(kMfDumpMagic, dump); }
bool ParseMfDump(std::string_view bytes, MfdDump* dump, std::string* why) {
  return ParseDump(kMfDumpMagic, bytes, dump, why);
}

std::string MfdMirrorText(const MfdDump& dump) {
  std::string out = "ESPELHO DA MEM\xD3RIA DE FITA-DETALHE\r\n";
  out += "N\xDAMERO DE S\xC9RIE: " + dump.serial + "\r\n";
  out += std::string(dump.range_type == "1" ? "PER\xCDODO: " : "COO: ") + dump.start + " A " +
         dump.end + "\r\n";
  for (const MfdRecord& record : dump.records) {
    out += std::string(48, '=') + "\r\n";
    out += "COO " + Digits(record.coo, 6) + " - " + DateTimeText(record.date, record.time) + "\r\n";
    out += record.text;
  }
  out += std::string(48, '=') + "\r\n";
  out += "REGISTROS: " + std::to_string(dump.records.size()) + "\r\n";
  return out;
}

}  // namespace zel::emu
