#pragma once
// The backups of a folder taken on record again by a journal begun anew after a damaged one
// was moved aside: without it they would be unknown to the new journal and never rotate.
#include <cstddef>
#include <filesystem>

#include "journal/Journal.h"

namespace jig {

// A file named <task>-<YYYYmmdd-HHMMSS>-<8 hex digits>... .bin whose own SHA-256 begins
// with those digits was made by this program and goes on record (at its last change);
// anything else (a link, a look-alike, a technician's own dump) stays unknown and is never
// removed. The number taken on record.
std::size_t TakeBackupsOnRecordAgain(Journal& journal, const std::filesystem::path& folder);

}  // namespace jig
