// The C entry points of the simulated printer library: each one hands its
// arguments to the printer model through the session (session.h).
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "emulator/amounts.h"
#include "emulator/ibmfi32.h"
#include "emulator/layouts.h"
#include "emulator/session.h"
#include "platform/platform.h"

using zel::emu::Digits;
using zel::emu::Printer;
using zel::emu::Session;

namespace {

std::string_view T(const char* text) { return text ? std::string_view(text) : std::string_view(); }

// Copies at most `width` bytes of `value` into the caller's buffer; no NUL.
void Put(char* buffer, size_t width, const std::string& value) {
  std::memcpy(buffer, value.data(), std::min(width, value.size()));
}

template <typename Body>
int32_t Run(const char* entry, Body body) {
  return Session::Instance().Call(entry, [&](Printer& p) { return body(p); });
}

// A query that fills one buffer of `width` with value(printer).
template <typename Value>
int32_t Fill(const char* entry, char* buffer, size_t width, Value value) {
  return Run(entry, [&](Printer& p) {
    if (buffer == nullptr) return p.InvalidArgument();
    int code = p.Query();
    Put(buffer, width, value(p));
    return code;
  });
}

template <typename Value>
int32_t FillInt(const char* entry, int32_t* out, Value value) {
  return Run(entry, [&](Printer& p) {
    if (out == nullptr) return p.InvalidArgument();
    int code = p.Query();
    *out = value(p);
    return code;
  });
}

// `fresh`: ask the printer for its state now (a command of its own, which
// clears the last command's error bits); otherwise report the outcome of the
// last command.
int32_t StatusQuery(const char* entry, int32_t* ack, int32_t* st1, int32_t* st2, bool fresh) {
  return Run(entry, [&](Printer& p) {
    if (!ack || !st1 || !st2) return static_cast<int>(zel::emu::kInvalidParameter);
    if (fresh) p.Query();
    int a, s1, s2;
    p.Status(&a, &s1, &s2);
    *ack = a, *st1 = s1, *st2 = s2;
    return zel::emu::kOk;
  });
}

std::string DdMmYy(zel::TDateTime t) {
  int y, m, d;
  zel::DecodeDate(t, y, m, d);
  return Digits(d, 2) + Digits(m, 2) + Digits(y % 100, 2);
}

std::string HhMmSs(zel::TDateTime t) {
  int h, n, s, ms;
  zel::DecodeTime(t, h, n, s, ms);
  return Digits(h, 2) + Digits(n, 2) + Digits(s, 2);
}

std::string Padded(const std::string& s, size_t width) {
  std::string t = s.substr(0, width);
  return t + std::string(width - t.size(), ' ');
}

const zel::emu::Counters& C(Printer& p) { return p.memory().counters; }

}  // namespace

