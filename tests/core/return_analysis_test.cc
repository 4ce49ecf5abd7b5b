#include <string>
#include <vector>

#include "core/message_tables.h"
#include "core_fixture.h"
#include "zel01900/data_module.h"

namespace zel::test {
namespace {

using Strings = std::vector<std::string>;

class AnalisaRetornoTest : public CoreTest {};

TEST_F(AnalisaRetornoTest, SuccessWithCleanStatusIsSilent) {
  EXPECT_TRUE(AnalisaRetorno("002", 1, true, true, true));
  EXPECT_EQ(fake_.CallTexts(), Strings{"IBM_FI_RetornoImpressora(0, 0, 0)"});
  EXPECT_EQ(LogText(), "");
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(stMensagemTaa, "");
}

TEST_F(AnalisaRetornoTest, PrinterOffIsReportedOnceWithDialog) {
  fake_.AnswerStatus(6, 0, 0);
  EXPECT_FALSE(AnalisaRetorno("002", -6, true, false, false));
  EXPECT_EQ(LogEntries(), Strings{"ERRO!!! Impressora desligada ou desconectada."});
  ASSERT_EQ(host_.dialogs().size(), 1u);
  const DialogCall& d = host_.dialogs()[0];
  EXPECT_EQ(d.text, "Impressora desligada ou desconectada.");
  EXPECT_EQ(d.question, "N");
  EXPECT_EQ(d.flag, "N");
  EXPECT_EQ(d.kind, 0);
  EXPECT_EQ(d.colour_scheme, "002");
  EXPECT_EQ(stMensagemTaa, " Impressora desligada ou desconectada.");
}

TEST_F(AnalisaRetornoTest, EveryKnownCodeReportsItsKey) {
  const std::vector<std::pair<int, std::string>> codes = {
      {0, "ErroComunicacao"}, {-1, "ErroExecucao"}, {-2, "ParamInvalido"},  {-3, "AliqNProg"},
      {-4, "ErroArqIni"},     {-5, "ErroPorta"},    {-6, "ImpDeslig"},      {-7, "BancoNCad"},
      {-18, "ErroAbrirArq"},  {-19, "ParamErro"},   {-20, "TransCanc"},     {-21, "TransAprov"},
      {-22, "ImpNConcl"},     {-23, "OperNConcl"},  {-24, "FormPgtoNProg"}, {-25, "TotNFisNProg"},
      {-26, "TransEfet"},     {-28, "InfNImpre"}};
  std::string expected;
  for (const auto& [code, key] : codes) {
    SCOPED_TRACE(code);
    EXPECT_FALSE(AnalisaRetorno("001", code, false, false, false));
    expected += " " + core::MsgPadrao(key);
  }
  EXPECT_EQ(stMensagemTaa, expected);
  EXPECT_EQ(LogEntries().size(), codes.size());
  EXPECT_EQ(core::MsgPadrao("ErroComunicacao"), "Erro de comunica\xE7\xE3o.");
}

TEST_F(AnalisaRetornoTest, UnlistedCodesReportNothing) {
  for (int code : {2, -9, -27, -29, 100}) {
    EXPECT_TRUE(AnalisaRetorno("001", code, true, false, false)) << code;
  }
  EXPECT_EQ(LogText(), "");
}

TEST_F(AnalisaRetornoTest, WriteErrorCodeWithoutMessageShowsTheKey) {
  EXPECT_FALSE(AnalisaRetorno("001", -8, true, false, false));
  EXPECT_EQ(LogEntries(), Strings{"ERRO!!! ErroGravacao"});
  EXPECT_EQ(host_.DialogTexts(), Strings{"ErroGravacao"});
}

TEST_F(AnalisaRetornoTest, LowPaperAndOpenReceiptWithFlagsOff) {
  fake_.AnswerStatus(6, 66, 0);
  EXPECT_TRUE(AnalisaRetorno("001", 1, true, false, false));
  EXPECT_EQ(LogEntries(), Strings{"ERRO!!! Impressora fiscal com pouco papel."});
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 0);
  EXPECT_EQ(stMensagemTaa, "");
}

TEST_F(AnalisaRetornoTest, LowPaperWarningShownOnlyWithBothSwitches) {
  fake_.AnswerStatus(6, 64, 0);
  EXPECT_TRUE(AnalisaRetorno("001", 1, false, false, true));
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_TRUE(AnalisaRetorno("001", 1, true, false, true));
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora fiscal com pouco papel."});
  EXPECT_EQ(stMensagemTaa, "");
}

TEST_F(AnalisaRetornoTest, PaperOutThenLowPaper) {
  fake_.AnswerStatus(6, 194, 0);
  EXPECT_FALSE(AnalisaRetorno("001", 1, true, false, false));
  EXPECT_EQ(LogEntries(), (Strings{"ERRO!!! Impressora fiscal sem papel.",
                                   "ERRO!!! Impressora fiscal com pouco papel."}));
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora fiscal sem papel."});
  EXPECT_EQ(stMensagemTaa, " Impressora fiscal sem papel.");
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 0);
}

