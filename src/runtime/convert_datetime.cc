// Date and time texts to values: StrToDate, StrToTime, StrToDateTime. The
// scanning follows the runtime: blanks are allowed around every number and
// separator, numbers are read while their value stays below 1000.
#include <cctype>
#include <string>

#include "runtime/convert.h"
#include "runtime/host_error.h"

namespace zel {
namespace {

enum class DateOrder { kDMY, kMDY, kYMD };

DateOrder OrderOf(std::string_view short_date_format) {
  for (char c : short_date_format) {
    switch (std::tolower(static_cast<unsigned char>(c))) {
      case 'd':
        return DateOrder::kDMY;
      case 'm':
        return DateOrder::kMDY;
      case 'y':
        return DateOrder::kYMD;
      default:
        break;
    }
  }
  return DateOrder::kMDY;
}

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  size_t pos() const { return pos_; }
  void set_pos(size_t pos) { pos_ = pos; }
  bool AtEnd() const { return pos_ >= text_.size(); }

  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }

  bool Number(int& value, int& length) {
    SkipBlanks();
    size_t i = pos_;
    int n = 0;
    while (i < text_.size() && text_[i] >= '0' && text_[i] <= '9' && n < 1000) {
      n = n * 10 + (text_[i] - '0');
      ++i;
    }
    if (i == pos_) return false;
    length = static_cast<int>(i - pos_);
    value = n;
    pos_ = i;
    return true;
  }

  bool Char(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  // Case-insensitive match of a word; an empty word never matches.
  bool Word(std::string_view word) {
    SkipBlanks();
    if (word.empty() || text_.size() - pos_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      if (std::toupper(static_cast<unsigned char>(text_[pos_ + i])) !=
          std::toupper(static_cast<unsigned char>(word[i]))) {
        return false;
      }
    }
    pos_ += word.size();
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool ScanDate(Scanner& in, const FormatSettings& fs, TDateTime& out) {
  int n1, n2, n3, l1, l2, l3;
  if (!(in.Number(n1, l1) && in.Char(fs.date_separator) && in.Number(n2, l2))) return false;
  const DateOrder order = OrderOf(fs.short_date_format);
  int year, month, day;
  if (in.Char(fs.date_separator)) {
    if (!in.Number(n3, l3)) return false;
    int year_length;
    switch (order) {
      case DateOrder::kMDY:
        year = n3, year_length = l3, month = n1, day = n2;
        break;
      case DateOrder::kDMY:
        year = n3, year_length = l3, month = n2, day = n1;
        break;
      default:
        year = n1, year_length = l1, month = n2, day = n3;
        break;
    }
    if (year_length <= 2) {
      // The century that puts the year within the window around today.
      const int window = fs.two_digit_year_century_window;
      const int pivot = YearOf(Now()) - window;
      year += pivot / 100 * 100;
      if (window > 0 && year < pivot) year += 100;
    }
  } else {
    year = YearOf(Now());
    if (order == DateOrder::kDMY) {
      day = n1, month = n2;
    } else {
      month = n1, day = n2;
    }
  }
  // The runtime tolerates one trailing separator ("05/01/2024/").
  in.Char(fs.date_separator);
  in.SkipBlanks();
  return TryEncodeDate(year, month, day, out);
}

bool ScanTime(Scanner& in, const FormatSettings& fs, TDateTime& out) {
  int hour, minute = 0, second = 0, msec = 0, length;
  if (!in.Number(hour, length)) return false;
  if (in.Char(fs.time_separator)) {
    if (!in.Number(minute, length)) return false;
    if (in.Char(fs.time_separator)) {
      if (!in.Number(second, length)) return false;
      // Milliseconds after the decimal separator, read as a whole number.
      if (in.Char(fs.decimal_separator) && !in.Number(msec, length)) return false;
    }
  }
  int base_hour = -1;
  if (in.Word(fs.time_am_string) || in.Word("AM")) {
    base_hour = 0;
  } else if (in.Word(fs.time_pm_string) || in.Word("PM")) {
    base_hour = 12;
  }
  if (base_hour >= 0) {
    if (hour == 0 || hour > 12) return false;
    if (hour == 12) hour = 0;
    hour += base_hour;
  }
  in.SkipBlanks();
  // 24:00 is no time of day here.
  return hour < 24 && TryEncodeTime(hour, minute, second, msec, out);
}

[[noreturn]] void Throw(std::string_view text, const char* what) {
  throw ConvertError("'" + std::string(text) + "' is not a valid " + what);
}

}  // namespace

bool TryStrToDate(std::string_view text, TDateTime& out, const FormatSettings& fs) {
  Scanner in(text);
  TDateTime value;
  if (!ScanDate(in, fs, value) || !in.AtEnd()) return false;
  out = value;
  return true;
}

TDateTime StrToDate(std::string_view text, const FormatSettings& fs) {
  TDateTime value;
  if (!TryStrToDate(text, value, fs)) Throw(text, "date");
  return value;
}

TDateTime StrToDateDef(std::string_view text, TDateTime def, const FormatSettings& fs) {
  TDateTime value;
  return TryStrToDate(text, value, fs) ? value : def;
}

bool TryStrToTime(std::string_view text, TDateTime& out, const FormatSettings& fs) {
  Scanner in(text);
  TDateTime value;
  if (!ScanTime(in, fs, value) || !in.AtEnd()) return false;
  out = value;
  return true;
}

TDateTime StrToTime(std::string_view text, const FormatSettings& fs) {
  TDateTime value;
  if (!TryStrToTime(text, value, fs)) Throw(text, "time");
  return value;
}

bool TryStrToDateTime(std::string_view text, TDateTime& out, const FormatSettings& fs) {
  Scanner in(text);
  TDateTime date;
  TDateTime time = 0;
  if (!ScanDate(in, fs, date)) {
    // A time alone is a time on day 0.
    in.set_pos(0);
    if (!ScanTime(in, fs, time) || !in.AtEnd()) return false;
    out = time;
    return true;
  }
  if (!in.AtEnd() && (!ScanTime(in, fs, time) || !in.AtEnd())) return false;
  out = ComposeDateTime(date, time);
  return true;
}

TDateTime StrToDateTime(std::string_view text, const FormatSettings& fs) {
  TDateTime value;
  if (!TryStrToDateTime(text, value, fs)) Throw(text, "date and time");
  return value;
}

}  // namespace zel
