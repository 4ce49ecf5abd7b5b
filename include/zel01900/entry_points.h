// The vendor library's entry points as exported variables of the driver.
//
// Each variable holds the address of the vendor library function of the same
// name, bound by StartImpFiscal in the order of ZEL_VENDOR_ENTRY_POINTS and
// emptied (nullptr) by StopImpFiscal. Every operation of the driver calls the
// printer only through these variables, so a test can put its own functions
// in them.
//
// Argument forms:
//   const char*  a NUL-terminated Windows-1252 text passed in; an empty text
//                is passed as a null pointer.
//   char*        a result buffer the caller fills with exactly n blanks; the
//                library overwrites at most n characters in place.
//   int32_t      a 32-bit integer passed by value.
//   int32_t*     a 32-bit integer that the library sets.
// Every entry point returns a 32-bit code: 1 is success, 0 and the negative
// values are the library's error codes.
//
// The entry points the driver binds but never calls take the plain form
// IbmFnNone; a test or host must not call them through these variables.
//
// The variables keep their vendor names in C++, but their linker symbols carry
// the prefix "zel01900_", so that they never collide with the functions of the
// same name that the vendor library itself exports into the same process.
#pragma once

#include <cstddef>
#include <cstdint>

// The vendor library's calling convention: __stdcall on 32-bit Windows, the
// C default elsewhere. Functions put into the variables below must use it.
#if defined(_WIN32) && defined(__i386__)
#define ZEL_VENDOR_CALL __stdcall
#else
#define ZEL_VENDOR_CALL
#endif

// ---- Entry-point types, named after their argument forms ----
using IbmFnNone = int32_t(ZEL_VENDOR_CALL*)();
using IbmFnStatus = int32_t(ZEL_VENDOR_CALL*)(int32_t* ack, int32_t* st1, int32_t* st2);
using IbmFnP = int32_t(ZEL_VENDOR_CALL*)(int32_t*);
using IbmFnI = int32_t(ZEL_VENDOR_CALL*)(int32_t);
using IbmFnB = int32_t(ZEL_VENDOR_CALL*)(char*);
using IbmFnBB = int32_t(ZEL_VENDOR_CALL*)(char*, char*);
using IbmFnBBB = int32_t(ZEL_VENDOR_CALL*)(char*, char*, char*);
using IbmFnT = int32_t(ZEL_VENDOR_CALL*)(const char*);
using IbmFnTT = int32_t(ZEL_VENDOR_CALL*)(const char*, const char*);
using IbmFnTTT = int32_t(ZEL_VENDOR_CALL*)(const char*, const char*, const char*);
using IbmFnTTTT = int32_t(ZEL_VENDOR_CALL*)(const char*, const char*, const char*, const char*);
using IbmFnT5 = int32_t(ZEL_VENDOR_CALL*)(const char*, const char*, const char*, const char*,
                                          const char*);
using IbmFnT7 = int32_t(ZEL_VENDOR_CALL*)(const char*, const char*, const char*, const char*,
                                          const char*, const char*, const char*);
using IbmFnT9 = int32_t(ZEL_VENDOR_CALL*)(const char*, const char*, const char*, const char*,
                                          const char*, const char*, const char*, const char*,
                                          const char*);
using IbmFnIT = int32_t(ZEL_VENDOR_CALL*)(int32_t, const char*);
// The signing library's "generateEAD": file path, two key texts, a result
// buffer of 256 blanks, an integer flag.
using IbmFnGenerateEAD = int32_t(ZEL_VENDOR_CALL*)(const char*, const char*, const char*, char*,
                                                   int32_t);

