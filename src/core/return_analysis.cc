// Return analysis: turns a vendor return code and the printer's status bytes
// into debug-log lines, operator dialogs, the self-service message text and
// one success flag.
#include <cstdint>
#include <string>

#include "core/return_analysis.h"

#include "core/message_tables.h"
#include "hostutil/host_services.h"
#include "zel01900/core.h"

namespace {

constexpr int32_t kNak = 21;

struct CodeKey {
  int32_t code;
  const char* key;
};

// Vendor return codes that are reported, with their message keys. -8 has no
// entry in the message table; the operator then sees the key itself.
constexpr CodeKey kReturnCodes[] = {
    {0, "ErroComunicacao"}, {-1, "ErroExecucao"},  {-2, "ParamInvalido"}, {-3, "AliqNProg"},
    {-4, "ErroArqIni"},     {-5, "ErroPorta"},     {-6, "ImpDeslig"},     {-7, "BancoNCad"},
    {-8, "ErroGravacao"},   {-18, "ErroAbrirArq"}, {-19, "ParamErro"},    {-20, "TransCanc"},
    {-21, "TransAprov"},    {-22, "ImpNConcl"},    {-23, "OperNConcl"},   {-24, "FormPgtoNProg"},
    {-25, "TotNFisNProg"},  {-26, "TransEfet"},    {-28, "InfNImpre"},
};

enum class Handling { kStandard, kLowPaper, kOpenReceipt };

struct StatusBit {
  int weight;
  const char* key;
  Handling handling;
};

constexpr StatusBit kSt1Bits[] = {
    {128, "FimPapel", Handling::kStandard},     {64, "PoucoPapel", Handling::kLowPaper},
    {32, "ErroRelogio", Handling::kStandard},   {16, "ImpErro", Handling::kStandard},
    {8, "SyntaxErro", Handling::kStandard},     {4, "ComandoErro", Handling::kStandard},
    {2, "CupomAberto", Handling::kOpenReceipt}, {1, "ParamErro", Handling::kStandard},
};

constexpr StatusBit kSt2Bits[] = {
    {128, "TipoParamErro", Handling::kStandard}, {64, "MemLotada", Handling::kStandard},
    {32, "MemRAMErro", Handling::kStandard},     {16, "AliqNProg", Handling::kStandard},
    {8, "AliqLotada", Handling::kStandard},      {4, "CancNPermitido", Handling::kStandard},
    {2, "CGCIENProg", Handling::kStandard},      {1, "ComandoNExec", Handling::kStandard},
};

void ShowNotice(const std::string& text, const std::string& esquema) {
  zel::Mensagem(text, "", "N", "N", zel::kDialogInformation, "", esquema, 0);
}

// Logs, collects for the self-service host and (when asked) shows one
// condition; the analysed operation has then failed.
void ReportStandard(const std::string& text, const std::string& esquema, bool mostra,
                    bool& result) {
  ImpFisDebug("ERRO!!! " + text);
  stMensagemTaa += " " + text;
  if (mostra) ShowNotice(text, esquema);
  result = false;
}

// The printer could not report its status or refused the command.
void ReportStatusFailure(const std::string& log_line, const std::string& esquema, bool mostra,
                         bool& result) {
  const std::string text = zel::core::MsgPadrao("ImpErro");
  ImpFisDebug(log_line);
  stMensagemTaa += " " + text;
  if (mostra) ShowNotice(text, esquema);
  result = false;
}

// Cancels the receipt the printer holds open and analyses the cancellation
// quietly: its findings go to the debug log and stMensagemTaa only.
void CancelOpenReceipt(const std::string& esquema) {
  const int32_t code = IBM_FI_CancelaCupom();
  AnalisaRetorno(esquema, code, false, false, false);
}

}  // namespace

