// Reading the host's keyed parameter bundle (HostParams).
#pragma once

#include <string_view>

#include "runtime/variant.h"

namespace zel {

// The value stored under `key` in `params`, an array of [key, value] pairs.
// Keys match without regard to ASCII case ("esquemacor" finds "ESQUEMACOR");
// when a key occurs twice the first pair wins. A key that the bundle lacks is
// no failure: the result is an empty variant, which converts to "", 0 and
// false. A `params` that is not an array, and pairs that are not two-element
// arrays with a text key, are skipped in the same way (nothing is found).
HostVariant RecebeParams(const HostParams& params, std::string_view key);

}  // namespace zel
