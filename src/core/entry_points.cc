// The binding table of the vendor entry points.
#include "zel01900/entry_points.h"

namespace {

// Function and object pointers share one representation on every platform the
// driver runs on (the loader hands addresses out as void*), so a slot can be
// filled from an untyped address.
template <typename Fn>
Fn FromAddress(void* address) {
  return reinterpret_cast<Fn>(address);
}

template <typename Fn>
void* ToAddress(Fn fn) {
  return reinterpret_cast<void*>(fn);
}

}  // namespace

#define ZEL_ENTRY_POINT_ROW(name, type)                             \
  {#name, [](void* address) { name = FromAddress<type>(address); }, \
   []() -> void* { return ToAddress(name); }},

const IbmEntryPoint kIbmEntryPoints[kIbmEntryPointCount] = {
    ZEL_VENDOR_ENTRY_POINTS(ZEL_ENTRY_POINT_ROW)};

#undef ZEL_ENTRY_POINT_ROW
