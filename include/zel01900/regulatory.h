// Fiscal-memory readings, the EAD signature and the regulatory files of the
// fiscal menu (MFD mirror, MFD text file, Ato COTEPE 17/04 files).
//
// Folders, on every till:
//   host folder         the host executable's folder, short form, + "\"
//   fiscal-menu folder  host folder + "Dados\MenuFiscal" (never created here)
//   vendor folder       retornaPathIBM(): the Path of IBMFI32.INI + "\"
//   work folders        host folder + "Arquivos Binários\", "Arquivos TXT
//                       Espelho\" and "Arquivos TXT Formatados\", where the
//                       vendor library leaves its files
//   mirror folder       the machine's fixed "C:\MenuFiscal\" (on POSIX the
//                       platform's MenuFiscalDirectory())
// The work folders hold the vendor library's output under dated names, and
// the download ("DOWNLOAD.MFD" in the vendor folder) has a fixed one: each
// operation deletes the work files it reads (and the download) before the
// vendor library makes new ones, so that it works only from what its own
// call made, never from what a run killed part way left; it deletes them
// again once done. A work file that cannot be deleted ends the operation
// before anything is sent to the printer: the operator is told
// "ERRO AO APAGAR O ARQUIVO DE TRABALHO: " + the file + " (Erro - " + the
// system's code + ")", and the answer is false.
// The files the driver writes itself never stand partial or unsigned under
// their final names, whatever the moment a run is killed (see each one).
// Operator dialogs are notices through the host's Mensagem: kind 3 for
// errors, 0 for success.
#pragma once

#include <string>
#include <vector>

#include "runtime/string_list.h"
#include "runtime/variant.h"

// ---- Fiscal-memory readings ----

// Prints a fiscal-memory reading with the classic vendor calls: `Tipo` "D"
// for the dates `Inicio`..`Fim`, "R" for reduction numbers, given to the
// vendor as they stand. Any other kind (lower case included) does nothing and
// answers false. The result is the return analysis with dialogs on.
// `NaoUsado` is not read.
bool Memoria_Fiscal_Imp(const std::string& Esquema, const std::string& Tipo,
                        const std::string& Inicio, const std::string& Fim,
                        const std::string& NaoUsado);

// Prints a fiscal-memory reading with the MFD vendor calls: `Tipo` "DATA"
// reads dates, anything else reduction numbers (padded with zeros to 4
// digits). `TipoLeitura` ("C" complete, "S" simplified) goes to the vendor
// unchanged. The return analysis runs with dialogs off; any failure of the
// host runtime answers false.
bool EmiteLeituraMemoriaFiscal(const std::string& Esquema, const std::string& Inicio,
                               const std::string& Fim, const std::string& TipoLeitura,
                               const std::string& Tipo);

// The fiscal-menu reading as a signed file. `Params`: 0 colour scheme, 1
// start, 2 end, 3 reading type, 4 kind ("DATA" or reduction numbers, not
// padded). The vendor library writes "Retorno.txt" in the vendor folder; it
// is copied to host folder + "Dados\MenuFiscal\" + "LMFC_" (reading type "C",
// any case) or "LMFS_" + the time "ddmmyyyyhhmss" + ".txt" and signed with
// geraEad, and the operator is told where. A reading made in the same
// second as an earlier one gets "_2", "_3", ... before ".txt". The copy is
// made and signed under the final name + ".parcial" and takes the final name
// only once signed (a rename, which never replaces another reading), so a
// run killed part way leaves nothing under a reading's name; the ".parcial"
// files such a run left ("LMF?_*.parcial") are deleted by the next reading.
// False when the reading fails (silently), IBMFI32.INI is missing, the copy
// or the rename fails (told with the system's error code) or the file cannot
// be signed (told); the unfinished copy is then deleted. `Resultado` is not
// used.
bool EmiteLeituraMemoriaFiscalSerial(const std::vector<zel::HostVariant>& Params,
                                     zel::HostVariant& Resultado);

