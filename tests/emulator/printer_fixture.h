// A simulated printer in-process, with its clock fixed at 10/12/2026 10:00.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "emulator/config.h"
#include "emulator/persistence.h"
#include "emulator/printer.h"
#include "runtime/datetime.h"

namespace zel::emu::test {

class PrinterTest : public ::testing::Test {
 protected:
  PrinterTest() : config_(ParseConfig("")) { Reset(); }

  void Reset() {
    printer_ = std::make_unique<Printer>(config_, FreshMemory(config_));
    printer_->SetComputerTime(now_);
  }
  // As a new process would find it: the printer rebuilt from its memory file.
  void Reload() {
    PrinterMemory memory;
    ASSERT_TRUE(DeserializeMemory(SerializeMemory(printer_->memory()), &memory));
    printer_ = std::make_unique<Printer>(config_, memory);
    printer_->SetComputerTime(now_);
  }
  void SetNow(TDateTime now) {
    now_ = now;
    printer_->SetComputerTime(now);
  }

  Printer& p() { return *printer_; }
  const PrinterMemory& m() { return printer_->memory(); }
  int St1() {
    int a, s1, s2;
    printer_->Status(&a, &s1, &s2);
    return s1;
  }
  int St2() {
    int a, s1, s2;
    printer_->Status(&a, &s1, &s2);
    return s2;
  }
  int Ack() {
    int a, s1, s2;
    printer_->Status(&a, &s1, &s2);
    return a;
  }

  // A receipt with one item of 10,00 at T01, paid in cash and closed.
  void QuickSale() {
    ASSERT_EQ(p().OpenReceipt("", "", ""), kOk);
    ASSERT_EQ(p().SellItem("1", "ITEM", "01", "10,00", "1,000", "0000", "0000", "01", "UN"), kOk);
    ASSERT_EQ(p().StartClosing("D", "$", "0"), kOk);
    ASSERT_EQ(p().Pay("Dinheiro", "10,00"), kOk);
    ASSERT_EQ(p().FinishClosing(""), kOk);
  }

  EmulatorConfig config_;
  TDateTime now_ = EncodeDateTime(2026, 12, 10, 10, 0, 0, 0);
  std::unique_ptr<Printer> printer_;
};

}  // namespace zel::emu::test