// The 95 entry points of the vendor library in binding order: X(name, type).
#define ZEL_VENDOR_ENTRY_POINTS(X)                         \
  X(IBM_FI_AbrePortaSerial, IbmFnNone)                     \
  X(IBM_FI_FechaPortaSerial, IbmFnNone)                    \
  X(IBM_FI_VerificaEstadoImpressora, IbmFnStatus)          \
  X(IBM_FI_RetornoImpressora, IbmFnStatus)                 \
  X(IBM_FI_FechaRelatorioGerencial, IbmFnNone)             \
  X(IBM_FI_LeArquivoRetorno, IbmFnNone)                    \
  X(IBM_FI_DataMovimento, IbmFnB)                          \
  X(IBM_FI_DataHoraImpressora, IbmFnBB)                    \
  X(IBM_FI_NumeroCaixa, IbmFnB)                            \
  X(IBM_FI_NumeroSerie, IbmFnNone)                         \
  X(IBM_FI_NumeroSerieMFD, IbmFnB)                         \
  X(IBM_FI_ProgramaFormaPagamentoMFD, IbmFnTT)             \
  X(IBM_FI_VerificaTotalizadoresNaoFiscais, IbmFnB)        \
  X(IBM_FI_NomeiaTotalizadorNaoSujeitoIcms, IbmFnIT)       \
  X(IBM_FI_RetornoAliquotas, IbmFnB)                       \
  X(IBM_FI_VerificaAliquotasIss, IbmFnB)                   \
  X(IBM_FI_AbreCupom, IbmFnNone)                           \
  X(IBM_FI_AbreCupomMFD, IbmFnTTT)                         \
  X(IBM_FI_NumeroCupom, IbmFnB)                            \
  X(IBM_FI_VendeItem, IbmFnNone)                           \
  X(IBM_FI_VendeItemDepartamento, IbmFnT9)                 \
  X(IBM_FI_CancelaItemGenerico, IbmFnT)                    \
  X(IBM_FI_CancelaCupom, IbmFnNone)                        \
  X(IBM_FI_CancelaItemAnterior, IbmFnNone)                 \
  X(IBM_FI_AcionaGaveta, IbmFnNone)                        \
  X(IBM_FI_IniciaFechamentoCupom, IbmFnTTT)                \
  X(IBM_FI_EfetuaFormaPagamento, IbmFnTT)                  \
  X(IBM_FI_TerminaFechamentoCupom, IbmFnT)                 \
  X(IBM_FI_RecebimentoNaoFiscal, IbmFnTTT)                 \
  X(IBM_FI_ReducaoZ, IbmFnTT)                              \
  X(IBM_FI_AbreComprovanteNaoFiscalVinculado, IbmFnTTT)    \
  X(IBM_FI_UsaComprovanteNaoFiscalVinculado, IbmFnT)       \
  X(IBM_FI_FechaComprovanteNaoFiscalVinculado, IbmFnNone)  \
  X(IBM_FI_LeituraX, IbmFnNone)                            \
  X(IBM_FI_AumentaDescricaoItem, IbmFnNone)                \
  X(IBM_FI_VerificaEstadoGaveta, IbmFnP)                   \
  X(IBM_FI_LeituraXSerial, IbmFnNone)                      \
  X(IBM_FI_DadosUltimaReducao, IbmFnNone)                  \
  X(IBM_FI_DadosUltimaReducaoMFD, IbmFnB)                  \
  X(IBM_FI_DadosSintegra, IbmFnNone)                       \
  X(IBM_FI_MapaResumo, IbmFnNone)                          \
  X(IBM_FI_RelatorioGerencial, IbmFnT)                     \
  X(IBM_FI_Suprimento, IbmFnTT)                            \
  X(IBM_FI_Sangria, IbmFnT)                                \
  X(IBM_FI_Acrescimos, IbmFnB)                             \
  X(IBM_FI_ProgramaHorarioVerao, IbmFnNone)                \
  X(IBM_FI_FlagsFiscais, IbmFnP)                           \
  X(IBM_FI_LeituraMemoriaFiscalData, IbmFnTT)              \
  X(IBM_FI_LeituraMemoriaFiscalSerialDataMFD, IbmFnTTT)    \
  X(IBM_FI_LeituraMemoriaFiscalReducao, IbmFnTT)           \
  X(IBM_FI_LeituraMemoriaFiscalReducaoMFD, IbmFnTTT)       \
  X(IBM_FI_LeituraMemoriaFiscalSerialReducaoMFD, IbmFnTTT) \
  X(IBM_FI_DownloadMFD, IbmFnT5)                           \
  X(IBM_FI_DownloadMF, IbmFnNone)                          \
  X(IBM_FI_FormatoDadosMFD, IbmFnT7)                       \
  X(IBM_FI_VerificaFormasPagamento, IbmFnB)                \
  X(IBM_FI_InicioFimCOOsMFD, IbmFnBB)                      \
  X(IBM_FI_NumeroCuponsCancelados, IbmFnB)                 \
  X(IBM_FI_GrandeTotal, IbmFnB)                            \
  X(IBM_FI_VerificaImpressoraLigada, IbmFnNone)            \
  X(IBM_FI_AcionaGuilhotinaMFD, IbmFnI)                    \
  X(IBM_FI_CodigoBarrasCODABARMFD, IbmFnT)                 \
  X(IBM_FI_CodigoBarrasCODE128MFD, IbmFnT)                 \
  X(IBM_FI_CodigoBarrasCODE39MFD, IbmFnT)                  \
  X(IBM_FI_CodigoBarrasCODE93MFD, IbmFnT)                  \
  X(IBM_FI_CodigoBarrasEAN13MFD, IbmFnT)                   \
  X(IBM_FI_CodigoBarrasEAN8MFD, IbmFnT)                    \
  X(IBM_FI_CodigoBarrasISBNMFD, IbmFnT)                    \
  X(IBM_FI_CodigoBarrasITFMFD, IbmFnT)                     \
  X(IBM_FI_CodigoBarrasMSIMFD, IbmFnT)                     \
  X(IBM_FI_CodigoBarrasPLESSEYMFD, IbmFnT)                 \
  X(IBM_FI_CodigoBarrasUPCAMFD, IbmFnT)                    \
  X(IBM_FI_CodigoBarrasUPCEMFD, IbmFnT)                    \
  X(IBM_FI_LeituraMemoriaFiscalDataMFD, IbmFnTTT)          \
  X(IBM_FI_ContadorCupomFiscalMFD, IbmFnB)                 \
  X(IBM_FI_NumeroSubstituicoesProprietario, IbmFnB)        \
  X(IBM_FI_NumeroOperacoesNaoFiscais, IbmFnB)              \
  X(IBM_FI_NumeroIntervencoes, IbmFnB)                     \
  X(IBM_FI_NumeroReducoes, IbmFnB)                         \
  X(IBM_FI_VendaBruta, IbmFnB)                             \
  X(IBM_FI_Cancelamentos, IbmFnB)                          \
  X(IBM_FI_VerificaTotalizadoresParciais, IbmFnB)          \
  X(IBM_FI_VerificaRecebimentoNaoFiscal, IbmFnB)           \
  X(IBM_FI_VerificaRecebimentoNaoFiscalMFD, IbmFnNone)     \
  X(IBM_FI_Descontos, IbmFnB)                              \
  X(IBM_FI_ContadorRelatoriosGerenciaisMFD, IbmFnB)        \
  X(IBM_FI_ContadorComprovantesCreditoMFD, IbmFnB)         \
  X(IBM_FI_MarcaModeloTipoImpressoraMFD, IbmFnBBB)         \
  X(IBM_FI_VersaoFirmwareMFD, IbmFnB)                      \
  X(IBM_FI_AberturaDoDia, IbmFnNone)                       \
  X(IBM_FI_IniciaPorta, IbmFnNone)                         \
  X(IBM_FI_AtivaDesativaVendaUmaLinhaMFD, IbmFnNone)       \
  X(IBM_FI_StatusEstendidoMFD, IbmFnNone)                  \
  X(IBM_FI_DataHoraSoftwareBasico, IbmFnNone)              \
  X(IBM_FI_GeraAtoCotepe1704, IbmFnTTTT)

