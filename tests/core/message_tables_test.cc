#include "core/message_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zel::core {
namespace {

TEST(MessageTablesTest, StoredOrderAndSize) {
  const MessageEntries& padrao = PadraoMessageEntries();
  ASSERT_EQ(padrao.size(), 222u);
  EXPECT_EQ(padrao.front().first, "Nome");
  EXPECT_EQ(padrao[42].first, "DataDif");
  EXPECT_EQ(padrao[149].first, "Kalvora");
  EXPECT_EQ(padrao.back().first, "SaldoExcedente");

  const MessageEntries& padrao2 = Padrao2MessageEntries();
  ASSERT_EQ(padrao2.size(), 39u);
  EXPECT_EQ(padrao2.front().first, "Erro_Detectar");
  EXPECT_EQ(padrao2[29].first, "GER_COTEPE_OK");
  EXPECT_EQ(padrao2.back().first, "DOTZ_EXTRAS");
}

TEST(MessageTablesTest, RepeatedKeys) {
  std::vector<std::string> aliq;
  std::multiset<std::string> keys;
  for (const auto& [key, text] : PadraoMessageEntries()) {
    keys.insert(key);
    if (key == "AliqNaoCad") aliq.push_back(text);
  }
  EXPECT_EQ(aliq, (std::vector<std::string>{"Al\xEDquota n\xE3o cadastrada na impressora fiscal.",
                                            "AliqNaoCad"}));
  for (const char* key : {"Nome", "CV-EMITIDO", "Suprimento"}) EXPECT_EQ(keys.count(key), 2u);
  EXPECT_EQ(keys.size() - std::set<std::string>(keys.begin(), keys.end()).size(), 4u);
}

TEST(MessageTablesTest, TextsAreWindows1252AndNeverEmpty) {
  for (const MessageEntries* table : {&PadraoMessageEntries(), &Padrao2MessageEntries()}) {
    for (const auto& [key, text] : *table) {
      EXPECT_FALSE(text.empty()) << key;
      // No UTF-8 lead byte followed by a continuation byte.
      for (size_t i = 0; i + 1 < text.size(); ++i) {
        const auto a = static_cast<unsigned char>(text[i]);
        const auto b = static_cast<unsigned char>(text[i + 1]);
        EXPECT_FALSE(a >= 0xC2 && a <= 0xDF && b >= 0x80 && b <= 0xBF) << key;
      }
    }
  }
  EXPECT_EQ(MsgPadrao("datadif"),
            "Data da impressora fiscal difere da data do sistema em mais de 15 minutos.");
  EXPECT_EQ(MsgPadrao("BancoNCad"),
            "Banco n\xE3o cadastrado no arquivo de inicializ\xE7\xE3o da impressora.");
  EXPECT_EQ(MsgPadrao("Kalvora"), std::string(kVendorLine));
  EXPECT_EQ(MsgPadrao2("SALDO_FIN"), "Saldo Final : %s");
  EXPECT_EQ(MsgPadrao2("Data"), "Data: ");
}

TEST(MessageTablesTest, VendorLineNamesTheCompany) {
  const std::string line(kVendorLine);
  EXPECT_NE(line.find(kVendorCompany), std::string::npos);
  EXPECT_NE(line.find(kVendorPhone), std::string::npos);
  EXPECT_NE(line.find(kVendorWeb), std::string::npos);
}

}  // namespace
}  // namespace zel::core