// Appends this installation's EAD line to the text file `Arquivo` through the
// signing library "sign_bema.dll" (bound into IBM_setLibType, IBM_genkkey,
// IBM_generateEAD and IBM_validateFile for the call and emptied afterwards;
// its handle stays in ImpFisDLLHandle2). Reports nothing: a missing library
// or entry point, or a failed signature, leaves the file unsigned.
void geraEad(const std::string& Arquivo);

// ---- MFD mirror and regulatory files ----

// The MFD mirror as a text file "Espelho_MFD_" + "ddmmyyyyhhnnss" + ".txt" in
// the mirror folder. `Params`: 0 colour scheme, 6 start, 7 end, 8 range type
// ("1" dates dd/mm/yyyy, sent without "/"; anything else COO numbers, padded
// to 6 digits). The vendor's download ("DOWNLOAD.MFD" in the vendor folder)
// is formatted into the mirror, and the download and the work files are
// removed (those of "Arquivos Binários\" "*.MFD" and "Arquivos TXT
// Espelho\" "*.TXT", and a download left from before, also before the
// download). A formatting that fails leaves no file under the mirror's name
// (unless one had it before). Every failure is told to the operator and
// answers false; a failure of the host runtime answers false silently.
// `Resultado` is not used.
bool geraEspelhoMfd(const std::vector<zel::HostVariant>& Params, zel::HostVariant& Resultado);

// The element of Gera_ArquivoMFD's parameters that holds the range kind.
inline constexpr size_t kGeraArquivoMfdRangeKindIndex = 4;

// A regulatory file of the fiscal menu. `Params`: 0 the parameter packet
// (loaded into cdsParametros: NRSERIEECF, IDESQUEMA, CDFILIAL, CDCAIXA,
// CDPORTAIMPFIS), 1 start, 2 end, 3 file kind, 4 range kind ("D" dates with
// "/", sent as range type "1" without them; anything else COO numbers, type
// "2", padded to 6 digits). File kind "MF": the Ato COTEPE 17/04 file of the
// range, copied to the fiscal-menu folder as "Ato_Cotepe.txt", which is
// replaced whole or not at all (its work files: "Arquivos TXT Formatados\"
// "*.TXT", "Arquivos Binários\" "*.MF"). Any other kind: the MFD of the range
// as a text file named after the vendor's binary dump + ".txt" in the
// fiscal-menu folder; a download that leaves no dump answers false, and a
// formatting that fails leaves no file under that name (its work files:
// "Arquivos Binários\" "*.MFD", "Arquivos TXT Espelho\" "*.TXT" and the
// download). Ends by starting the driver again with the packet's values
// (StartImpFiscal), except when IBMFI32.INI is missing or a work file cannot
// be deleted (both told), when the formatting fails or on a failure of the
// host runtime (false, no message). `Resultado` is not used.
bool Gera_ArquivoMFD(const std::vector<zel::HostVariant>& Params, zel::HostVariant& Resultado);

// The Ato COTEPE 17/04 file of a date range for the tax office's program.
// `Params`: 0 the parameter packet (as Gera_ArquivoMFD), 1 start date, 2 end
// date (the locale's short date, or "ddmmyy" digits). `Arquivos` is replaced
// by a new list; on success it holds one line, the path of the file copied
// into the vendor folder (a file of that name replaced whole or not at all).
// Its work files: "Arquivos Binários\" "*.MFD" and "*.MF", "Arquivos TXT
// Formatados\" "*.TXT". Ends by starting the driver again with the packet's
// values; a failure of the host runtime (dates that read neither way, a
// packet without the fields) or a work file that cannot be deleted (told)
// answers false without the restart.
bool GeraCatGenerica(const std::vector<zel::HostVariant>& Params, zel::StringList& Arquivos);

// Answers true and changes nothing: the printer's date and time of its
// latest user and basic-software records are not read.
bool DataHoraGravacaoUsuarioSWBasicoMFAdicional(const std::string& Esquema, std::string& DataHora1,
                                                std::string& DataHora2, std::string& DataHora3);
