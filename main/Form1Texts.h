#pragma once
// The main window's own texts beside its documented captions.
namespace jig::form1::text {

// Start with "Please select " chosen does nothing; the main window's status line says why.
inline constexpr const char* kPickTaskFirst = "Pick a task in the list first, then press Start.";

}  // namespace jig::form1::text
