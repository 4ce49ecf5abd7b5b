// The simulated printer's control texts, for `ecf serve`: its state answer as
// JSON, and fault commands out of a request body. The commands themselves are
// the printer's control grammar (emulator/README.md), passed on unchanged.
#pragma once

#include <string>
#include <vector>

#include "host/json_codec.h"

namespace ecf {

// The answer of the control command "state" (UTF-8; one "key value ..." line
// per subject, as `ecf-printer state` shows it) as JSON: printer, serial,
// ecf, firmware, clock, daylight_saving, movement, last_z, z_pending,
// day_closed, open, counters {coo, ccf, ...}, totals {gt, gross}, rates,
// forms, totalizers, faults {power, paper, clock_skew, pending, standing},
// and the text itself.
Json ParseStateText(const std::string& utf8);

// Fault commands from a request body: JSON {"command": "..."} or
// {"commands": [...]}, else plain text, one command per line or ';'. Blank
// commands are dropped; false (and *error) when none is left or the JSON is
// malformed.
bool ParseFaultCommands(const std::string& body, std::vector<std::string>* commands,
                        std::string* error);

}  // namespace ecf
