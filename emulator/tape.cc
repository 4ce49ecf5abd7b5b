#include "emulator/tape.h"

#include "emulator/amounts.h"
#include "runtime/win1252.h"

namespace zel::emu {

std::string TapeDateTime(TDateTime t) {
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(t, y, mo, d, h, mi, s, ms);
  return Digits(d, 2) + "/" + Digits(mo, 2) + "/" + Digits(y, 4) + " " + Digits(h, 2) + ":" +
         Digits(mi, 2) + ":" + Digits(s, 2);
}

void TapeDocument::Header(TDateTime now, std::string_view counters) {
  Rule('=');
  for (const std::string& line : config_.header) Centered(line);
  if (!config_.cnpj.empty()) Line("CNPJ:" + config_.cnpj);
  if (!config_.ie.empty()) Line("IE:" + config_.ie);
  if (!config_.im.empty()) Line("IM:" + config_.im);
  Rule();
  LeftRight(TapeDateTime(now), counters);
}

void TapeDocument::Title(std::string_view title) {
  Rule();
  Centered(title);
  Rule();
}

void TapeDocument::Text(std::string_view text) {
  size_t pos = 0;
  while (true) {
    size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string clean;
    for (char c : line) clean += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
    if (clean.empty()) lines_.emplace_back();
    for (size_t i = 0; i < clean.size(); i += kTapeColumns) {
      lines_.push_back(clean.substr(i, kTapeColumns));
    }
    if (end == std::string_view::npos) break;
    pos = end + 1;
    if (pos == text.size()) break;  // a final line feed ends the last line
  }
}

void TapeDocument::LeftRight(std::string_view left, std::string_view right) {
  if (left.size() + right.size() + 1 > static_cast<size_t>(kTapeColumns)) {
    Text(left);
    std::string r(right.substr(0, kTapeColumns));
    lines_.push_back(std::string(kTapeColumns - r.size(), ' ') + r);
    return;
  }
  lines_.push_back(std::string(left) + std::string(kTapeColumns - left.size() - right.size(), ' ') +
                   std::string(right));
}

void TapeDocument::Centered(std::string_view text) {
  std::string t = Trim(text).substr(0, kTapeColumns);
  size_t pad = (kTapeColumns - t.size()) / 2;
  lines_.push_back(std::string(pad, ' ') + t);
}

void TapeDocument::Rule(char c) { lines_.push_back(std::string(kTapeColumns, c)); }

void TapeDocument::Trailer(TDateTime now, int coo) {
  Rule();
  LeftRight(config_.make + " " + config_.model, config_.type);
  LeftRight("ECF:" + Digits(config_.ecf_number, 3), "COO:" + Digits(coo, 6));
  LeftRight("FAB:" + config_.serial, "VER:" + config_.firmware);
  LeftRight(TapeDateTime(now), "BR");
  Rule('=');
}

std::string TapeDocument::Utf8(bool end_of_document) const {
  std::string out;
  size_t size = 1;
  for (const std::string& line : lines_) size += line.size() + 1;
  out.reserve(size);
  for (const std::string& line : lines_) {
    std::string_view t = line;
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    AppendWin1252AsUtf8(out, t);
    out += '\n';
  }
  if (end_of_document) out += '\n';
  return out;
}

}  // namespace zel::emu
