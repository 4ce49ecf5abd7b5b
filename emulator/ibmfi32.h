// The C interface of the simulated printer library (libIBMFI32.so), the
// substitute for the vendor library IBMFI32.dll. Every entry point returns a
// 32-bit code: 1 success; 0 communication error ("done but no answer" fault);
// -1 the printer refused the command (the status bytes tell why); -2 invalid
// parameter; -3 tax rate not programmed; -4 IBMFI32.INI missing from the
// system directory; -6 printer off; -24 payment form not programmed; -25
// non-fiscal totalizer not programmed.
//
// Argument forms:
// - const char* texts are NUL-terminated Windows-1252; a null pointer means an
//   empty text.
// - char* result buffers come with a fixed width (the number in the comment);
//   the library writes at most that many bytes and never a terminating NUL
//   beyond it. A null buffer is refused with -2.
// - int32_t* results are set on success; a null pointer is refused with -2.
//
// IBM_FI_VerificaEstadoImpressora asks the printer for its state now (ACK 6,
// the standing conditions only). After any call, IBM_FI_RetornoImpressora
// gives ACK (6, or 21 when the
// command was refused at protocol level by a "nak" fault) and the status bytes
// ST1/ST2: ST1 128 paper out, 64 paper near end, 32 clock error, 16 printer
// error, 8 syntax error, 4 unknown command, 2 fiscal receipt open, 1 wrong
// parameter count; ST2 128 wrong parameter type, 64 memory full, 32 memory
// error, 16 tax rate not programmed, 8 tax-rate table full, 4 cancellation
// not allowed, 2 owner CNPJ/IE not programmed, 1 command not executed.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The ABI of the entry points: exported from the DLL on Windows, with the
// vendor library's calling convention (__stdcall) on 32-bit Windows, where it
// differs from the C default.
#if defined(_WIN32)
#define IBMFI32_EXPORT __declspec(dllexport)
#else
#define IBMFI32_EXPORT __attribute__((visibility("default")))
#endif
#if defined(_WIN32) && defined(__i386__)
#define IBMFI32_CALL __stdcall
#else
#define IBMFI32_CALL
#endif

// ---- Port and status ----
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_AbrePortaSerial(void);  // reloads the memory file
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_FechaPortaSerial(void);
IBMFI32_EXPORT int32_t IBMFI32_CALL
IBM_FI_IniciaPorta(const char* port);  // same as AbrePortaSerial
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VerificaEstadoImpressora(int32_t* ack, int32_t* st1,
                                                                    int32_t* st2);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_RetornoImpressora(int32_t* ack, int32_t* st1,
                                                             int32_t* st2);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VerificaImpressoraLigada(void);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_LeArquivoRetorno(void);  // nothing to read: answers 1
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_FlagsFiscais(int32_t* flags);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_StatusEstendidoMFD(int32_t* status);

// ---- Identity, clock and counters (buffer widths in the comments) ----
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_DataMovimento(char* date6);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_DataHoraImpressora(char* date6, char* time6);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_DataHoraSoftwareBasico(char* date6, char* time6);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NumeroCaixa(char* number4);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NumeroSerie(char* serial20);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NumeroSerieMFD(char* serial20);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_MarcaModeloTipoImpressoraMFD(char* make15, char* model20,
                                                                        char* type7);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VersaoFirmwareMFD(char* version6);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NumeroCupom(char* coo6);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_InicioFimCOOsMFD(char* first6, char* last6);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NumeroCuponsCancelados(char* count4);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_GrandeTotal(char* total18);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_ContadorCupomFiscalMFD(char* ccf6);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NumeroSubstituicoesProprietario(char* count4);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NumeroOperacoesNaoFiscais(char* gnf6);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NumeroIntervencoes(char* cro4);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NumeroReducoes(char* crz4);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VendaBruta(char* amount18);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_Cancelamentos(char* amount14);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_Descontos(char* amount14);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_Acrescimos(char* amount14);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_ContadorRelatoriosGerenciaisMFD(char* grg6);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_ContadorComprovantesCreditoMFD(char* cdc6);

// ---- Tables: tax rates, payment forms, non-fiscal totalizers ----
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_RetornoAliquotas(char* rates79);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VerificaAliquotasIss(char* rates79);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_ProgramaFormaPagamentoMFD(const char* name,
                                                                     const char* linked);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VerificaFormasPagamento(char* forms3016);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_NomeiaTotalizadorNaoSujeitoIcms(int32_t index,
                                                                           const char* name);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VerificaTotalizadoresNaoFiscais(char* names179);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VerificaTotalizadoresParciais(char* totals445);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VerificaRecebimentoNaoFiscal(char* list2200);
IBMFI32_EXPORT int32_t IBMFI32_CALL
IBM_FI_VerificaRecebimentoNaoFiscalMFD(char* list2200);  // same list

// ---- Fiscal receipt ----
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_AbreCupom(const char* cpf);  // AbreCupomMFD(cpf, "", "")
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_AbreCupomMFD(const char* cpf, const char* name,
                                                        const char* address);
