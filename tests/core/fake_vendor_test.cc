// The vendor fakes that every driver test relies on.
#include "support/fake_vendor.h"

#include <gtest/gtest.h>

#include <string>

#include "zel01900/entry_points.h"
#include "zel01900/testing.h"

namespace zel::test {
namespace {

TEST(FakeVendorTest, RecordsArgumentsAndWritesBuffersWithinTheirWidth) {
  ZelResetModuleState();
  {
    FakeVendor fake;
    fake.Answer("IBM_FI_DataHoraImpressora", 1, "10122699", "1000");
    fake.AnswerOnce("IBM_FI_AbreCupomMFD", -2);
    std::string date(6, ' ');
    std::string time(6, ' ');
    EXPECT_EQ(IBM_FI_DataHoraImpressora(date.data(), time.data()), 1);
    EXPECT_EQ(date, "101226");  // cut to the buffer
    EXPECT_EQ(time, "1000  ");  // the rest keeps its blanks
    EXPECT_EQ(IBM_FI_AbreCupomMFD("123", nullptr, ""), -2);
    EXPECT_EQ(IBM_FI_AbreCupomMFD("123", nullptr, ""), 1);  // the one-time answer is used up
    int32_t ack = 0, st1 = 0, st2 = 0;
    fake.AnswerStatus(21, 2, 64);
    EXPECT_EQ(IBM_FI_RetornoImpressora(&ack, &st1, &st2), 1);
    EXPECT_EQ(ack, 21);
    EXPECT_EQ(st1, 2);
    EXPECT_EQ(st2, 64);
    EXPECT_EQ(IBM_FI_AcionaGuilhotinaMFD(1), 1);
    EXPECT_EQ(fake.CallTexts(),
              (std::vector<std::string>{
                  "IBM_FI_DataHoraImpressora(      ,       )", "IBM_FI_AbreCupomMFD(123, null, )",
                  "IBM_FI_AbreCupomMFD(123, null, )", "IBM_FI_RetornoImpressora(0, 0, 0)",
                  "IBM_FI_AcionaGuilhotinaMFD(1)"}));
    EXPECT_TRUE(fake.Calls()[1].IsNull(1));
    EXPECT_FALSE(fake.Calls()[1].IsNull(2));
    EXPECT_THROW(fake.Answer("IBM_FI_NaoExiste", 1), std::invalid_argument);
  }
  EXPECT_EQ(IBM_FI_DataHoraImpressora, nullptr);  // restored on destruction
}

TEST(FakeVendorTest, HookSeesTheCallBeforeTheAnswer) {
  ZelResetModuleState();
  FakeVendor fake;
  fake.OnCall("IBM_FI_CancelaCupom", [&fake](const FakeCall&) {
    fake.AnswerStatus(6, 0, 0);  // cancelling closes the receipt
  });
  fake.AnswerStatus(6, 2, 0);
  IBM_FI_CancelaCupom();
  int32_t ack = 0, st1 = 0, st2 = 0;
  IBM_FI_RetornoImpressora(&ack, &st1, &st2);
  EXPECT_EQ(st1, 0);
}

}  // namespace
}  // namespace zel::test
