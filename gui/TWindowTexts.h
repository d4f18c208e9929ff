#pragma once
// The windows' own texts that no operation owns (the log's menu, a refused close), in the
// window's language: one table for all of them.
#include "view/LogLanguage.h"

namespace jig {

struct WindowTexts {
  const char* saveLogAction;
  const char* saveLogTitle;
  const char* saveLogFilter;
  const char* logNotSaved;
  // The close box (or Alt+F4) while an operation runs.
  const char* closeRefused;
  // The empty label field: what goes into it.
  const char* jobLabelHint;
  // Beside it after a job found two images different: shows them side by side.
  const char* compareOffered;
};

inline constexpr WindowTexts kWindowTextsEnglish{
    "Save log...", "Save log", "Text (*.txt)|*.txt|All files|*", "The log could not be saved to ",
    "The window stays open while an operation runs: close it once the operation has ended.",
    "Ticket / board no.", "Compare..."};
inline constexpr WindowTexts kWindowTextsRussian{
    "Сохранить журнал...", "Сохранить журнал", "Текст (*.txt)|*.txt|Все файлы|*", "Журнал не удалось сохранить в ",
    "Окно не закрывается, пока идёт операция: закройте его, когда она закончится.",
    "Заявка / № платы", "Сравнить..."};

inline const WindowTexts& WindowTextsIn(LogLanguage language) {
  return language == LogLanguage::Russian ? kWindowTextsRussian : kWindowTextsEnglish;
}

}  // namespace jig