namespace zel::core {

bool StatusReading::Refused() const {
  constexpr int32_t kSt1Refusals = 8 | 4 | 1;               // syntax, command, parameters
  constexpr int32_t kSt2Refusals = 128 | 16 | 8 | 4 | 2 | 1;  // see kSt2Bits
  return read && (ack == kNak || (st1 & kSt1Refusals) != 0 || (st2 & kSt2Refusals) != 0);
}

bool AnalyseReturn(const std::string& stEsquema, int32_t inCodigo, bool boMostra,
                   bool boCancelaCupomAberto, bool boAvisaPoucoPapel, StatusReading* reading) {
  bool result = true;
  for (const CodeKey& entry : kReturnCodes) {
    if (entry.code == inCodigo) {
      ReportStandard(zel::core::MsgPadrao(entry.key), stEsquema, boMostra, result);
      break;
    }
  }

  int32_t ack = 0;
  int32_t st1 = 0;
  int32_t st2 = 0;
  if (IBM_FI_RetornoImpressora(&ack, &st1, &st2) != 1) {
    ReportStatusFailure("ERRO!!! Ret recebido", stEsquema, boMostra, result);
    return result;
  }
  if (reading) *reading = StatusReading{true, ack, st1, st2};
  if (ack == kNak) {
    ReportStatusFailure("ERRO!!! NAK recebido", stEsquema, boMostra, result);
    return result;
  }

  auto decode = [&](int32_t remaining, const StatusBit(&bits)[8]) {
    for (const StatusBit& bit : bits) {
      if (remaining < bit.weight) continue;
      remaining -= bit.weight;
      const std::string text = zel::core::MsgPadrao(bit.key);
      switch (bit.handling) {
        case Handling::kStandard:
          ReportStandard(text, stEsquema, boMostra, result);
          break;
        case Handling::kLowPaper:
          ImpFisDebug("ERRO!!! " + text);
          if (boAvisaPoucoPapel && boMostra) ShowNotice(text, stEsquema);
          break;
        case Handling::kOpenReceipt:
          if (boCancelaCupomAberto) {
            ImpFisDebug("ERRO!!! " + text);
            stMensagemTaa += " " + text;
            CancelOpenReceipt(stEsquema);
          }
          break;
      }
    }
  };
  decode(st1, kSt1Bits);
  decode(st2, kSt2Bits);
  return result;
}

}  // namespace zel::core

bool AnalisaRetorno(const std::string& stEsquema, int32_t inCodigo, bool boMostra,
                    bool boCancelaCupomAberto, bool boAvisaPoucoPapel) {
  return zel::core::AnalyseReturn(stEsquema, inCodigo, boMostra, boCancelaCupomAberto,
                                  boAvisaPoucoPapel, nullptr);
}

bool ImpressoraOK(const std::string& esquema, bool mostra, bool cancela_cupom_aberto,
                  bool avisa_pouco_papel) {
  int32_t ack = 0;
  int32_t st1 = 0;
  int32_t st2 = 0;
  IBM_FI_RetornoImpressora(&ack, &st1, &st2);

  if (ack == kNak) {
    ImpFisDebug("ERRO!!! NAK recebido");
    if (mostra) ShowNotice(zel::core::MsgPadrao("ImpErro"), esquema);
    return false;
  }

  bool result = true;
  auto decode = [&](int32_t remaining, const StatusBit(&bits)[8]) {
    for (const StatusBit& bit : bits) {
      if (remaining < bit.weight) continue;
      remaining -= bit.weight;
      const std::string text = zel::core::MsgPadrao(bit.key);
      switch (bit.handling) {
        case Handling::kStandard:
          result = false;
          if (mostra) {
            ImpFisDebug("ERRO!!! " + text);
            ShowNotice(text, esquema);
          }
          break;
        case Handling::kLowPaper:
          if (mostra && avisa_pouco_papel) {
            ImpFisDebug("ERRO!!! " + text);
            ShowNotice(text, esquema);
          }
          break;
        case Handling::kOpenReceipt:
          ImpFisDebug("ERRO!!! " + text);
          if (cancela_cupom_aberto) CancelOpenReceipt(esquema);
          break;
      }
    }
  };
  decode(st1, kSt1Bits);
  decode(st2, kSt2Bits);
  return result;
}