// Prices and quantities as decimals ("10,99", "2,000"); surcharge and discount
// as digits in cents ("00000150") or decimals with a separator.
IBMFI32_EXPORT int32_t IBMFI32_CALL
IBM_FI_VendeItemDepartamento(const char* code, const char* description, const char* tax,
                             const char* price, const char* quantity, const char* surcharge,
                             const char* discount, const char* department, const char* unit);
// VendeItemDepartamento(code, description, tax, price, quantity, "0", discount, "01", "UN").
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_VendeItem(const char* code, const char* description,
                                                     const char* tax, const char* price,
                                                     const char* quantity, const char* discount);
// Longer description (up to 200 characters) for the next item sold.
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_AumentaDescricaoItem(const char* description);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_AtivaDesativaVendaUmaLinhaMFD(int32_t on);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CancelaItemAnterior(void);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CancelaItemGenerico(const char* item_number);
// kind "D"/"d" discount or "A"/"a" surcharge; mode "$" amount or "%" percent.
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_IniciaFechamentoCupom(const char* kind, const char* mode,
                                                                 const char* value);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_EfetuaFormaPagamento(const char* form,
                                                                const char* amount);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_TerminaFechamentoCupom(const char* footer);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CancelaCupom(void);

// ---- Non-fiscal documents ----
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_RecebimentoNaoFiscal(const char* totalizer,
                                                                const char* amount,
                                                                const char* form);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_AbreComprovanteNaoFiscalVinculado(const char* form,
                                                                             const char* amount,
                                                                             const char* coo);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_UsaComprovanteNaoFiscalVinculado(const char* text);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_FechaComprovanteNaoFiscalVinculado(void);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_RelatorioGerencial(const char* text);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_FechaRelatorioGerencial(void);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_Suprimento(const char* amount, const char* form);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_Sangria(const char* amount);
// Opens the fiscal day with a supply (Suprimento when the amount is above 0).
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_AberturaDoDia(const char* amount, const char* form);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_AcionaGaveta(void);
IBMFI32_EXPORT int32_t IBMFI32_CALL
IBM_FI_VerificaEstadoGaveta(int32_t* state);  // 1 open, 0 closed
IBMFI32_EXPORT int32_t IBMFI32_CALL
IBM_FI_AcionaGuilhotinaMFD(int32_t mode);  // 0 full, 1 partial cut
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_ProgramaHorarioVerao(void);
// Barcodes, printed inside an open gerencial report.
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasCODABARMFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasCODE128MFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasCODE39MFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasCODE93MFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasEAN13MFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasEAN8MFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasISBNMFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasITFMFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasMSIMFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasPLESSEYMFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasUPCAMFD(const char* data);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_CodigoBarrasUPCEMFD(const char* data);

// ---- Readings ----
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_LeituraX(void);
// The X reading written to "Retorno.txt" in the Path folder instead of printed.
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_LeituraXSerial(void);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_ReducaoZ(const char* date, const char* time);
IBMFI32_EXPORT int32_t IBMFI32_CALL
IBM_FI_DadosUltimaReducao(char* record1278);  // same as the MFD form
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_DadosUltimaReducaoMFD(char* record1278);

// ---- Fiscal-memory readings, MFD and regulatory files ----
// Printed readings: the fiscal-memory reading by date ("ddmmyy" or
// "dd/mm/yyyy") or by reduction range ("0001"), printed on the tape.
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_LeituraMemoriaFiscalData(const char* start,
                                                                    const char* end);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_LeituraMemoriaFiscalReducao(const char* start,
                                                                       const char* end);
// Not available in this version: -1 with ST2 "command not executed".
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_LeituraMemoriaFiscalDataMFD(const char* start,
                                                                       const char* end,
                                                                       const char* kind);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_LeituraMemoriaFiscalReducaoMFD(const char* start,
                                                                          const char* end,
                                                                          const char* kind);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_LeituraMemoriaFiscalSerialDataMFD(const char* start,
                                                                             const char* end,
                                                                             const char* kind);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD(const char* start,
                                                                                const char* end,
                                                                                const char* kind);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_DownloadMFD(const char* file, const char* range_kind,
                                                       const char* start, const char* end,
                                                       const char* user);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_DownloadMF(const char* file);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_FormatoDadosMFD(const char* source, const char* target,
                                                           const char* format,
                                                           const char* range_kind,
                                                           const char* start, const char* end,
                                                           const char* user);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_GeraAtoCotepe1704(const char* range_kind,
                                                             const char* start, const char* end,
                                                             char* answer512);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_DadosSintegra(const char* start, const char* end);
IBMFI32_EXPORT int32_t IBMFI32_CALL IBM_FI_MapaResumo(void);

// ---- Control of the simulated printer (not part of the vendor library) ----
// Runs one control command (grammar in emulator/README.md), e.g. "power off",
// "paper near-end", "nak next", "fail IBM_FI_VendeItemDepartamento -2 nth 3",
// "done-no-answer next", "clock-skew +960", "reset", "state". Writes a
// readable answer (Windows-1252, NUL-terminated when it fits) into `answer`
// when it is not null and answer_size > 0. Returns 1 on success, -2 for a
// command it does not understand. Works without IBMFI32.INI.
IBMFI32_EXPORT int32_t IBM_EMU_Control(const char* command, char* answer, int32_t answer_size);

#ifdef __cplusplus
}
#endif
