#include "runtime/format_settings.h"

namespace zel {

const FormatSettings& BrazilianFormatSettings() {
  static const FormatSettings settings;
  return settings;
}

}  // namespace zel
