// Cash put into and taken out of the till outside sales, the withdrawal
// receipt and the till-closing documents.
#pragma once

#include <string>

#include "runtime/datetime.h"

namespace zel {
class MemTable;
}  // namespace zel

// Registers a cash supply of `Valor` ("0.00" with the host's separator, in
// "Dinheiro") on the printer. A value of zero or below sends nothing and is
// true. A refusal is shown by the return analysis and by the ErroComando
// notice, and is false. `NaoUsado` is not used.
bool Suprimento(const std::string& NaoUsado, const std::string& Esquema, double Valor);

// Registers a cash withdrawal of `Valor` ("0.00"; zero is sent as 0,01) on
// the printer. A refusal is shown as for Suprimento and is false.
bool Sangria(const std::string& NaoUsado, const std::string& Esquema, double Valor);

// Prints the withdrawal receipt and the till-closing documents, and leads
// the operator through the end of the till period.
//
// Tables: `Sangrias` (withdrawn payment forms: NRENVELOPE, NMTIPORECE,
// VRFECHADIG typed, VRFECHAINF informed), `ListaSangria`, `OperadorSup`
// (CDSUPERVISOR, NMSUPERVISOR, CDOPERADOR, NMOPERADOR of its first row),
// `MovAbertura` and `MovTotal` (IDTIPOREG, NMTIPORECE, VRSAIDA: "1"/"5"
// withdrawals, "2" contra-vale issued, "3" supply, "4" contra-vale received)
// and `TiposRece` (the host's payment types) are copied into the data
// module; a rerun (`Repeticao`) copies only `MovTotal` and prints from what
// the earlier run left. `ProdutosAbertura` and `ProdutosDia` are the
// products sold since the till opened and during the whole day (VRTOTAL);
// `CompraCredito` gives the credit purchases of the period in VRCARGACREDITO
// of its current row.
//
// With `ImprimeRecibo`: an X reading first when `LeituraX` is "S", then one
// gerencial report with the receipt in two copies (the envelope column in
// the header when `ColunaEnvelope` is "S"; `Motivo` and `Observacao` when
// given; the typed amounts when `SoDigitados`, otherwise the informed ones).
// With `SoDigitados` that is all: the report is closed and the result is
// false. Otherwise the product report of the period (Relatorio_Produto with
// `PerguntaProduto` and `ModoProduto`) and the closing report (sales, credit
// purchases, withdrawals, contra-vales, supplies and the surplus or
// shortage) follow.
//
// Then, unless `SoDigitados`: unless a rerun, the operator is asked whether
// to reopen the till (yes: the result is true) and, when `PermiteZ` and
// `PedeZ`, whether to make the Z reduction (no, or either flag false: the
// result is false); then whether to print the closing reports of the day
// (products and closing report of the whole day); finally, unless a rerun,
// the data of the coming reduction is exported (ExportRedZ with `NrEcf`)
// into `RedZ`, `FormRedZ`, `ImpostoRedZ` and `TotNFisRedZ`, and `FezZ`
// becomes true. The result is false.
//
// `Numero` receives the number of the first document printed unless it
// already holds one (a successful X reading always sets it). `ChaveDoc`,
// `Chave1` and `Chave2` are the keys of the document records and of the
// host's GravaCER. The parameters named NaoUsado are not used.
bool GeraReciboSangria(const std::string& NaoUsado, const std::string& ChaveDoc,
                       const std::string& Chave1, const std::string& Chave2,
                       const std::string& NrEcf, int ParametroZ, std::string& Numero,
                       const zel::MemTable& Sangrias, const zel::MemTable& ListaSangria,
                       zel::MemTable& ProdutosAbertura, const zel::MemTable& OperadorSup,
                       const zel::MemTable& MovTotal, const zel::MemTable& MovAbertura,
                       zel::MemTable& ProdutosDia, zel::MemTable& CompraCredito,
                       zel::TDateTime NaoUsado2, bool ImprimeRecibo, bool PermiteZ, bool NaoUsado3,
                       zel::MemTable& RedZ, zel::MemTable& FormRedZ, zel::MemTable& ImpostoRedZ,
                       zel::MemTable& TotNFisRedZ, bool& FezZ, const zel::MemTable& TiposRece,
                       const std::string& PerguntaProduto, const std::string& ModoProduto,
                       const std::string& LeituraX, const std::string& ColunaEnvelope,
                       const std::string& Esquema, bool SoDigitados, bool Repeticao, bool PedeZ,
                       const std::string& Motivo, const std::string& Observacao);
