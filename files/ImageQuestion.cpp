#include "files/ImageQuestion.h"


namespace jig {

bool IsBlankImage(std::span<const std::uint8_t> image) {
  const DumpPattern pattern = CheckDumpPattern(image).pattern;
  return pattern == DumpPattern::AllFF || pattern == DumpPattern::All00;
}

std::optional<std::string> ImageQuestion(const std::string& path, std::span<const std::uint8_t> image,
                                         std::size_t chipSize, LogLanguage language, RestOfChip rest) {
  const bool kept = rest == RestOfChip::KeptAsItWas;
  const bool ru = language == LogLanguage::Russian;
  std::string question;
  if (image.size() != chipSize) {
    question += ru ? "Файл " + path + " содержит " + std::to_string(image.size()) + " байт, микросхема — " +
                         std::to_string(chipSize) + ". " +
                         (kept ? "Остаток микросхемы не записывается и сохранит прежнее содержимое (FFh только после стирания). "
                               : "Остаток микросхемы будет FFh. ")
                   : "The file " + path + " holds " + std::to_string(image.size()) + " bytes; the chip holds " +
                         std::to_string(chipSize) + ". " +
                         (kept ? "The rest of the chip is not written and keeps what it holds (FFh only after an erase). "
                               : "The rest of the chip will be FFh. ");
  }
  if (IsBlankImage(image)) {
    const std::string value = image[0] == 0xFF ? "FFh" : "00h";
    question += ru ? "Файл " + path + " содержит только " + value + ": это не прошивка. "
                   : "The file " + path + " holds nothing but " + value + ": that is no firmware. ";
  }
  if (question.empty()) return std::nullopt;
  return question + (ru ? "Всё равно записать?" : "Write it anyway?");
}

bool ConfirmImage(TaskView& view, const std::string& path, std::span<const std::uint8_t> image,
                  std::size_t chipSize, LogLanguage language, RestOfChip rest) {
  const auto question = ImageQuestion(path, image, chipSize, language, rest);
  if (!question || view.askYesNo(*question)) return true;
  view.log(language == LogLanguage::Russian ? "Запись отменена; микросхема не тронута."
                                            : "The write is cancelled; the chip is not touched.");
  return false;
}

}  // namespace jig