TEST_F(AnalisaRetornoTest, EveryStatusBitHighestFirst) {
  fake_.AnswerStatus(6, 255 - 64 - 2, 255);
  EXPECT_FALSE(AnalisaRetorno("001", 1, false, false, false));
  const Strings keys = {"FimPapel",   "ErroRelogio",    "ImpErro",    "SyntaxErro",  "ComandoErro",
                        "ParamErro",  "TipoParamErro",  "MemLotada",  "MemRAMErro",  "AliqNProg",
                        "AliqLotada", "CancNPermitido", "CGCIENProg", "ComandoNExec"};
  Strings expected;
  std::string collected;
  for (const std::string& key : keys) {
    expected.push_back("ERRO!!! " + core::MsgPadrao(key));
    collected += " " + core::MsgPadrao(key);
  }
  EXPECT_EQ(LogEntries(), expected);
  EXPECT_EQ(stMensagemTaa, collected);
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(AnalisaRetornoTest, CommandNotExecutedAlone) {
  fake_.AnswerStatus(6, 0, 1);
  EXPECT_FALSE(AnalisaRetorno("001", 1, true, false, false));
  EXPECT_EQ(host_.DialogTexts(), Strings{"Comando n\xE3o executado pela impressora fiscal."});
}

TEST_F(AnalisaRetornoTest, FailedStatusQueryStopsTheDecoding) {
  fake_.AnswerStatus(6, 128, 1, /*code=*/0);
  EXPECT_FALSE(AnalisaRetorno("001", -6, true, true, true));
  EXPECT_EQ(LogEntries(),
            (Strings{"ERRO!!! Impressora desligada ou desconectada.", "ERRO!!! Ret recebido"}));
  EXPECT_EQ(stMensagemTaa, " Impressora desligada ou desconectada. Impressora fiscal com erro.");
  EXPECT_EQ(host_.DialogTexts(),
            (Strings{"Impressora desligada ou desconectada.", "Impressora fiscal com erro."}));
  // Success code too: the failed query alone makes the result false.
  EXPECT_FALSE(AnalisaRetorno("001", 1, false, false, false));
}

TEST_F(AnalisaRetornoTest, RefusedCommandStopsTheDecoding) {
  fake_.AnswerStatus(21, 128, 0);
  EXPECT_FALSE(AnalisaRetorno("001", 1, true, false, false));
  EXPECT_EQ(LogEntries(), Strings{"ERRO!!! NAK recebido"});
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora fiscal com erro."});
  EXPECT_EQ(stMensagemTaa, " Impressora fiscal com erro.");
}

TEST_F(AnalisaRetornoTest, OpenReceiptIsCancelledAndCheckedQuietly) {
  fake_.AnswerStatusOnce(6, 2, 0);
  fake_.AnswerStatus(6, 0, 0);
  fake_.Answer("IBM_FI_CancelaCupom", -1);
  stMensagemTaa = "X";
  EXPECT_TRUE(AnalisaRetorno("003", 1, true, true, false));
  EXPECT_EQ(fake_.Names(), (Strings{"IBM_FI_RetornoImpressora", "IBM_FI_CancelaCupom",
                                    "IBM_FI_RetornoImpressora"}));
  EXPECT_EQ(LogEntries(),
            (Strings{"ERRO!!! Cupom aberto.", "ERRO!!! Erro de execu\xE7\xE3o na fun\xE7\xE3o."}));
  EXPECT_EQ(stMensagemTaa, "X Cupom aberto. Erro de execu\xE7\xE3o na fun\xE7\xE3o.");
  EXPECT_TRUE(host_.dialogs().empty());
}

TEST_F(AnalisaRetornoTest, OpenReceiptIgnoredWithoutTheFlag) {
  fake_.AnswerStatus(6, 3, 0);
  EXPECT_FALSE(AnalisaRetorno("001", 1, false, false, false));
  EXPECT_EQ(LogEntries(), Strings{"ERRO!!! " + core::MsgPadrao("ParamErro")});
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 0);
}

