// The PAF-ECF identification print of the fiscal menu.
#pragma once

#include <vector>

#include "runtime/variant.h"
#include "zel01900/counters.h"

namespace zel::fiscal {
// The key of Cripto/Uncripto for the PAF data the host enciphers: the host
// application's one key, as for "Vendrix.cds".
inline constexpr int kPafCipherKey = kVendrixCipherKey;
}  // namespace zel::fiscal

// Prints the identification of the point-of-sale program as one gerencial
// report, and records it as "RG". `Params`: 0 and 1 the report's keys (for
// Relatorio_Gerencial_Imp), 2 colour scheme, 3 packet of the PAF data (one
// record; NRLAUDO, NRCNPJKALVORA, DSRAZAOSOCIKAL, DSENDEKALVORA,
// DSTELEFONEKAL, NMRESPONSIST, DSNOMECOMERCIAL, DSVERSAOVENDRIX, NMEXEVENDRIX,
// each enciphered with Cripto), 4 packet of the authorised printers
// (NRSERIEIMPRPERS), 5 the document key for GravaDocumentosNaoFiscais. Reads
// host folder + "Dados\Cadastros\ArquivosLumMd5.cds" (DSARQUIVO, NUMEROMD5;
// the first record is the main executable) and host folder + "Vendrix.cds"
// (MD5ARQUIVOTXT, enciphered), each when it exists. The results of the print
// calls are not examined. A failure of the host runtime (a packet without a
// named field, an unreadable file, no digest to print) is shown to the
// operator with its own text (kind 3) and leaves the report open: neither
// closed nor recorded. `Resultado` is not used.
void ImprimeDadosPaf(const std::vector<zel::HostVariant>& Params, zel::HostVariant& Resultado);
