// The debug log: one file per month beside the host's executable, one entry
// per write, opened and closed each time so that nothing is lost when the
// host process dies.
#include <string>

#include "platform/platform.h"
#include "runtime/datetime.h"
#include "runtime/format.h"
#include "runtime/format_settings.h"
#include "runtime/host_error.h"
#include "zel01900/core.h"

void ImpFisDebug(const std::string& mensagem) {
  zel::platform::Platform& platform = zel::platform::Current();
  const zel::FormatSettings& fs = zel::BrazilianFormatSettings();
  const zel::TDateTime now = zel::Now();
  const std::string path = zel::platform::JoinPath(
      platform.ExecutableDirectory(), "impdebug" + zel::FormatDateTime("mmyy", now, fs) + ".txt");
  // Short date and long time, the time left out at exactly midnight, as the
  // host runtime writes a date-time.
  const std::string stamp = zel::DateTimeToStr(now, fs);
  if (!platform.AppendToFile(path, stamp + " - " + mensagem + "\r\n")) {
    throw zel::FileIOError("Cannot write file \"" + path + "\". " + platform.LastErrorText());
  }
}