extern "C" {

// ---- Port and status ----
int32_t IBM_FI_AbrePortaSerial(void) {
  return Run("IBM_FI_AbrePortaSerial", [](Printer& p) { return p.Query(); });
}
int32_t IBM_FI_FechaPortaSerial(void) {
  return Run("IBM_FI_FechaPortaSerial", [](Printer& p) { return p.Query(); });
}
int32_t IBM_FI_IniciaPorta(const char*) {
  return Run("IBM_FI_IniciaPorta", [](Printer& p) { return p.Query(); });
}
int32_t IBM_FI_VerificaEstadoImpressora(int32_t* ack, int32_t* st1, int32_t* st2) {
  return StatusQuery("IBM_FI_VerificaEstadoImpressora", ack, st1, st2, true);
}
int32_t IBM_FI_RetornoImpressora(int32_t* ack, int32_t* st1, int32_t* st2) {
  return StatusQuery("IBM_FI_RetornoImpressora", ack, st1, st2, false);
}
int32_t IBM_FI_VerificaImpressoraLigada(void) {
  return Run("IBM_FI_VerificaImpressoraLigada", [](Printer& p) { return p.Query(); });
}
int32_t IBM_FI_LeArquivoRetorno(void) {
  return Run("IBM_FI_LeArquivoRetorno", [](Printer& p) { return p.Query(); });
}
int32_t IBM_FI_FlagsFiscais(int32_t* flags) {
  return FillInt("IBM_FI_FlagsFiscais", flags, [](Printer& p) { return p.FiscalFlags(); });
}
int32_t IBM_FI_StatusEstendidoMFD(int32_t* status) {
  return FillInt("IBM_FI_StatusEstendidoMFD", status,
                 [](Printer& p) { return p.ExtendedStatus(); });
}

// ---- Identity, clock and counters ----
int32_t IBM_FI_DataMovimento(char* date) {
  return Fill("IBM_FI_DataMovimento", date, 6, [](Printer& p) {
    int d = p.memory().movement_date;
    // No fiscal day open: the buffer keeps its blanks.
    if (d == 0) return std::string();
    return Digits(d % 100, 2) + Digits(d / 100 % 100, 2) + Digits(d / 10000 % 100, 2);
  });
}
int32_t IBM_FI_DataHoraImpressora(char* date, char* time) {
  return Run("IBM_FI_DataHoraImpressora", [&](Printer& p) {
    if (!date || !time) return p.InvalidArgument();
    int code = p.Query();
    Put(date, 6, DdMmYy(p.Now()));
    Put(time, 6, HhMmSs(p.Now()));
    return code;
  });
}
int32_t IBM_FI_DataHoraSoftwareBasico(char* date, char* time) {
  return Run("IBM_FI_DataHoraSoftwareBasico", [&](Printer& p) {
    if (!date || !time) return p.InvalidArgument();
    int code = p.Query();
    const std::string_view d = zel::emu::kSoftwareDate;
    Put(date, 6,
        std::string(d.substr(6, 2)) + std::string(d.substr(4, 2)) + std::string(d.substr(2, 2)));
    Put(time, 6, std::string(zel::emu::kSoftwareTime));
    return code;
  });
}
int32_t IBM_FI_NumeroCaixa(char* number) {
  return Fill("IBM_FI_NumeroCaixa", number, 4,
              [](Printer& p) { return Digits(p.config().ecf_number, 4); });
}
int32_t IBM_FI_NumeroSerie(char* serial) {
  return Fill("IBM_FI_NumeroSerie", serial, 20,
              [](Printer& p) { return Padded(p.config().serial, 20); });
}
int32_t IBM_FI_NumeroSerieMFD(char* serial) {
  return Fill("IBM_FI_NumeroSerieMFD", serial, 20,
              [](Printer& p) { return Padded(p.config().serial, 20); });
}
int32_t IBM_FI_MarcaModeloTipoImpressoraMFD(char* make, char* model, char* type) {
  return Run("IBM_FI_MarcaModeloTipoImpressoraMFD", [&](Printer& p) {
    if (!make || !model || !type) return p.InvalidArgument();
    int code = p.Query();
    Put(make, 15, Padded(p.config().make, 15));
    Put(model, 20, Padded(p.config().model, 20));
    Put(type, 7, Padded(p.config().type, 7));
    return code;
  });
}
int32_t IBM_FI_VersaoFirmwareMFD(char* version) {
  return Fill("IBM_FI_VersaoFirmwareMFD", version, 6,
              [](Printer& p) { return Padded(p.config().firmware, 6); });
}
int32_t IBM_FI_NumeroCupom(char* coo) {
  return Fill("IBM_FI_NumeroCupom", coo, 6, [](Printer& p) { return Digits(C(p).coo, 6); });
}
int32_t IBM_FI_InicioFimCOOsMFD(char* first, char* last) {
  return Run("IBM_FI_InicioFimCOOsMFD", [&](Printer& p) {
    if (!first || !last) return p.InvalidArgument();
    int code = p.Query();
    int start = p.memory().day.first_coo != 0 ? p.memory().day.first_coo : C(p).coo;
    Put(first, 6, Digits(start, 6));
    Put(last, 6, Digits(C(p).coo, 6));
    return code;
  });
}
int32_t IBM_FI_NumeroCuponsCancelados(char* count) {
  return Fill("IBM_FI_NumeroCuponsCancelados", count, 4,
              [](Printer& p) { return Digits(C(p).cfc, 4); });
}
int32_t IBM_FI_GrandeTotal(char* total) {
  return Fill("IBM_FI_GrandeTotal", total, 18,
              [](Printer& p) { return Digits(p.memory().grand_total, 18); });
}
int32_t IBM_FI_ContadorCupomFiscalMFD(char* ccf) {
  return Fill("IBM_FI_ContadorCupomFiscalMFD", ccf, 6,
              [](Printer& p) { return Digits(C(p).ccf, 6); });
}
int32_t IBM_FI_NumeroSubstituicoesProprietario(char* count) {
  return Fill("IBM_FI_NumeroSubstituicoesProprietario", count, 4,
              [](Printer& p) { return Digits(C(p).substitutions, 4); });
}
int32_t IBM_FI_NumeroOperacoesNaoFiscais(char* gnf) {
  return Fill("IBM_FI_NumeroOperacoesNaoFiscais", gnf, 6,
              [](Printer& p) { return Digits(C(p).gnf, 6); });
}
int32_t IBM_FI_NumeroIntervencoes(char* cro) {
  return Fill("IBM_FI_NumeroIntervencoes", cro, 4, [](Printer& p) { return Digits(C(p).cro, 4); });
}
int32_t IBM_FI_NumeroReducoes(char* crz) {
  return Fill("IBM_FI_NumeroReducoes", crz, 4, [](Printer& p) { return Digits(C(p).crz, 4); });
}
int32_t IBM_FI_VendaBruta(char* amount) {
  return Fill("IBM_FI_VendaBruta", amount, 18,
              [](Printer& p) { return Digits(p.memory().day.gross, 18); });
}
int32_t IBM_FI_Cancelamentos(char* amount) {
  return Fill("IBM_FI_Cancelamentos", amount, 14, [](Printer& p) {
    return Digits(p.memory().day.cancel_icms + p.memory().day.cancel_iss, 14);
  });
}
int32_t IBM_FI_Descontos(char* amount) {
  return Fill("IBM_FI_Descontos", amount, 14, [](Printer& p) {
    return Digits(p.memory().day.discount_icms + p.memory().day.discount_iss, 14);
  });
}
int32_t IBM_FI_Acrescimos(char* amount) {
  return Fill("IBM_FI_Acrescimos", amount, 14, [](Printer& p) {
    return Digits(p.memory().day.surcharge_icms + p.memory().day.surcharge_iss, 14);
  });
}
int32_t IBM_FI_ContadorRelatoriosGerenciaisMFD(char* grg) {
  return Fill("IBM_FI_ContadorRelatoriosGerenciaisMFD", grg, 6,
              [](Printer& p) { return Digits(C(p).grg, 6); });
}
int32_t IBM_FI_ContadorComprovantesCreditoMFD(char* cdc) {
  return Fill("IBM_FI_ContadorComprovantesCreditoMFD", cdc, 6,
              [](Printer& p) { return Digits(C(p).cdc, 6); });
}

// ---- Tables ----
int32_t IBM_FI_RetornoAliquotas(char* rates) {
  return Fill("IBM_FI_RetornoAliquotas", rates, 79,
              [](Printer& p) { return zel::emu::RatesRecord(p.memory().rates); });
}
int32_t IBM_FI_VerificaAliquotasIss(char* rates) {
  return Fill("IBM_FI_VerificaAliquotasIss", rates, 79,
              [](Printer& p) { return zel::emu::IssRatesRecord(p.memory().rates); });
}
int32_t IBM_FI_ProgramaFormaPagamentoMFD(const char* name, const char* linked) {
  return Run("IBM_FI_ProgramaFormaPagamentoMFD",
             [&](Printer& p) { return p.ProgramPaymentForm(T(name), T(linked)); });
}
int32_t IBM_FI_VerificaFormasPagamento(char* forms) {
  return Fill("IBM_FI_VerificaFormasPagamento", forms, 3016,
              [](Printer& p) { return zel::emu::PaymentFormsRecord(p.memory()); });
}
int32_t IBM_FI_NomeiaTotalizadorNaoSujeitoIcms(int32_t index, const char* name) {
  return Run("IBM_FI_NomeiaTotalizadorNaoSujeitoIcms",
             [&](Printer& p) { return p.NameTotalizer(index, T(name)); });
}
int32_t IBM_FI_VerificaTotalizadoresNaoFiscais(char* names) {
  return Fill("IBM_FI_VerificaTotalizadoresNaoFiscais", names, 179,
              [](Printer& p) { return zel::emu::TotalizerNamesRecord(p.memory()); });
}
int32_t IBM_FI_VerificaTotalizadoresParciais(char* totals) {
  return Fill("IBM_FI_VerificaTotalizadoresParciais", totals, 445,
              [](Printer& p) { return zel::emu::PartialTotalsRecord(p.memory()); });
}
int32_t IBM_FI_VerificaRecebimentoNaoFiscal(char* list) {
  return Fill("IBM_FI_VerificaRecebimentoNaoFiscal", list, 2200,
              [](Printer& p) { return zel::emu::NonFiscalRecord(p.memory()); });
}
int32_t IBM_FI_VerificaRecebimentoNaoFiscalMFD(char* list) {
  return Fill("IBM_FI_VerificaRecebimentoNaoFiscalMFD", list, 2200,
              [](Printer& p) { return zel::emu::NonFiscalRecord(p.memory()); });
}

// ---- Fiscal receipt ----
int32_t IBM_FI_AbreCupom(const char* cpf) {
  return Run("IBM_FI_AbreCupom", [&](Printer& p) { return p.OpenReceipt(T(cpf), "", ""); });
}
int32_t IBM_FI_AbreCupomMFD(const char* cpf, const char* name, const char* address) {
  return Run("IBM_FI_AbreCupomMFD",
             [&](Printer& p) { return p.OpenReceipt(T(cpf), T(name), T(address)); });
}
int32_t IBM_FI_VendeItemDepartamento(const char* code, const char* description, const char* tax,
                                     const char* price, const char* quantity, const char* surcharge,
                                     const char* discount, const char* department,
                                     const char* unit) {
  return Run("IBM_FI_VendeItemDepartamento", [&](Printer& p) {
    return p.SellItem(T(code), T(description), T(tax), T(price), T(quantity), T(surcharge),
                      T(discount), T(department), T(unit));
  });
}
int32_t IBM_FI_VendeItem(const char* code, const char* description, const char* tax,
                         const char* price, const char* quantity, const char* discount) {
  return Run("IBM_FI_VendeItem", [&](Printer& p) {
    return p.SellItem(T(code), T(description), T(tax), T(price), T(quantity), "0", T(discount),
                      "01", "UN");
  });
}
int32_t IBM_FI_AumentaDescricaoItem(const char* description) {
  return Run("IBM_FI_AumentaDescricaoItem",
             [&](Printer& p) { return p.ExtendDescription(T(description)); });
}
int32_t IBM_FI_AtivaDesativaVendaUmaLinhaMFD(int32_t on) {
  return Run("IBM_FI_AtivaDesativaVendaUmaLinhaMFD",
             [&](Printer& p) { return p.SetOneLineItems(on); });
}
int32_t IBM_FI_CancelaItemAnterior(void) {
  return Run("IBM_FI_CancelaItemAnterior", [](Printer& p) { return p.CancelLastItem(); });
}
int32_t IBM_FI_CancelaItemGenerico(const char* item) {
  return Run("IBM_FI_CancelaItemGenerico", [&](Printer& p) { return p.CancelItem(T(item)); });
}
int32_t IBM_FI_IniciaFechamentoCupom(const char* kind, const char* mode, const char* value) {
  return Run("IBM_FI_IniciaFechamentoCupom",
             [&](Printer& p) { return p.StartClosing(T(kind), T(mode), T(value)); });
}
int32_t IBM_FI_EfetuaFormaPagamento(const char* form, const char* amount) {
  return Run("IBM_FI_EfetuaFormaPagamento", [&](Printer& p) { return p.Pay(T(form), T(amount)); });
}
int32_t IBM_FI_TerminaFechamentoCupom(const char* footer) {
  return Run("IBM_FI_TerminaFechamentoCupom",
             [&](Printer& p) { return p.FinishClosing(T(footer)); });
}
int32_t IBM_FI_CancelaCupom(void) {
  return Run("IBM_FI_CancelaCupom", [](Printer& p) { return p.CancelReceipt(); });
}

// ---- Non-fiscal documents ----
int32_t IBM_FI_RecebimentoNaoFiscal(const char* totalizer, const char* amount, const char* form) {
  return Run("IBM_FI_RecebimentoNaoFiscal",
             [&](Printer& p) { return p.NonFiscalReceipt(T(totalizer), T(amount), T(form)); });
}
int32_t IBM_FI_AbreComprovanteNaoFiscalVinculado(const char* form, const char* amount,
                                                 const char* coo) {
  return Run("IBM_FI_AbreComprovanteNaoFiscalVinculado",
             [&](Printer& p) { return p.OpenLinked(T(form), T(amount), T(coo)); });
}
int32_t IBM_FI_UsaComprovanteNaoFiscalVinculado(const char* text) {
  return Run("IBM_FI_UsaComprovanteNaoFiscalVinculado",
             [&](Printer& p) { return p.PrintText(T(text)); });
}
int32_t IBM_FI_FechaComprovanteNaoFiscalVinculado(void) {
  return Run("IBM_FI_FechaComprovanteNaoFiscalVinculado",
             [](Printer& p) { return p.CloseLinked(); });
}
int32_t IBM_FI_RelatorioGerencial(const char* text) {
  return Run("IBM_FI_RelatorioGerencial", [&](Printer& p) { return p.Report(T(text)); });
}
int32_t IBM_FI_FechaRelatorioGerencial(void) {
  return Run("IBM_FI_FechaRelatorioGerencial", [](Printer& p) { return p.CloseReport(); });
}
int32_t IBM_FI_Suprimento(const char* amount, const char* form) {
  return Run("IBM_FI_Suprimento", [&](Printer& p) { return p.Supply(T(amount), T(form)); });
}
int32_t IBM_FI_Sangria(const char* amount) {
  return Run("IBM_FI_Sangria", [&](Printer& p) { return p.Withdrawal(T(amount)); });
}
int32_t IBM_FI_AberturaDoDia(const char* amount, const char* form) {
  return Run("IBM_FI_AberturaDoDia", [&](Printer& p) {
    auto v = zel::emu::ParseCentsField(T(amount));
    if (zel::emu::IsBlank(T(amount)) || (v && *v == 0)) return p.Query();
    return p.Supply(T(amount), T(form));
  });
}
int32_t IBM_FI_AcionaGaveta(void) {
  return Run("IBM_FI_AcionaGaveta", [](Printer& p) { return p.OpenDrawer(); });
}
int32_t IBM_FI_VerificaEstadoGaveta(int32_t* state) {
  return Run("IBM_FI_VerificaEstadoGaveta", [&](Printer& p) {
    if (state == nullptr) return p.InvalidArgument();
    int s = 0;
    int code = p.DrawerState(&s);
    *state = s;
    return code;
  });
}
int32_t IBM_FI_AcionaGuilhotinaMFD(int32_t mode) {
  return Run("IBM_FI_AcionaGuilhotinaMFD", [&](Printer& p) { return p.Cut(mode); });
}
int32_t IBM_FI_ProgramaHorarioVerao(void) {
  return Run("IBM_FI_ProgramaHorarioVerao", [](Printer& p) { return p.SwitchDaylightSaving(); });
}

#define ZEL_BARCODE(Name, Kind)                                       \
  int32_t IBM_FI_CodigoBarras##Name##MFD(const char* data) {          \
    return Run("IBM_FI_CodigoBarras" #Name "MFD",                     \
               [&](Printer& p) { return p.Barcode(Kind, T(data)); }); \
  }
