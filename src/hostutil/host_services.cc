#include "hostutil/host_services.h"

#include "runtime/win1252.h"

namespace zel {
namespace {

HostHandlers* g_handlers = nullptr;

}  // namespace

bool DefaultHostHandlers::Mensagem(const std::string& text, const std::string&, const std::string&,
                                   const std::string&, int, const std::string&, const std::string&,
                                   int) {
  // Nobody can answer: a question is taken as "no", which is the safe
  // choice for every question the driver asks (print again, recompose, ...).
  Remember(text);
  return false;
}

HostVariant DefaultHostHandlers::GravaCER(const std::string& key1, const std::string& key2,
                                          TDateTime) {
  Remember("GravaCER " + key1 + " " + key2);
  return HostVariant();
}

HostVariant DefaultHostHandlers::SetDocNaoFiscaisECF(const NonFiscalDocRecord& record) {
  Remember("setDocNaoFiscaisECF " + Utf16ToWin1252(record.doc_type) + " " +
           Utf16ToWin1252(record.doc_key));
  return HostVariant();
}

void DefaultHostHandlers::Remember(std::string call) {
  if (calls_.size() >= kMaxCalls) calls_.pop_front();
  calls_.push_back(std::move(call));
}

DefaultHostHandlers& DefaultHandlers() {
  static DefaultHostHandlers handlers;
  return handlers;
}

HostHandlers* SetHostHandlers(HostHandlers* handlers) {
  HostHandlers* previous = g_handlers;
  g_handlers = handlers;
  return previous;
}

HostHandlers& CurrentHostHandlers() {
  return g_handlers ? *g_handlers : static_cast<HostHandlers&>(DefaultHandlers());
}

bool Mensagem(const std::string& text, const std::string& caption, const std::string& flag,
              const std::string& question, int kind, const std::string& extra,
              const std::string& colour_scheme, int options) {
  return CurrentHostHandlers().Mensagem(text, caption, flag, question, kind, extra, colour_scheme,
                                        options);
}

HostVariant GravaCER(const std::string& key1, const std::string& key2, TDateTime movement_date) {
  return CurrentHostHandlers().GravaCER(key1, key2, movement_date);
}

HostVariant setDocNaoFiscaisECF(const std::u16string& doc_key, const std::u16string& receipt_number,
                                const std::u16string& non_fiscal_operations,
                                const std::u16string& report_counter,
                                const std::u16string& slip_counter, const std::u16string& doc_type,
                                const std::u16string& extra, TDateTime recorded_at,
                                TDateTime movement_date, const std::string& spare) {
  NonFiscalDocRecord record{
      doc_key,  receipt_number, non_fiscal_operations, report_counter, slip_counter,
      doc_type, extra,          recorded_at,           movement_date,  spare};
  return CurrentHostHandlers().SetDocNaoFiscaisECF(record);
}

}  // namespace zel
