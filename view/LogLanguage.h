#pragma once
// The language of the window a line goes to: the MEC16xx and ITE windows speak Russian,
// the others English. Lines of our own follow the window's language.

namespace jig {

enum class LogLanguage { English, Russian };

}  // namespace jig