ZEL_BARCODE(CODABAR, "CODABAR")
ZEL_BARCODE(CODE128, "CODE128")
ZEL_BARCODE(CODE39, "CODE39")
ZEL_BARCODE(CODE93, "CODE93")
ZEL_BARCODE(EAN13, "EAN13")
ZEL_BARCODE(EAN8, "EAN8")
ZEL_BARCODE(ISBN, "ISBN")
ZEL_BARCODE(ITF, "ITF")
ZEL_BARCODE(MSI, "MSI")
ZEL_BARCODE(PLESSEY, "PLESSEY")
ZEL_BARCODE(UPCA, "UPCA")
ZEL_BARCODE(UPCE, "UPCE")
#undef ZEL_BARCODE

// ---- Readings ----
int32_t IBM_FI_LeituraX(void) {
  return Run("IBM_FI_LeituraX", [](Printer& p) { return p.ReadingX(); });
}
int32_t IBM_FI_LeituraXSerial(void) {
  return Run("IBM_FI_LeituraXSerial", [](Printer& p) {
    std::string text;
    int code = p.ReadingX(&text);
    if (code != zel::emu::kOk) return code;
    std::string file = zel::platform::JoinPath(Session::Instance().ResultPath(), "Retorno.txt");
    if (!zel::platform::Current().WriteFileAtomically(file, text)) return p.NotAvailable();
    return code;
  });
}
int32_t IBM_FI_ReducaoZ(const char*, const char*) {
  return Run("IBM_FI_ReducaoZ", [](Printer& p) { return p.ReductionZ(); });
}
int32_t IBM_FI_DadosUltimaReducao(char* record) {
  return Fill("IBM_FI_DadosUltimaReducao", record, 1278,
              [](Printer& p) { return zel::emu::LastReductionRecord(p.memory()); });
}
int32_t IBM_FI_DadosUltimaReducaoMFD(char* record) {
  return Fill("IBM_FI_DadosUltimaReducaoMFD", record, 1278,
              [](Printer& p) { return zel::emu::LastReductionRecord(p.memory()); });
}