TEST_F(AnalisaRetornoTest, TextsComeFromTheDataModuleOnceItExists) {
  dtmImpIBM = new TdtmImpIBM();
  dtmImpIBM->msgPadrao.Clear();
  dtmImpIBM->msgPadrao.Add("ImpDeslig", "Sem energia");
  EXPECT_FALSE(AnalisaRetorno("001", -6, true, false, false));
  EXPECT_EQ(host_.DialogTexts(), Strings{"Sem energia"});
  EXPECT_EQ(stMensagemTaa, " Sem energia");
}

class ImpressoraOKTest : public CoreTest {};

TEST_F(ImpressoraOKTest, ErrorsAreQuietWithoutShow) {
  fake_.AnswerStatus(6, 16, 4, /*code=*/0);  // the query's own code is not looked at
  EXPECT_FALSE(ImpressoraOK("001", false, false, false));
  EXPECT_EQ(LogText(), "");
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_EQ(stMensagemTaa, "");
}

TEST_F(ImpressoraOKTest, ErrorsAreLoggedAndShownWithShow) {
  fake_.AnswerStatus(6, 16, 4);
  EXPECT_FALSE(ImpressoraOK("005", true, false, false));
  EXPECT_EQ(LogEntries(),
            (Strings{"ERRO!!! Impressora fiscal com erro.",
                     "ERRO!!! Cancelamento n\xE3o permitido pela impressora fiscal."}));
  ASSERT_EQ(host_.dialogs().size(), 2u);
  EXPECT_EQ(host_.dialogs()[1].colour_scheme, "005");
  EXPECT_EQ(host_.dialogs()[1].kind, 0);
  EXPECT_EQ(stMensagemTaa, "");
}

TEST_F(ImpressoraOKTest, LowPaperNeedsShowAndWarn) {
  fake_.AnswerStatus(6, 64, 0);
  EXPECT_TRUE(ImpressoraOK("001", true, false, false));
  EXPECT_EQ(LogText(), "");
  EXPECT_TRUE(ImpressoraOK("001", true, false, true));
  EXPECT_EQ(LogEntries(), Strings{"ERRO!!! Impressora fiscal com pouco papel."});
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora fiscal com pouco papel."});
}

TEST_F(ImpressoraOKTest, OpenReceiptAlwaysLoggedCancelledOnRequest) {
  fake_.AnswerStatus(6, 2, 0);
  EXPECT_TRUE(ImpressoraOK("001", false, false, false));
  EXPECT_EQ(LogEntries(), Strings{"ERRO!!! Cupom aberto."});
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 0);

  fake_.AnswerStatusOnce(6, 2, 0);
  fake_.AnswerStatus(6, 0, 0);
  EXPECT_TRUE(ImpressoraOK("001", false, true, false));
  EXPECT_EQ(fake_.CallCount("IBM_FI_CancelaCupom"), 1);
  EXPECT_EQ(stMensagemTaa, "");
}

TEST_F(ImpressoraOKTest, RefusedCommand) {
  fake_.AnswerStatus(21, 0, 0);
  EXPECT_FALSE(ImpressoraOK("001", false, false, false));
  EXPECT_EQ(LogEntries(), Strings{"ERRO!!! NAK recebido"});
  EXPECT_TRUE(host_.dialogs().empty());
  EXPECT_FALSE(ImpressoraOK("001", true, false, false));
  EXPECT_EQ(host_.DialogTexts(), Strings{"Impressora fiscal com erro."});
}

}  // namespace
}  // namespace zel::test