// The signing library's entry points (bound and emptied by the EAD signing
// operation) and two variables that nothing binds: X(name, type).
#define ZEL_OTHER_ENTRY_POINTS(X)      \
  X(IBM_setLibType, IbmFnNone)         \
  X(IBM_genkkey, IbmFnNone)            \
  X(IBM_generateEAD, IbmFnGenerateEAD) \
  X(IBM_validateFile, IbmFnNone)       \
  X(IBM_GeraTxtPorCOO, IbmFnNone)      \
  X(IBM_GeraRegistrosTipoE, IbmFnNone)

// The linker symbol carries the target's prefix for C names (an underscore on
// 32-bit Windows, none elsewhere), so the symbol is "zel01900_<name>" as the
// linker and the DLL export table see it on every target.
#define ZEL_ENTRY_POINT_TEXT(x) #x
#define ZEL_ENTRY_POINT_PREFIX(x) ZEL_ENTRY_POINT_TEXT(x)
#define ZEL_DECLARE_ENTRY_POINT(name, type) \
  extern type name asm(ZEL_ENTRY_POINT_PREFIX(__USER_LABEL_PREFIX__) "zel01900_" #name);
ZEL_VENDOR_ENTRY_POINTS(ZEL_DECLARE_ENTRY_POINT)
ZEL_OTHER_ENTRY_POINTS(ZEL_DECLARE_ENTRY_POINT)
#undef ZEL_DECLARE_ENTRY_POINT

// One row of the binding table: the exported name and the variable it is
// bound into, seen as an untyped address slot. Bind stores `address` (nullptr
// empties the variable); Address reads the variable back.
struct IbmEntryPoint {
  const char* name;
  void (*bind)(void* address);
  void* (*address)();
};

// Number of vendor entry points bound by StartImpFiscal.
inline constexpr std::size_t kIbmEntryPointCount = 95;
// The vendor entry points in binding order (kIbmEntryPointCount rows).
extern const IbmEntryPoint kIbmEntryPoints[kIbmEntryPointCount];
