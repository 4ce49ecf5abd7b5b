// Binding of JSON arguments to the parameters of an exported function, by the
// parameter's C++ type. Used by operations.cc to register each operation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/json_codec.h"
#include "host/operations.h"
#include "runtime/memtable.h"
#include "runtime/string_list.h"
#include "runtime/variant.h"
#include "runtime/win1252.h"

namespace ecf::detail {

[[noreturn]] inline void WrongKind(size_t index, const char* expected, const Json& got) {
  throw CallError("argument " + std::to_string(index + 1) + ": expected " + expected + ", got " +
                  got.dump());
}

// One parameter kind: Holder keeps the decoded value alive during the call,
// Get gives what the parameter binds to, Encode writes it back.
template <typename T, typename = void>
struct Param;

template <>
struct Param<std::string> {
  using Holder = std::string;
  static Holder Decode(const Json& j, size_t i) {
    if (j.is_null()) return {};
    if (!j.is_string()) WrongKind(i, "a text", j);
    return FromJsonText(j.get<std::string>());
  }
  static std::string& Get(Holder& h) { return h; }
  static Json Encode(const Holder& h) { return ToJsonText(h); }
};

// A wide text, given in JSON as any text.
template <>
struct Param<std::u16string> {
  using Holder = std::u16string;
  static Holder Decode(const Json& j, size_t i) {
    if (j.is_null()) return {};
    if (!j.is_string()) WrongKind(i, "a text", j);
    return zel::Win1252ToUtf16(FromJsonText(j.get<std::string>()));
  }
  static std::u16string& Get(Holder& h) { return h; }
  static Json Encode(const Holder& h) { return ToJsonText(zel::Utf16ToWin1252(h)); }
};

template <>
struct Param<bool> {
  using Holder = bool;
  static Holder Decode(const Json& j, size_t i) {
    if (!j.is_boolean()) WrongKind(i, "a boolean", j);
    return j.get<bool>();
  }
  static bool& Get(Holder& h) { return h; }
  static Json Encode(const Holder& h) { return h; }
};

template <typename T>
struct Param<T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>> {
  using Holder = T;
  static Holder Decode(const Json& j, size_t i) {
    if (!j.is_number_integer()) WrongKind(i, "an integer", j);
    return static_cast<T>(j.get<int64_t>());
  }
  static T& Get(Holder& h) { return h; }
  static Json Encode(const Holder& h) { return static_cast<int64_t>(h); }
};

// A float, or a date-time given as {"date": ...} (TDateTime is a double).
template <>
struct Param<double> {
  struct Holder {
    double value = 0;
    bool date = false;
  };
  static Holder Decode(const Json& j, size_t i) {
    if (j.is_number()) return {j.get<double>(), false};
    if (IsTagged(j, "date") && j.at("date").is_string()) {
      return {ParseIsoDateTime(j.at("date").get<std::string>()), true};
    }
    WrongKind(i, "a number or {\"date\": ...}", j);
  }
  static double& Get(Holder& h) { return h.value; }
  static Json Encode(const Holder& h) {
    if (h.date) return Json{{"date", FormatIsoDateTime(h.value)}};
    return h.value;
  }
};

template <>
struct Param<zel::HostVariant> {
  struct Holder {
    zel::HostVariant value;
    bool params = false;
  };
  static Holder Decode(const Json& j, size_t) { return {DecodeVariant(j), IsTagged(j, "params")}; }
  static zel::HostVariant& Get(Holder& h) { return h.value; }
  static Json Encode(const Holder& h) { return EncodeVariant(h.value, h.params); }
};

// Open arrays of variants.
template <>
struct Param<std::vector<zel::HostVariant>> {
  using Holder = std::vector<zel::HostVariant>;
  static Holder Decode(const Json& j, size_t i) {
    if (!IsTagged(j, "array")) WrongKind(i, "{\"array\": [...]}", j);
    return DecodeVariant(j).Elements();
  }
  static Holder& Get(Holder& h) { return h; }
  static Json Encode(const Holder& h) { return EncodeVariant(zel::HostVariant::MakeArray(h)); }
};

template <>
struct Param<zel::MemTable> {
  using Holder = std::unique_ptr<zel::MemTable>;
  static Holder Decode(const Json& j, size_t i) {
    if (!IsTagged(j, "table")) WrongKind(i, "{\"table\": ...}", j);
    auto table = std::make_unique<zel::MemTable>();
    DecodeTable(j, *table);
    return table;
  }
  static zel::MemTable& Get(Holder& h) { return *h; }
  static Json Encode(const Holder& h) { return EncodeTable(*h); }
};

template <>
struct Param<zel::StringList> {
  using Holder = std::unique_ptr<zel::StringList>;
  static Holder Decode(const Json& j, size_t i) {
    if (!IsTagged(j, "list")) WrongKind(i, "{\"list\": [...]}", j);
    auto list = std::make_unique<zel::StringList>();
    DecodeList(j, *list);
    return list;
  }
  static zel::StringList& Get(Holder& h) { return *h; }
  static Json Encode(const Holder& h) { return EncodeList(*h); }
};

// A pointer parameter (a list or table the host may leave out): null or the
// object itself.
template <typename T>
struct Param<T*> {
  using Holder = typename Param<std::remove_const_t<T>>::Holder;
  static Holder Decode(const Json& j, size_t i) {
    if (j.is_null()) return nullptr;
    return Param<std::remove_const_t<T>>::Decode(j, i);
  }
  static T* Get(Holder& h) { return h.get(); }
  static Json Encode(const Holder& h) {
    if (!h) return nullptr;
    return Param<std::remove_const_t<T>>::Encode(h);
  }
};

template <typename T>
using Bare = std::remove_cv_t<std::remove_reference_t<T>>;

template <typename R>
Json EncodeResult(const R& value) {
  if constexpr (std::is_same_v<R, std::string>) {
    return ToJsonText(value);
  } else if constexpr (std::is_same_v<R, zel::HostVariant>) {
    return EncodeVariant(value);
  } else if constexpr (std::is_same_v<R, const char*>) {
    return value ? Json(ToJsonText(value)) : Json(nullptr);
  } else {
    return value;
  }
}

template <size_t N>
void CheckCount(const Json& args) {
  if (!args.is_array() || args.size() != N) {
    throw CallError("expected " + std::to_string(N) + " argument(s), got " +
                    std::to_string(args.is_array() ? args.size() : 0));
  }
}

// Decodes the arguments without calling: CallError for a wrong count or kind.
template <typename R, typename... A, size_t... I>
void Check(R (*)(A...), const Json& args, std::index_sequence<I...>) {
  CheckCount<sizeof...(A)>(args);
  [[maybe_unused]] std::tuple<typename Param<Bare<A>>::Holder...> holders{
      Param<Bare<A>>::Decode(args[I], I)...};
}

template <typename R, typename... A, size_t... I>
CallOutcome Invoke(R (*fn)(A...), const Json& args, std::index_sequence<I...>) {
  CheckCount<sizeof...(A)>(args);
  std::tuple<typename Param<Bare<A>>::Holder...> holders{Param<Bare<A>>::Decode(args[I], I)...};
  CallOutcome outcome;
  if constexpr (std::is_void_v<R>) {
    fn(Param<Bare<A>>::Get(std::get<I>(holders))...);
    outcome.result = nullptr;
  } else {
    outcome.result = EncodeResult(fn(Param<Bare<A>>::Get(std::get<I>(holders))...));
  }
  outcome.args = Json::array();
  (outcome.args.push_back(Param<Bare<A>>::Encode(std::get<I>(holders))), ...);
  return outcome;
}

template <typename R, typename... A>
Invoker MakeInvoker(R (*fn)(A...)) {
  return [fn](const Json& args) { return Invoke(fn, args, std::index_sequence_for<A...>{}); };
}

template <typename R, typename... A>
Checker MakeChecker(R (*fn)(A...)) {
  return [fn](const Json& args) { Check(fn, args, std::index_sequence_for<A...>{}); };
}

}  // namespace ecf::detail
