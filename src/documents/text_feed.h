// How a document's text is cut into the pieces fed to the printer with
// Usa_CompNFis: whole lines (each up to and including its line feed), so a
// printed line is never split, and never more bytes in one call than the
// printer takes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zel::documents {

// The most bytes the printer takes in one feed call
// (IBM_FI_UsaComprovanteNaoFiscalVinculado, IBM_FI_RelatorioGerencial); a
// longer text is refused whole.
inline constexpr size_t kMaxFeedBytes = 8192;

// A report chunk is sent as soon as it holds this many bytes or more.
inline constexpr size_t kChunkBytes = 500;

// Card slips go out this many lines per feed call.
inline constexpr size_t kSlipLinesPerFeed = 4;

// The chunks of a report text: whole lines are added to a chunk until it
// holds kChunkBytes or more, then it goes out; the rest goes out at the end.
// A last line without a line feed ends the last chunk as it stands (no line
// feed added). An empty text gives no chunk. A line that would carry the
// chunk past `limit` bytes starts a chunk of its own; a single line longer
// than `limit` goes out in pieces of at most `limit` bytes, cut neither
// between CR and LF nor inside a UTF-8 sequence.
std::vector<std::string> ReportChunks(std::string_view text, size_t limit = kMaxFeedBytes);

// The feeds of one card slip: up to kSlipLinesPerFeed whole lines each. A
// last line without a line feed is printed as a line of its own: it gets the
// line feed it lacks, so that whatever is printed next starts a new line.
// Pieces are kept within `limit` as in ReportChunks.
std::vector<std::string> SlipChunks(std::string_view text, size_t limit = kMaxFeedBytes);

// Feeds `text` into the open report or linked receipt chunk by chunk
// (ReportChunks) with Usa_CompNFis. A refused chunk ends the feeding (what
// follows it would print with a hole before it): false then. The caller
// still closes the document.
bool FeedReportText(const std::string& esquema, std::string_view text);

}  // namespace zel::documents
