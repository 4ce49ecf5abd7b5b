// FakeVendor: recording fakes in the driver's vendor entry-point variables.
//
//   zel::test::FakeVendor fake;                      // every entry point faked
//   fake.Answer("IBM_FI_NumeroCupom", 1, "000123");  // code and buffer text
//   fake.AnswerStatus(6, 2, 0);                      // ACK, ST1, ST2 of the status query
//   ... code under test ...
//   EXPECT_EQ(fake.Names(), (std::vector<std::string>{"IBM_FI_NumeroCupom",
//                                                    "IBM_FI_RetornoImpressora"}));
//   EXPECT_EQ(fake.CallsTo("IBM_FI_NumeroCupom")[0].args[0], "      ");
//
// While alive, every vendor entry-point variable (and the signing library's)
// holds a fake that records the call and answers from a per-entry script;
// the destructor puts the previous values back. One FakeVendor at a time.
//
// Recording: each argument becomes a text in `args`: a text argument as given
// ("" for a null pointer, which `null_args` marks), a result buffer as the
// caller filled it (before the fake writes), an integer in decimal, an
// integer pointer as the value it pointed to on entry.
//
// Answering: a one-time answer queued with AnswerOnce is used first, then the
// standing answer set with Answer; without either the fake returns 1 and
// leaves buffers and integers as they are. An answer's `buffers` are written
// into the call's result buffers in order (at most as many characters as the
// buffer holds, no terminator added; a shorter text leaves the rest of the
// buffer as it was); its `ints` into the call's integer pointers in order.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel::test {

struct FakeCall {
  std::string name;
  std::vector<std::string> args;
  std::vector<bool> null_args;  // true where a text argument was a null pointer

  bool IsNull(size_t i) const { return i < null_args.size() && null_args[i]; }
  // "name(arg1, arg2)", null pointers written as null.
  std::string ToString() const;
};

struct FakeAnswer {
  int32_t code = 1;
  std::vector<std::string> buffers;  // written into the char* arguments in order
  std::vector<int32_t> ints;         // written into the int32_t* arguments in order
};

class FakeVendor {
 public:
  FakeVendor();
  ~FakeVendor();
  FakeVendor(const FakeVendor&) = delete;
  FakeVendor& operator=(const FakeVendor&) = delete;

  // The standing answer of an entry point: its code and buffer texts.
  template <typename... Buffers>
  void Answer(std::string_view name, int32_t code, Buffers&&... buffers) {
    SetAnswer(name, FakeAnswer{code, {std::string(std::forward<Buffers>(buffers))...}, {}});
  }
  // A one-time answer, used before the standing one; several queue up.
  template <typename... Buffers>
  void AnswerOnce(std::string_view name, int32_t code, Buffers&&... buffers) {
    QueueAnswer(name, FakeAnswer{code, {std::string(std::forward<Buffers>(buffers))...}, {}});
  }
  void SetAnswer(std::string_view name, FakeAnswer answer);
  void QueueAnswer(std::string_view name, FakeAnswer answer);

  // Standing / one-time answer of IBM_FI_RetornoImpressora: the status bytes
  // and the query's own code.
  void AnswerStatus(int32_t ack, int32_t st1, int32_t st2, int32_t code = 1);
  void AnswerStatusOnce(int32_t ack, int32_t st1, int32_t st2, int32_t code = 1);

  // Runs `hook` on each call of `name`, after recording it and before
  // answering (it may change the script).
  void OnCall(std::string_view name, std::function<void(const FakeCall&)> hook);

  const std::vector<FakeCall>& Calls() const { return calls_; }
  std::vector<FakeCall> CallsTo(std::string_view name) const;
  int CallCount(std::string_view name) const;
  // Names of every call, in order.
  std::vector<std::string> Names() const;
  // Every call as FakeCall::ToString, in order.
  std::vector<std::string> CallTexts() const;
  void ClearCalls() { calls_.clear(); }

  // The fake currently installed (nullptr when none); used by the fakes.
  static FakeVendor* Current();
  // Records a call and picks its answer; used by the fakes.
  FakeAnswer Handle(FakeCall call);

 private:
  struct Script {
    FakeAnswer standing;
    std::deque<FakeAnswer> queued;
    std::function<void(const FakeCall&)> hook;
  };
  Script& ScriptFor(std::string_view name);

  std::vector<void*> saved_;
  std::map<std::string, Script, std::less<>> scripts_;
  std::vector<FakeCall> calls_;
};

}  // namespace zel::test
