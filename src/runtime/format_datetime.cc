// FormatDateTime and the date-time texts built on it.
#include <cctype>
#include <string>

#include "runtime/datetime.h"
#include "runtime/format.h"

namespace zel {
namespace {

// Named formats may refer to each other ("c" inside a short date format);
// the runtime stops expanding after two levels.
constexpr int kMaxNesting = 2;

struct Parts {
  int year, month, day, hour, minute, second, msec, day_of_week;
};

void AppendNumber(std::string& out, int value, int min_digits) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < min_digits) out.append(min_digits - digits.size(), '0');
  out += digits;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
  if (text.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
  }
  return true;
}

// True when an am/pm marker follows in the pattern (outside quotes), which
// puts the hours on the 12-hour clock.
bool UsesTwelveHourClock(std::string_view format, size_t from) {
  for (size_t i = from; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"' || c == '\'') {
      const size_t close = format.find(c, i + 1);
      if (close == std::string_view::npos) return false;
      i = close;
    } else if (c == 'a' || c == 'A') {
      if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
          StartsWithNoCase(format, i, "ampm")) {
        return true;
      }
    }
  }
  return false;
}

void Append(std::string& out, std::string_view format, const Parts& p, const FormatSettings& fs,
            int nesting) {
  if (nesting > kMaxNesting) return;
  char last_token = ' ';
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    size_t count = 1;
    while (i + count < format.size() && format[i + count] == c) ++count;
    char token = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (token >= 'A' && token <= 'Z') {
      // m or mm right after an hour token means minutes.
      if (token == 'M' && last_token == 'H') token = 'N';
      last_token = token;
    }
    switch (token) {
      case 'Y':
        if (count <= 2) {
          AppendNumber(out, p.year % 100, 2);
        } else {
          AppendNumber(out, p.year, 4);
        }
        break;
      case 'M':
        if (count <= 2) {
          AppendNumber(out, p.month, static_cast<int>(count));
        } else if (p.month >= 1) {
          out += count == 3 ? fs.short_month_names[p.month - 1] : fs.long_month_names[p.month - 1];
        }
        break;
      case 'D':
        if (count <= 2) {
          AppendNumber(out, p.day, static_cast<int>(count));
        } else if (count == 3) {
          out += fs.short_day_names[p.day_of_week - 1];
        } else if (count == 4) {
          out += fs.long_day_names[p.day_of_week - 1];
        } else if (count == 5) {
          Append(out, fs.short_date_format, p, fs, nesting + 1);
        } else {
          Append(out, fs.long_date_format, p, fs, nesting + 1);
        }
        break;
      case 'H': {
        int hour = p.hour;
        if (UsesTwelveHourClock(format, i)) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        AppendNumber(out, hour, count >= 2 ? 2 : 1);
        break;
      }
      case 'N':
        AppendNumber(out, p.minute, count >= 2 ? 2 : 1);
        break;
      case 'S':
        AppendNumber(out, p.second, count >= 2 ? 2 : 1);
        break;
      case 'Z':
        AppendNumber(out, p.msec, count >= 2 ? 3 : 1);
        break;
      case 'T':
        Append(out, count == 1 ? fs.short_time_format : fs.long_time_format, p, fs, nesting + 1);
        break;
      case 'C':
        Append(out, fs.short_date_format, p, fs, nesting + 1);
        if (p.hour != 0 || p.minute != 0 || p.second != 0) {
          out.push_back(' ');
          Append(out, fs.long_time_format, p, fs, nesting + 1);
        }
        count = 1;
        break;
      case 'A': {
        const bool pm = p.hour >= 12;
        if (StartsWithNoCase(format, i, "am/pm")) {
          out.append(format.substr(i + (pm ? 3 : 0), 2));
          count = 5;
        } else if (StartsWithNoCase(format, i, "a/p")) {
          out.push_back(format[i + (pm ? 2 : 0)]);
          count = 3;
        } else if (StartsWithNoCase(format, i, "ampm")) {
          out += pm ? fs.time_pm_string : fs.time_am_string;
          count = 4;
        } else {
          out.push_back(c);
          count = 1;
        }
        break;
      }
      case '/':
        out.append(count, fs.date_separator);
        break;
      case ':':
        out.append(count, fs.time_separator);
        break;
      case '"':
      case '\'': {
        size_t close = format.find(c, i + 1);
        if (close == std::string_view::npos) close = format.size();
        out.append(format.substr(i + 1, close - i - 1));
        count = close - i + 1;
        break;
      }
      default:
        out.append(count, c);
        break;
    }
    i += count;
  }
}

}  // namespace

std::string FormatDateTime(std::string_view format, TDateTime value, const FormatSettings& fs) {
  Parts p{};
  DecodeDateTime(value, p.year, p.month, p.day, p.hour, p.minute, p.second, p.msec);
  p.day_of_week = DayOfWeek(value);
  std::string out;
  Append(out, format.empty() ? std::string_view("c") : format, p, fs, 0);
  return out;
}

std::string DateToStr(TDateTime value, const FormatSettings& fs) {
  return FormatDateTime(fs.short_date_format, value, fs);
}

std::string TimeToStr(TDateTime value, const FormatSettings& fs) {
  return FormatDateTime(fs.long_time_format, value, fs);
}

std::string DateTimeToStr(TDateTime value, const FormatSettings& fs) {
  return FormatDateTime("c", value, fs);
}

}  // namespace zel
