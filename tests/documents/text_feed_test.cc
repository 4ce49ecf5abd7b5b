// How document texts are cut into feed calls: the 500-byte report chunks of
// whole lines, the four-line card-slip feeds, and the printer's limit for
// one call (a line is never split between CR and LF or inside a UTF-8
// sequence).
#include "documents/text_feed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zel::test {
namespace {

using documents::ReportChunks;
using documents::SlipChunks;
using Strings = std::vector<std::string>;

// A line of `size` bytes, its LF included.
std::string Line(size_t size, char fill = 'x') { return std::string(size - 1, fill) + "\n"; }

std::vector<size_t> Sizes(const Strings& chunks) {
  std::vector<size_t> sizes;
  for (const std::string& c : chunks) sizes.push_back(c.size());
  return sizes;
}

std::string Joined(const Strings& chunks) {
  std::string all;
  for (const std::string& c : chunks) all += c;
  return all;
}

struct ChunkCase {
  const char* name;
  std::string text;
  std::vector<size_t> sizes;
};

TEST(ReportChunksTest, WholeLinesUntilFiveHundredBytes) {
  const std::vector<ChunkCase> cases = {
      {"three lines of 200 in one chunk", Line(200) + Line(200) + Line(200), {600}},
      {"a fourth line in a second chunk",
       Line(200) + Line(200) + Line(200) + Line(200),
       {600, 200}},
      {"499 then 10 in one chunk", Line(499) + Line(10), {509}},
      {"500 ends a chunk", Line(500) + Line(10), {500, 10}},
      {"no line feed at all goes whole", std::string(3000, 'y'), {3000}},
      {"last line without line feed", Line(100) + "tail", {104}},
      {"1200 in lines of 100",
       [] {
         std::string t;
         for (int i = 0; i < 12; ++i) t += Line(100);
         return t;
       }(),
       {500, 500, 200}},
      {"empty text", "", {}},
  };
  for (const ChunkCase& c : cases) {
    const Strings chunks = ReportChunks(c.text);
    EXPECT_EQ(Sizes(chunks), c.sizes) << c.name;
    EXPECT_EQ(Joined(chunks), c.text) << c.name;
    for (size_t i = 0; i + 1 < chunks.size(); ++i) {
      EXPECT_EQ(chunks[i].back(), '\n') << c.name << ": chunk " << i << " ends inside a line";
    }
  }
}

TEST(ReportChunksTest, LastLineKeepsNoAddedLineFeed) {
  EXPECT_EQ(ReportChunks("a\nb"), (Strings{"a\nb"}));
}

TEST(ReportChunksTest, NeverMoreThanThePrinterTakesInOneCall) {
  const size_t limit = documents::kMaxFeedBytes;
  // 400 bytes pending, then a line that would carry the chunk past the
  // limit: the pending lines go first, the long line on its own.
  const std::string text = Line(400) + Line(limit - 100) + Line(30);
  const Strings chunks = ReportChunks(text);
  EXPECT_EQ(Sizes(chunks), (std::vector<size_t>{400, limit - 100, 30}));

  // A single line longer than the limit goes in pieces, nothing lost.
  const std::string huge = Line(2 * limit + 10);
  const Strings pieces = ReportChunks(huge);
  EXPECT_EQ(Sizes(pieces), (std::vector<size_t>{limit, limit, 10}));
  EXPECT_EQ(Joined(pieces), huge);
}

TEST(ReportChunksTest, PiecesOfALongLineKeepCrLfAndUtf8SequencesWhole) {
  struct Case {
    const char* name;
    std::string text;
    size_t limit;
    Strings chunks;
  };
  const std::vector<Case> cases = {
      {"CR LF across the cut", "abcd\r\n", 5, {"abcd", "\r\n"}},
      {"two-byte sequence across the cut", "abc\xC3\xA9z\n", 4, {"abc", "\xC3\xA9z\n"}},
      {"three-byte sequence across the cut", "ab\xE2\x82\xAC\n", 3, {"ab", "\xE2\x82\xAC", "\n"}},
      {"Windows-1252 text cut where it falls", "ab\xE9\xE9\xE9\n", 3, {"ab\xE9", "\xE9\xE9\n"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReportChunks(c.text, c.limit), c.chunks) << c.name;
  }
}

TEST(SlipChunksTest, FourLinesPerFeed) {
  std::string nine;
  for (int i = 1; i <= 9; ++i) nine += "line " + std::to_string(i) + "\n";
  const Strings chunks = SlipChunks(nine);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0], "line 1\nline 2\nline 3\nline 4\n");
  EXPECT_EQ(chunks[1], "line 5\nline 6\nline 7\nline 8\n");
  EXPECT_EQ(chunks[2], "line 9\n");
  EXPECT_TRUE(SlipChunks("").empty());
}

TEST(SlipChunksTest, FragmentWithoutLineFeedIsALineOfItsOwn) {
  EXPECT_EQ(SlipChunks("a\nb\nc\nd\ntail"), (Strings{"a\nb\nc\nd\n", "tail\n"}));
  EXPECT_EQ(SlipChunks("only"), (Strings{"only\n"}));
  EXPECT_EQ(SlipChunks("a\nb"), (Strings{"a\nb\n"}));
}

TEST(SlipChunksTest, LongLinesStayWithinTheLimit) {
  const Strings chunks = SlipChunks("aaaa\nbbbb\ncccc\n", 10);
  EXPECT_EQ(chunks, (Strings{"aaaa\nbbbb\n", "cccc\n"}));
}

}  // namespace
}  // namespace zel::test
