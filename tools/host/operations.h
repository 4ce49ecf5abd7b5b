// The driver's exported operations, callable by name with JSON arguments.
//
// Each operation is registered with a pointer to the exported function; the
// argument kinds come from the function's own parameter types, so a call
// with the wrong number or kind of arguments is refused with a message that
// names the argument, and every argument the operation may write (texts and
// bundles passed by reference, tables, lists, result arrays) is read back
// after the call in the same encoding.
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/json_codec.h"

namespace ecf {

// An unknown operation, or an argument of the wrong count or kind.
class CallError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CallOutcome {
  Json result;  // null for an operation without a result
  Json args;    // every argument after the call
};

using Invoker = std::function<CallOutcome(const Json& args)>;
// Decodes the arguments only, raising CallError as the invoker would.
using Checker = std::function<void(const Json& args)>;

struct Operation {
  Invoker invoke;
  Checker check;
  // False for the operations that never reach the printer (start and stop,
  // the small helpers), which a host may call before the driver is started.
  bool needs_printer = true;
};

// Every exported operation of the driver, by name.
const std::map<std::string, Operation>& Operations();
// The operation named `name`, or CallError "unknown operation".
const Operation& FindOperation(const std::string& name);

// True while the vendor entry points are bound (after a StartImpFiscal that
// found the library, until StopImpFiscal).
bool DriverStarted();

}  // namespace ecf
