#include "files/DumpChecks.h"

#include <algorithm>

#include "files/DumpCompare.h"
#include "view/CharFilter.h"

namespace jig {

namespace {

bool RepeatsWithPeriod(std::span<const std::uint8_t> dump, std::size_t period) {
  for (std::size_t i = period; i < dump.size(); ++i) {
    if (dump[i] != dump[i - period]) return false;
  }
  return true;
}

std::string Address(std::size_t address) { return Hex8(static_cast<std::uint32_t>(address)); }

std::string CountEn(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " byte differs" : " bytes differ");
}

}  // namespace

DumpVerdict CheckDumpPattern(std::span<const std::uint8_t> dump) {
  if (dump.empty()) return {DumpPattern::Empty, 0};
  if (std::all_of(dump.begin(), dump.end(), [](std::uint8_t b) { return b == 0xFF; })) return {DumpPattern::AllFF, 1};
  if (std::all_of(dump.begin(), dump.end(), [](std::uint8_t b) { return b == 0x00; })) return {DumpPattern::All00, 1};
  const std::size_t longest = std::min(kMaxPatternPeriod, dump.size() / kMinPatternRepeats);
  for (std::size_t period = 1; period <= longest; ++period) {
    if (RepeatsWithPeriod(dump, period)) return {DumpPattern::Repeated, period};
  }
  return {};
}

std::optional<DumpDifference> CompareDumps(std::span<const std::uint8_t> expected,
                                           std::span<const std::uint8_t> actual) {
  std::optional<DumpDifference> difference;
  ForEachDifferingRange(expected, actual, [&difference](const DumpRange& range) {
    if (!difference) difference = DumpDifference{range.start, 0};
    difference->count += range.length;
  });
  return difference;
}

bool IsSuspiciousDump(const DumpVerdict& verdict) { return verdict.pattern != DumpPattern::Mixed; }

std::string DumpPatternLine(const DumpVerdict& verdict, LogLanguage language) {
  const bool ru = language == LogLanguage::Russian;
  const std::string advice = ru ? " Обычно это плохой контакт; не записывайте такой дамп обратно."
                                : " This usually means a bad contact; do not write this dump back.";
  switch (verdict.pattern) {
    case DumpPattern::AllFF:
      return (ru ? "Внимание: дамп весь из FFh." : "Warning: the dump is all FFh.") + advice;
    case DumpPattern::All00:
      return (ru ? "Внимание: дамп весь из 00h." : "Warning: the dump is all 00h.") + advice;
    case DumpPattern::Repeated:
      return (ru ? "Внимание: дамп повторяет один и тот же блок из " + std::to_string(verdict.period) + " байт."
                 : "Warning: the dump repeats one " + std::to_string(verdict.period) + "-byte pattern throughout.") +
             advice;
    case DumpPattern::Empty:
      return ru ? "Внимание: дамп пуст (0 байт)." : "Warning: the dump is empty (0 bytes).";
    case DumpPattern::Mixed:
      break;
  }
  return ru ? "Проверка дампа: содержимое похоже на настоящие данные."
            : "Dump check: the content looks like real data.";
}

std::string DifferenceText(const DumpDifference& difference, LogLanguage language) {
  if (language == LogLanguage::Russian)
    return "первое отличие по адресу " + Address(difference.firstAddress) +
           ", различных байт: " + std::to_string(difference.count);
  return "first difference at " + Address(difference.firstAddress) + ", " + CountEn(difference.count);
}

std::string VerifyLine(const std::optional<DumpDifference>& difference, LogLanguage language) {
  const bool ru = language == LogLanguage::Russian;
  if (!difference) return ru ? "Проверка после записи: OK, флеш совпадает с образом." : "Verify after write: OK, the flash matches the image.";
  return (ru ? "Проверка после записи: ОШИБКА, " : "Verify after write: FAILED, ") + DifferenceText(*difference, language) +
         ".";
}

std::string ReadTwiceLine(const std::optional<DumpDifference>& difference, LogLanguage language) {
  const bool ru = language == LogLanguage::Russian;
  if (!difference) return ru ? "Двойное чтение: оба чтения совпадают." : "Read twice: both reads match.";
  return (ru ? "Двойное чтение: чтения различаются, " : "Read twice: the reads differ, ") +
         DifferenceText(*difference, language) + (ru ? ". Файл не записан." : ". The file is not written.");
}

}  // namespace jig
