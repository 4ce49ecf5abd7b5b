#include "emulator/printer_state.h"

namespace zel::emu {

int64_t Receipt::Subtotal() const {
  int64_t sum = 0;
  for (const Item& item : items) {
    if (!item.cancelled) sum += item.Net();
  }
  return sum;
}

int64_t Receipt::Total() const {
  if (adjust_kind == 'D') return Subtotal() - adjust;
  if (adjust_kind == 'A') return Subtotal() + adjust;
  return Subtotal();
}

int64_t Receipt::Paid() const {
  int64_t sum = 0;
  for (const Payment& p : payments) sum += p.amount;
  return sum;
}

PrinterMemory FreshMemory(const EmulatorConfig& config) {
  PrinterMemory m;
  m.rates = config.rates;
  return m;
}

}  // namespace zel::emu
