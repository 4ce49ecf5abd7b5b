#include "documents/block_feed.h"

#include <algorithm>

#include "core/driver_support.h"
#include "runtime/format.h"
#include "runtime/memtable.h"
#include "zel01900/documents.h"

namespace zel::documents {

std::vector<std::string> BlockFeeds(std::string_view block) {
  std::vector<std::string> feeds;
  std::string feed;
  while (!block.empty()) {
    const size_t lf = block.find('\n');
    std::string_view line = lf == std::string_view::npos ? block : block.substr(0, lf + 1);
    block.remove_prefix(line.size());
    if (!feed.empty() && feed.size() + line.size() > kBlockFeedBytes) {
      feeds.push_back(std::move(feed));
      feed.clear();
    }
    // A line that alone exceeds the limit goes out in pieces.
    while (line.size() > kBlockFeedBytes) {
      feeds.emplace_back(line.substr(0, kBlockFeedBytes));
      line.remove_prefix(kBlockFeedBytes);
    }
    feed += line;
  }
  if (!feed.empty()) feeds.push_back(std::move(feed));
  return feeds;
}

bool FeedBlock(const std::string& esquema, std::string_view block, bool stop_on_refusal) {
  bool all_accepted = true;
  for (const std::string& feed : BlockFeeds(block)) {
    if (!Usa_CompNFis(esquema, feed)) {
      all_accepted = false;
      if (stop_on_refusal) break;
    }
  }
  return all_accepted;
}

std::string FixedAmount(double value) {
  return FloatToStrF(value, FloatFormat::kFixed, 15, 2, core::HostLocale());
}

std::string CurrencyAmount(double value) {
  return FloatToStrF(value, FloatFormat::kCurrency, 15, 2, core::HostLocale());
}

void CopyTable(MemTable& table, const MemTable& host_table) {
  if (host_table.FieldCount() == 0) {
    table.Close();
    return;
  }
  table.SetData(host_table.Data());
}

void LoadTableData(MemTable& table, const HostVariant& data) {
  if (data.IsEmpty() || data.IsNull()) {
    table.Close();
    return;
  }
  table.SetData(data.IsTable() ? data.Packet() : data.AsString());
}

double SumField(MemTable& table, std::string_view field) {
  double sum = 0;
  if (!table.Active()) return sum;
  Field& f = table.FieldByName(field);
  for (table.First(); !table.Eof(); table.Next()) sum += f.AsFloat();
  return sum;
}

}  // namespace zel::documents