// ---- Fiscal-memory readings, MFD and regulatory files ----
int32_t IBM_FI_LeituraMemoriaFiscalData(const char* start, const char* end) {
  return Run("IBM_FI_LeituraMemoriaFiscalData",
             [&](Printer& p) { return p.FiscalMemoryReading(true, T(start), T(end)); });
}
int32_t IBM_FI_LeituraMemoriaFiscalReducao(const char* start, const char* end) {
  return Run("IBM_FI_LeituraMemoriaFiscalReducao",
             [&](Printer& p) { return p.FiscalMemoryReading(false, T(start), T(end)); });
}
int32_t IBM_FI_DadosSintegra(const char*, const char*) {
  return Run("IBM_FI_DadosSintegra", [](Printer& p) { return p.NotAvailable(); });
}
int32_t IBM_FI_MapaResumo(void) {
  return Run("IBM_FI_MapaResumo", [](Printer& p) { return p.NotAvailable(); });
}

// ---- Control ----
int32_t IBM_EMU_Control(const char* command, char* answer, int32_t answer_size) {
  std::string text;
  int code = Session::Instance().Control(T(command), &text);
  if (answer != nullptr && answer_size > 0) {
    size_t n = std::min(text.size(), static_cast<size_t>(answer_size - 1));
    std::memcpy(answer, text.data(), n);
    answer[n] = '\0';
  }
  return code;
}

}  // extern "C"
