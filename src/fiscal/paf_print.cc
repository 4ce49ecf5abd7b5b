// The PAF-ECF identification: certification report, developer, program,
// file digests, requirements version and authorised printers, printed as a
// gerencial report.
#include <exception>
#include <string>

#include "fiscal/regulatory_support.h"
#include "hostutil/cipher.h"
#include "hostutil/files.h"
#include "hostutil/host_services.h"
#include "platform/platform.h"
#include "runtime/format.h"
#include "zel01900/counters.h"
#include "zel01900/data_module.h"
#include "zel01900/documents.h"
#include "zel01900/paf.h"

namespace {

constexpr const char* kDigestFile = "Dados\\Cadastros\\ArquivosLumMd5.cds";
const std::string kRule(48, '-');

std::string Text(const std::vector<zel::HostVariant>& params, size_t index) {
  return index < params.size() ? params[index].AsString() : std::string();
}

void LoadPacket(zel::MemTable& table, const zel::HostVariant& packet) {
  table.SetData(packet.IsTable() ? packet.Packet() : packet.AsString());
}

// Sends the report's texts one by one.
class PafReport {
 public:
  explicit PafReport(std::string esquema) : esquema_(std::move(esquema)) {}
  void Send(const std::string& text) { Usa_CompNFis(esquema_, text); }

 private:
  std::string esquema_;
};

}  // namespace

void ImprimeDadosPaf(const std::vector<zel::HostVariant>& Params, zel::HostVariant& /*Resultado*/) {
  std::string esquema;
  try {
    const std::string host_folder = zel::fiscal::HostFolder();
    const std::string key1 = Text(Params, 0);
    const std::string key2 = Text(Params, 1);
    esquema = Text(Params, 2);
    const std::string document_key = Text(Params, 5);
    TdtmImpIBM& dm = EnsureDataModule();
    LoadPacket(dm.cdsDadosPaf, Params.size() > 3 ? Params[3] : zel::HostVariant());
    LoadPacket(dm.cdsBuscaNrSerieEcf, Params.size() > 4 ? Params[4] : zel::HostVariant());
    auto paf = [&](const char* field) {
      return zel::Uncripto(dm.cdsDadosPaf.FieldByName(field).AsString(),
                           zel::fiscal::kPafCipherKey);
    };

    Relatorio_Gerencial_Imp(esquema, key1, key2, "");
    PafReport report(esquema);
    report.Send("          Identifica\xE7\xE3o do Paf-Ecf\n\n");
    report.Send("Data Emiss\xE3o: " + zel::FormatDateTime("dd/mm/yyyy hh:nn:ss", zel::Now()) +
                "\n\n\n");
    report.Send("Nr do Laudo: " + paf("NRLAUDO") + "\n\n");
    report.Send("Identifica\xE7\xE3o da Empresa: \n");
    report.Send("CNPJ         : " + paf("NRCNPJKALVORA") + "\n");
    report.Send("Raz\xE3o Social : " + paf("DSRAZAOSOCIKAL") + "\n");
    report.Send("Endere\xE7o     : " + paf("DSENDEKALVORA") + "\n");
    report.Send("Telefone     : " + paf("DSTELEFONEKAL") + "\n");
    report.Send(
        "Resp.T\xE9"
        "cnico: " +
        paf("NMRESPONSIST") + "\n\n");
    report.Send("Identifica\xE7\xE3o PAF-ECF: \n");
    report.Send("Nome Comercial: " + paf("DSNOMECOMERCIAL") + "\n");
    report.Send("Vers\xE3o        : " + paf("DSVERSAOVENDRIX") + "\n\n");

    zel::platform::Platform& os = zel::platform::Current();
    zel::MemTable& digests = dm.cdsArquivosLumMd5;
    const std::string digest_file = host_folder + kDigestFile;
    const bool has_digests = os.FileExists(digest_file);
    if (has_digests) {
      zel::LoadTableFromFile(digests, digest_file);
      digests.First();
    }
    report.Send("Principal Exe : " + paf("NMEXEVENDRIX") + "\n");
    // The digest of whatever record the table holds; without the file and
    // without an earlier load, reading it fails and the report stays open.
    report.Send("MD5           : " + digests.FieldByName("NUMEROMD5").AsString() + "\n\n");

    const std::string vendrix = host_folder + zel::fiscal::kVendrixFileName;
    if (os.FileExists(vendrix)) {
      zel::LoadTableFromFile(digests, vendrix);
      report.Send("Arquivo Texto : ARQUIVOSLUMMD5.TXT\n");
      report.Send("MD-5          : " +
                  zel::Uncripto(digests.FieldByName("MD5ARQUIVOTXT").AsString(),
                                zel::fiscal::kPafCipherKey) +
                  "\n\n");
    }
    if (has_digests) {
      zel::LoadTableFromFile(digests, digest_file);
      digests.First();
      report.Send("Rela\xE7\xE3o de Arquivos\n");
      report.Send(kRule + "\n\n");
      for (; !digests.Eof(); digests.Next()) {
        report.Send("Arquivo: " + digests.FieldByName("DSARQUIVO").AsString() + "\n");
        report.Send("MD5    : " + digests.FieldByName("NUMEROMD5").AsString() + "\n\n");
      }
    }
    report.Send("Versao ER PAF-ECF: 02.03\n\n");

    zel::MemTable& printers = dm.cdsBuscaNrSerieEcf;
    if (!printers.IsEmpty()) {
      report.Send("Rela\xE7\xE3o de Ecf's\n");
      report.Send(kRule + "\n\n");
      for (printers.First(); !printers.Eof(); printers.Next()) {
        report.Send(printers.FieldByName("NRSERIEIMPRPERS").AsString() + "\n");
      }
    }
    FechRelatGerenc(esquema, true, false);
    GravaDocumentosNaoFiscais(document_key, esquema, "RG", "");
  } catch (const std::exception& error) {
    zel::Mensagem(error.what(), "", "N", "N", zel::kDialogError, "", esquema, 0);
  }
}
