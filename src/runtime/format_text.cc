// Format: the runtime's printf-like text builder.
#include <algorithm>
#include <cstdint>
#include <string>
#include <variant>

#include "runtime/format.h"
#include "runtime/host_error.h"

namespace zel {
namespace {

[[noreturn]] void ThrowInvalid(std::string_view format) {
  throw ConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

[[noreturn]] void ThrowMissing(std::string_view format) {
  throw ConvertError("No argument for format '" + std::string(format) + "'");
}

class Formatter {
 public:
  Formatter(std::string_view format, const FormatArg* args, size_t count, const FormatSettings& fs)
      : format_(format), args_(args), count_(count), fs_(fs) {}

  std::string Run() {
    std::string out;
    size_t i = 0;
    while (i < format_.size()) {
      const size_t percent = format_.find('%', i);
      if (percent == std::string_view::npos) {
        out.append(format_.substr(i));
        break;
      }
      out.append(format_.substr(i, percent - i));
      i = percent + 1;
      if (i < format_.size() && format_[i] == '%') {
        out.push_back('%');
        ++i;
        continue;
      }
      out += Directive(i);
    }
    return out;
  }

 private:
  // Reads digits or "*" (the next argument, an integer); -1 when neither.
  int ReadNumber(size_t& i) {
    if (i < format_.size() && format_[i] == '*') {
      ++i;
      const FormatArg& arg = Next();
      const auto* v = std::get_if<int64_t>(&arg.value());
      if (v == nullptr) ThrowInvalid(format_);
      return *v < 0 ? 0 : static_cast<int>(std::min<int64_t>(*v, 100000));
    }
    if (i >= format_.size() || format_[i] < '0' || format_[i] > '9') return -1;
    int n = 0;
    while (i < format_.size() && format_[i] >= '0' && format_[i] <= '9') {
      n = std::min(n * 10 + (format_[i] - '0'), 100000);
      ++i;
    }
    return n;
  }

  const FormatArg& Next() {
    if (next_ >= count_) ThrowMissing(format_);
    return args_[next_++];
  }

  std::string Directive(size_t& i) {
    // "%index:": an explicit argument position; later directives continue from it.
    size_t j = i;
    size_t index = 0;
    while (j < format_.size() && format_[j] >= '0' && format_[j] <= '9') {
      index = std::min<size_t>(index * 10 + (format_[j] - '0'), 100000);
      ++j;
    }
    if (j > i && j < format_.size() && format_[j] == ':') {
      next_ = index;
      i = j + 1;
    }
    bool left = false;
    if (i < format_.size() && format_[i] == '-') {
      left = true;
      ++i;
    }
    const int width = ReadNumber(i);
    int precision = -1;
    if (i < format_.size() && format_[i] == '.') {
      ++i;
      precision = ReadNumber(i);
      if (precision < 0) precision = 0;
    }
    if (i >= format_.size()) ThrowInvalid(format_);
    const char type = static_cast<char>(format_[i] | 0x20);
    ++i;
    std::string text = Convert(type, precision);
    if (width > 0 && static_cast<int>(text.size()) < width) {
      if (left) {
        text.append(width - text.size(), ' ');
      } else {
        text.insert(0, width - text.size(), ' ');
      }
    }
    return text;
  }

  std::string Convert(char type, int precision) {
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        const auto* v = std::get_if<int64_t>(&Next().value());
        if (v == nullptr) ThrowInvalid(format_);
        return Integer(type, *v, precision);
      }
      case 's': {
        const auto* v = std::get_if<std::string>(&Next().value());
        if (v == nullptr) ThrowInvalid(format_);
        if (precision >= 0 && static_cast<size_t>(precision) < v->size()) {
          return v->substr(0, precision);
        }
        return *v;
      }
      case 'f':
      case 'n':
      case 'm':
      case 'e':
      case 'g': {
        const auto* v = std::get_if<double>(&Next().value());
        if (v == nullptr) ThrowInvalid(format_);
        return Float(type, *v, precision);
      }
      default:
        ThrowInvalid(format_);
    }
  }

  static std::string Integer(char type, int64_t v, int precision) {
    std::string digits;
    bool negative = false;
    if (type == 'd') {
      negative = v < 0;
      const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
      digits = std::to_string(magnitude);
    } else {
      // Negative values print as their two's complement, 32 bits wide when
      // they fit in 32 bits.
      uint64_t u = static_cast<uint64_t>(v);
      if (v < 0 && v >= INT32_MIN) u &= 0xFFFFFFFFu;
      digits = type == 'u' ? std::to_string(u) : IntToHex(static_cast<int64_t>(u), 0);
    }
    if (precision > 0 && static_cast<int>(digits.size()) < precision) {
      digits.insert(0, precision - digits.size(), '0');
    }
    return negative ? "-" + digits : digits;
  }

  // The fixed forms round the full 18-digit expansion at the requested
  // decimals, as FormatFloat does (Format("%.2f", 1.005) is "1,00").
  std::string Float(char type, double v, int precision) {
    switch (type) {
      case 'f':
        return FloatToStrF(v, FloatFormat::kFixed, 18, precision < 0 ? 2 : precision, fs_);
      case 'n':
        return FloatToStrF(v, FloatFormat::kNumber, 18, precision < 0 ? 2 : precision, fs_);
      case 'm':
        return FloatToStrF(v, FloatFormat::kCurrency, 18,
                           precision < 0 ? fs_.currency_decimals : precision, fs_);
      case 'e':
        return FloatToStrF(v, FloatFormat::kExponent, precision < 0 ? 15 : precision, 3, fs_);
      default:
        return FloatToStrF(v, FloatFormat::kGeneral, precision < 0 ? 15 : precision, 0, fs_);
    }
  }

  std::string_view format_;
  const FormatArg* args_;
  size_t count_;
  const FormatSettings& fs_;
  size_t next_ = 0;
};

}  // namespace

std::string Format(std::string_view format, std::initializer_list<FormatArg> args,
                   const FormatSettings& fs) {
  return Formatter(format, args.begin(), args.size(), fs).Run();
}

std::string Format(std::string_view format, const std::vector<FormatArg>& args,
                   const FormatSettings& fs) {
  return Formatter(format, args.data(), args.size(), fs).Run();
}

}  // namespace zel
