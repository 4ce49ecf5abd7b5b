// CodigoBarra: the entry point and zero-padded width of every kind, an
// unknown kind, and a refused barcode.
#include <string>
#include <vector>

#include "core/core_fixture.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

using BarcodeTest = CoreTest;

TEST_F(BarcodeTest, EveryKindGoesToItsEntryPointPaddedToItsWidth) {
  struct Case {
    std::string kind;
    std::string entry_point;
    std::string sent;  // for the data "123456"
  };
  const std::vector<Case> cases = {
      {"CODABAR", "IBM_FI_CodigoBarrasCODABARMFD", "00123456"},
      {"CODE128", "IBM_FI_CodigoBarrasCODE128MFD", "0000000000123456"},
      {"CODE39", "IBM_FI_CodigoBarrasCODE39MFD", "123456"},
      {"CODE93", "IBM_FI_CodigoBarrasCODE93MFD", "123456"},
      {"EAN13", "IBM_FI_CodigoBarrasEAN13MFD", "000000123456"},
      {"EAN8", "IBM_FI_CodigoBarrasEAN8MFD", "0123456"},
      {"ISBN", "IBM_FI_CodigoBarrasISBNMFD", "000123456"},
      {"ITF", "IBM_FI_CodigoBarrasITFMFD", "00000000123456"},
      {"MSI", "IBM_FI_CodigoBarrasMSIMFD", "0123456"},
      {"PLESSEY", "IBM_FI_CodigoBarrasPLESSEYMFD", "0123456"},
      {"UPCA", "IBM_FI_CodigoBarrasUPCAMFD", "00000123456"},
      {"UPCE", "IBM_FI_CodigoBarrasUPCEMFD", "123456"},
  };
  for (const Case& c : cases) {
    fake_.ClearCalls();
    EXPECT_TRUE(CodigoBarra("007", "K1", "K2", 0, "123456", c.kind)) << c.kind;
    EXPECT_EQ(
        fake_.Names(),
        (Strings{"IBM_FI_RelatorioGerencial", "IBM_FI_RetornoImpressora", "IBM_FI_DataMovimento",
                 "IBM_FI_RetornoImpressora", c.entry_point, "IBM_FI_RetornoImpressora",
                 "IBM_FI_FechaRelatorioGerencial", "IBM_FI_RetornoImpressora"}))
        << c.kind;
    const std::vector<FakeCall> sent = fake_.CallsTo(c.entry_point);
    ASSERT_EQ(sent.size(), 1u) << c.kind;
    EXPECT_EQ(sent[0].args[0], c.sent) << c.kind;
  }
  EXPECT_NE(LogText().find("IBM_FI_CodigoBarrasEAN13MFD : 000000123456"), std::string::npos);
}

TEST_F(BarcodeTest, DataLongerThanTheWidthGoesAsItIs) {
  EXPECT_TRUE(CodigoBarra("007", "", "", 0, "78912345678901", "EAN13"));
  EXPECT_EQ(fake_.CallsTo("IBM_FI_CodigoBarrasEAN13MFD")[0].args[0], "78912345678901");
}

TEST_F(BarcodeTest, UnknownKindPrintsNothingAndClosesTheReport) {
  inRetorno = -5;
  EXPECT_TRUE(CodigoBarra("007", "", "", 0, "123", "ean13"));
  EXPECT_EQ(fake_.CallCount("IBM_FI_CodigoBarrasEAN13MFD"), 0);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
  EXPECT_NE(LogText().find("IBM_FI CODIGO BARRA INDEFINIDO : 123"), std::string::npos);
}

// The refusal is told, and the report is closed all the same: left open,
// it would make the printer refuse every document after it.
TEST_F(BarcodeTest, RefusedBarcodeIsToldAndClosesTheReport) {
  fake_.Answer("IBM_FI_CodigoBarrasEAN8MFD", -2);
  EXPECT_FALSE(CodigoBarra("007", "", "", 0, "12", "EAN8"));
  EXPECT_EQ(inRetorno, -2);
  EXPECT_EQ(fake_.CallCount("IBM_FI_FechaRelatorioGerencial"), 1);
  ASSERT_FALSE(host_.dialogs().empty());
  const DialogCall& last = host_.dialogs().back();
  EXPECT_EQ(last.text, "Erro ao enviar comando para a impressora.");
  EXPECT_EQ(last.kind, 0);
  EXPECT_FALSE(last.IsQuestion());
  EXPECT_EQ(last.colour_scheme, "007");
}

}  // namespace
}  // namespace zel::test
