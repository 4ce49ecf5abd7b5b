#include "documents/text_feed.h"

#include "zel01900/documents.h"

namespace zel::documents {
namespace {

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the UTF-8 sequence a lead byte opens; 0 for any other byte.
size_t Utf8SequenceLength(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}

// Where to end a piece of `text` that may hold at most `limit` bytes
// (0 < limit < text.size()): at `limit`, moved back so that a CR stays with
// its LF and a UTF-8 sequence stays whole. Windows-1252 text that merely
// looks like such a sequence loses nothing by the move, it only ends a few
// bytes earlier.
size_t PieceEnd(std::string_view text, size_t limit) {
  size_t end = limit;
  if (text[end] == '\n' && text[end - 1] == '\r' && end > 1) return end - 1;
  if (IsUtf8Continuation(text[end])) {
    size_t lead = end;
    while (lead > 0 && end - lead < 3 && IsUtf8Continuation(text[lead])) --lead;
    if (lead > 0 && lead + Utf8SequenceLength(text[lead]) > end) end = lead;
  }
  return end;
}

// Appends `piece` to `out`, in pieces of at most `limit` bytes when longer.
void Emit(std::vector<std::string>& out, std::string_view piece, size_t limit) {
  if (limit == 0) limit = 1;
  while (piece.size() > limit) {
    const size_t end = PieceEnd(piece, limit);
    out.emplace_back(piece.substr(0, end));
    piece.remove_prefix(end);
  }
  if (!piece.empty()) out.emplace_back(piece);
}

// The first line of `text`: up to and including its first LF, or all of it.
std::string_view FirstLine(std::string_view text) {
  const size_t lf = text.find('\n');
  return lf == std::string_view::npos ? text : text.substr(0, lf + 1);
}

}  // namespace

std::vector<std::string> ReportChunks(std::string_view text, size_t limit) {
  std::vector<std::string> chunks;
  std::string chunk;
  while (!text.empty()) {
    const std::string_view line = FirstLine(text);
    text.remove_prefix(line.size());
    if (!chunk.empty() && chunk.size() + line.size() > limit) {
      Emit(chunks, chunk, limit);
      chunk.clear();
    }
    chunk += line;
    if (chunk.size() >= kChunkBytes) {
      Emit(chunks, chunk, limit);
      chunk.clear();
    }
  }
  Emit(chunks, chunk, limit);
  return chunks;
}

std::vector<std::string> SlipChunks(std::string_view text, size_t limit) {
  std::vector<std::string> chunks;
  std::string chunk;
  size_t lines = 0;
  while (!text.empty()) {
    const std::string_view line = FirstLine(text);
    text.remove_prefix(line.size());
    const bool ended = line.back() == '\n';
    const size_t added = line.size() + (ended ? 0 : 1);
    if (!chunk.empty() && chunk.size() + added > limit) {
      Emit(chunks, chunk, limit);
      chunk.clear();
      lines = 0;
    }
    chunk += line;
    if (!ended) chunk += '\n';
    if (++lines == kSlipLinesPerFeed) {
      Emit(chunks, chunk, limit);
      chunk.clear();
      lines = 0;
    }
  }
  Emit(chunks, chunk, limit);
  return chunks;
}

bool FeedReportText(const std::string& esquema, std::string_view text) {
  for (const std::string& chunk : ReportChunks(text)) {
    if (!Usa_CompNFis(esquema, chunk)) return false;
  }
  return true;
}

}  // namespace zel::documents
