#include <string>

#include "core/driver_support.h"
#include "core_fixture.h"
#include "runtime/datetime.h"
#include "runtime/host_error.h"

namespace zel::test {
namespace {

class ImpFisDebugTest : public CoreTest {};

TEST_F(ImpFisDebugTest, FirstEntryCreatesTheMonthFileLaterOnesAppend) {
  EXPECT_FALSE(sandbox_.FileExists(LogPath()));
  ImpFisDebug("primeira");
  sandbox_.SetNow(EncodeDateTime(2026, 12, 10, 0, 0, 1, 0));
  ImpFisDebug("um segundo depois da meia-noite");
  sandbox_.SetNow(EncodeDateTime(2026, 12, 31, 23, 59, 58, 999));
  ImpFisDebug("IBM_FI_NumeroCupom\r\nRetorno da Impressora : 000123");
  EXPECT_EQ(LogText(),
            "10/12/2026 10:00:00 - primeira\r\n"
            "10/12/2026 00:00:01 - um segundo depois da meia-noite\r\n"
            "31/12/2026 23:59:58 - IBM_FI_NumeroCupom\r\nRetorno da Impressora : 000123\r\n");
}

TEST_F(ImpFisDebugTest, NewMonthStartsANewFile) {
  ImpFisDebug("dezembro");
  sandbox_.SetNow(EncodeDateTime(2027, 1, 2, 0, 0, 0, 0));
  ImpFisDebug("janeiro \xE9");
  std::string january;
  ASSERT_TRUE(sandbox_.ReadWholeFile(
      platform::JoinPath(sandbox_.ExecutableDirectory(), "impdebug0127.txt"), &january));
  // At exactly midnight the stamp carries the date alone.
  EXPECT_EQ(january, "02/01/2027 - janeiro \xE9\r\n");
  EXPECT_EQ(LogText(), "10/12/2026 10:00:00 - dezembro\r\n");
}

TEST_F(ImpFisDebugTest, WriteFailureIsToldOnceAndNeverRaises) {
  ImpFisDebug("antes");
  sandbox_.FailNextWrite(platform::kErrorDiskFull);
  EXPECT_NO_THROW(ImpFisDebug("perdida"));
  sandbox_.FailNextWrite(platform::kErrorDiskFull);
  EXPECT_NO_THROW(ImpFisDebug("perdida de novo"));
  ImpFisDebug("depois");
  EXPECT_EQ(LogEntries(), (std::vector<std::string>{"antes", "depois"}));
  ASSERT_EQ(host_.dialogs().size(), 1u);
  EXPECT_EQ(host_.dialogs()[0].text.rfind(
                "N\xE3o foi poss\xEDvel gravar o log da impressora fiscal (" + LogPath() + ")", 0),
            0u);
  // A new start of the driver tells it again.
  zel::core::ResetDebugLogNotice();
  sandbox_.FailNextWrite(platform::kErrorDiskFull);
  ImpFisDebug("terceira perdida");
  EXPECT_EQ(host_.dialogs().size(), 2u);
}

}  // namespace
}  // namespace zel::test
