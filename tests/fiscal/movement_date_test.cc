// DataMoviFiscal: the printer's movement date read with the computer's
// century, and today's date for a blank or impossible answer.
#include <string>
#include <vector>

#include "core/core_fixture.h"
#include "runtime/datetime.h"

namespace zel::test {
namespace {

using MovementDateTest = CoreTest;

TEST_F(MovementDateTest, AnswerReadWithTheCenturyOfTheCurrentYear) {
  struct Case {
    std::string answer;
    int year, month, day;
    TDateTime now;
  };
  const std::vector<Case> cases = {
      {"091226", 2026, 12, 9, EncodeDateTime(2026, 12, 10, 10, 0, 0, 0)},
      {"311299", 2099, 12, 31, EncodeDateTime(2010, 5, 1, 8, 0, 0, 0)},
      {"010100", 2000, 1, 1, EncodeDateTime(2026, 12, 10, 10, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    sandbox_.SetNow(c.now);
    fake_.Answer("IBM_FI_DataMovimento", 1, c.answer);
    EXPECT_EQ(DataMoviFiscal(""), EncodeDate(c.year, c.month, c.day)) << c.answer;
  }
  EXPECT_EQ(fake_.CallsTo("IBM_FI_DataMovimento")[0].args[0], "      ");
}

TEST_F(MovementDateTest, BlankOrImpossibleAnswersGiveToday) {
  sandbox_.SetNow(EncodeDateTime(2026, 12, 10, 23, 59, 0, 0));
  for (const std::string answer : {"      ", "310226", "ab1226", "1012  ", "001226"}) {
    fake_.Answer("IBM_FI_DataMovimento", 1, answer);
    EXPECT_EQ(DataMoviFiscal(""), EncodeDate(2026, 12, 10)) << "\"" << answer << "\"";
  }
}

TEST_F(MovementDateTest, FailedQueryIsLoggedWithoutDialogAndKeepsInRetorno) {
  inRetorno = 7;
  fake_.Answer("IBM_FI_DataMovimento", -1);
  EXPECT_EQ(DataMoviFiscal(""), EncodeDate(2026, 12, 10));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(inRetorno, 7);
  EXPECT_EQ(LogEntries()[0], "IBM_FI_DataMovimento\r\nRetorno da Impressora :       ");
}

TEST_F(MovementDateTest, NeverRaisesEvenWhenTheLogCannotBeWritten) {
  fake_.Answer("IBM_FI_DataMovimento", 1, "091226");
  sandbox_.FailNextWrite(28);
  EXPECT_EQ(DataMoviFiscal(""), EncodeDate(2026, 12, 10));
}

}  // namespace
}  // namespace zel::test
