// What the till documents share: amounts as they are printed, the feeding of
// a document's blocks of lines, and the loading of the host's tables into the
// data module.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/variant.h"

namespace zel {
class MemTable;
}  // namespace zel

namespace zel::documents {

// The most bytes of a document block handed to the printer in one feed.
inline constexpr size_t kBlockFeedBytes = 620;

// The feeds of one block: whole lines (each with its line feed) gathered
// while they fit in kBlockFeedBytes; a single line longer than that goes out
// in pieces of kBlockFeedBytes. Nothing of the block is dropped. An empty
// block gives no feed.
std::vector<std::string> BlockFeeds(std::string_view block);

// Feeds one block into the open report or linked receipt with Usa_CompNFis,
// feed by feed (BlockFeeds). With `stop_on_refusal` the first refused feed
// ends the block; otherwise every feed goes out. True when every feed sent
// was accepted (an empty block counts as accepted).
bool FeedBlock(const std::string& esquema, std::string_view block, bool stop_on_refusal = false);

// An amount in fixed notation with two decimals (precision 15, no thousands
// separator, the host's decimal separator, "-" for a negative amount).
std::string FixedAmount(double value);

// An amount in the host's currency format with two decimals ("R$ 1.234,50").
std::string CurrencyAmount(double value);

// Replaces `table` with the content of the host's table: its fields and
// rows, opened. A host table without fields leaves `table` closed and
// empty.
void CopyTable(MemTable& table, const MemTable& host_table);

// Replaces `table` with table data handed by the host as a variant (a data
// packet, or its text). An empty or null variant leaves `table` closed and
// empty.
void LoadTableData(MemTable& table, const HostVariant& data);

// The sum of the numeric field `field` over every row of `table` (0 for a
// closed table); the cursor ends on the last row.
double SumField(MemTable& table, std::string_view field);

}  // namespace zel::documents
