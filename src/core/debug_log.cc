// The debug log: one file per month beside the host's executable, one entry
// per write, opened and closed each time so that nothing is lost when the
// host process dies.
#include <string>

#include "core/driver_support.h"
#include "hostutil/host_services.h"
#include "platform/platform.h"
#include "runtime/datetime.h"
#include "runtime/format.h"
#include "runtime/format_settings.h"
#include "zel01900/core.h"

namespace {

// Whether the operator was already told, since the driver started, that the
// debug log cannot be written.
bool log_failure_shown = false;

}  // namespace

namespace zel::core {

void ResetDebugLogNotice() { log_failure_shown = false; }

}  // namespace zel::core

void ImpFisDebug(const std::string& mensagem) {
  zel::platform::Platform& platform = zel::platform::Current();
  const zel::FormatSettings& fs = zel::BrazilianFormatSettings();
  const zel::TDateTime now = zel::Now();
  const std::string path = zel::platform::JoinPath(
      platform.ExecutableDirectory(), "impdebug" + zel::FormatDateTime("mmyy", now, fs) + ".txt");
  // Short date and long time, the time left out at exactly midnight, as the
  // host runtime writes a date-time.
  const std::string stamp = zel::DateTimeToStr(now, fs);
  if (platform.AppendToFile(path, stamp + " - " + mensagem + "\r\n")) return;
  // The log records what the printer did; it must never change it. A failed
  // write (a full disk, a folder in the file's place) is told to the operator
  // once and the operation goes on: raising here would leave the host
  // believing that a command the printer already carried out had failed.
  if (log_failure_shown) return;
  log_failure_shown = true;
  zel::Mensagem("N\xE3o foi poss\xEDvel gravar o log da impressora fiscal (" + path + "). " +
                    platform.LastErrorText() +
                    " As opera\xE7\xF5" "es continuam sem o registro no log.",
                "", "N", "N", zel::kDialogError, "", "001", 0);
}
