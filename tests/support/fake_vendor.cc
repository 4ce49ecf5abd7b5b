#include "fake_vendor.h"

#include <cstring>
#include <stdexcept>

#include "zel01900/entry_points.h"

namespace zel::test {
namespace {

FakeVendor* g_current = nullptr;

// One argument of a faked call, seen untyped.
struct ArgRef {
  enum class Kind { kText, kBuffer, kInt, kIntPtr } kind;
  const char* text = nullptr;
  char* buffer = nullptr;
  int32_t value = 0;
  int32_t* pointer = nullptr;
};

ArgRef Ref(const char* text) { return {ArgRef::Kind::kText, text}; }
ArgRef Ref(char* buffer) { return {ArgRef::Kind::kBuffer, nullptr, buffer}; }
ArgRef Ref(int32_t value) { return {ArgRef::Kind::kInt, nullptr, nullptr, value}; }
ArgRef Ref(int32_t* pointer) { return {ArgRef::Kind::kIntPtr, nullptr, nullptr, 0, pointer}; }

int32_t Dispatch(const char* name, const std::vector<ArgRef>& args) {
  FakeVendor* fake = FakeVendor::Current();
  if (fake == nullptr)
    throw std::logic_error(std::string("vendor fake called without FakeVendor: ") + name);
  FakeCall call;
  call.name = name;
  for (const ArgRef& a : args) {
    bool is_null = false;
    std::string text;
    switch (a.kind) {
      case ArgRef::Kind::kText:
        is_null = a.text == nullptr;
        if (!is_null) text = a.text;
        break;
      case ArgRef::Kind::kBuffer:
        is_null = a.buffer == nullptr;
        if (!is_null) text = a.buffer;
        break;
      case ArgRef::Kind::kInt:
        text = std::to_string(a.value);
        break;
      case ArgRef::Kind::kIntPtr:
        is_null = a.pointer == nullptr;
        if (!is_null) text = std::to_string(*a.pointer);
        break;
    }
    call.args.push_back(std::move(text));
    call.null_args.push_back(is_null);
  }
  const FakeAnswer answer = fake->Handle(std::move(call));
  size_t buffer_index = 0;
  size_t int_index = 0;
  for (const ArgRef& a : args) {
    if (a.kind == ArgRef::Kind::kBuffer) {
      if (buffer_index < answer.buffers.size() && a.buffer != nullptr) {
        const std::string& value = answer.buffers[buffer_index];
        std::memcpy(a.buffer, value.data(), std::min(value.size(), std::strlen(a.buffer)));
      }
      ++buffer_index;
    } else if (a.kind == ArgRef::Kind::kIntPtr) {
      if (int_index < answer.ints.size() && a.pointer != nullptr)
        *a.pointer = answer.ints[int_index];
      ++int_index;
    }
  }
  return answer.code;
}

template <const char* Name, typename Fn>
struct Thunk;

template <const char* Name, typename... Args>
struct Thunk<Name, int32_t(ZEL_VENDOR_CALL*)(Args...)> {
  static int32_t ZEL_VENDOR_CALL Call(Args... args) { return Dispatch(Name, {Ref(args)...}); }
};

// Names as objects with linkage, so that they can name a thunk.
#define ZEL_FAKE_NAME(name, type) constexpr char k##name[] = #name;
ZEL_VENDOR_ENTRY_POINTS(ZEL_FAKE_NAME)
ZEL_OTHER_ENTRY_POINTS(ZEL_FAKE_NAME)
#undef ZEL_FAKE_NAME

struct Slot {
  const char* name;
  void* (*get)();
  void (*set)(void*);
  void* fake;
};

#define ZEL_FAKE_SLOT(name, type)                                        \
  Slot{k##name, []() -> void* { return reinterpret_cast<void*>(name); }, \
       [](void* p) { name = reinterpret_cast<type>(p); },                \
       reinterpret_cast<void*>(&Thunk<k##name, type>::Call)},

const std::vector<Slot>& Slots() {
  static const std::vector<Slot> slots = {ZEL_VENDOR_ENTRY_POINTS(ZEL_FAKE_SLOT)
                                              ZEL_OTHER_ENTRY_POINTS(ZEL_FAKE_SLOT)};
  return slots;
}
#undef ZEL_FAKE_SLOT

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

std::string FakeCall::ToString() const {
  std::string out = name + "(";
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) out += ", ";
    out += IsNull(i) ? "null" : args[i];
  }
  return out + ")";
}

FakeVendor::FakeVendor() {
  if (g_current != nullptr) throw std::logic_error("only one FakeVendor at a time");
  g_current = this;
  for (const Slot& slot : Slots()) {
    saved_.push_back(slot.get());
    slot.set(slot.fake);
    scripts_.emplace(slot.name, Script{});
  }
}

FakeVendor::~FakeVendor() {
  const std::vector<Slot>& slots = Slots();
  for (size_t i = 0; i < slots.size(); ++i) slots[i].set(saved_[i]);
  g_current = nullptr;
}

FakeVendor* FakeVendor::Current() { return g_current; }

FakeVendor::Script& FakeVendor::ScriptFor(std::string_view name) {
  auto it = scripts_.find(name);
  if (it == scripts_.end()) {
    throw std::invalid_argument("no vendor entry point named " + Quote(std::string(name)));
  }
  return it->second;
}

void FakeVendor::SetAnswer(std::string_view name, FakeAnswer answer) {
  ScriptFor(name).standing = std::move(answer);
}

void FakeVendor::QueueAnswer(std::string_view name, FakeAnswer answer) {
  ScriptFor(name).queued.push_back(std::move(answer));
}

void FakeVendor::AnswerStatus(int32_t ack, int32_t st1, int32_t st2, int32_t code) {
  SetAnswer("IBM_FI_RetornoImpressora", FakeAnswer{code, {}, {ack, st1, st2}});
}

void FakeVendor::AnswerStatusOnce(int32_t ack, int32_t st1, int32_t st2, int32_t code) {
  QueueAnswer("IBM_FI_RetornoImpressora", FakeAnswer{code, {}, {ack, st1, st2}});
}

void FakeVendor::OnCall(std::string_view name, std::function<void(const FakeCall&)> hook) {
  ScriptFor(name).hook = std::move(hook);
}

FakeAnswer FakeVendor::Handle(FakeCall call) {
  Script& script = ScriptFor(call.name);
  calls_.push_back(call);
  // The hook gets its own copy: it may call the fakes again.
  if (script.hook) script.hook(call);
  if (!script.queued.empty()) {
    FakeAnswer answer = std::move(script.queued.front());
    script.queued.pop_front();
    return answer;
  }
  return script.standing;
}

std::vector<FakeCall> FakeVendor::CallsTo(std::string_view name) const {
  std::vector<FakeCall> out;
  for (const FakeCall& c : calls_) {
    if (c.name == name) out.push_back(c);
  }
  return out;
}

int FakeVendor::CallCount(std::string_view name) const {
  int n = 0;
  for (const FakeCall& c : calls_) n += c.name == name ? 1 : 0;
  return n;
}

std::vector<std::string> FakeVendor::Names() const {
  std::vector<std::string> out;
  for (const FakeCall& c : calls_) out.push_back(c.name);
  return out;
}

std::vector<std::string> FakeVendor::CallTexts() const {
  std::vector<std::string> out;
  for (const FakeCall& c : calls_) out.push_back(c.ToString());
  return out;
}

}  // namespace zel::test
