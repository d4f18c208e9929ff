#include "journal/JournalFields.h"

#include "journal/Journal.h"
#include "view/CharFilter.h"

namespace jig {

namespace {

std::string Optional(const std::optional<std::int64_t>& value) { return value ? std::to_string(*value) : ""; }

std::string Hex(const std::optional<std::int64_t>& value) {
  return value ? "0x" + Hex8(static_cast<std::uint32_t>(*value)) : std::string();
}

}  // namespace

bool IsDamaged(const JournalEntry& entry, std::string_view field) {
  for (const char* name : entry.damaged)
    if (field == name) return true;
  return false;
}

std::vector<JournalField> JournalFields(const JournalEntry& entry) {
  const JobRecord& r = entry.record;
  std::vector<JournalField> fields{{"id", std::to_string(entry.id), true},
          {"started", UtcText(r.started), false},
          {"ended", UtcText(r.ended), false},
          {"duration_ms", std::to_string(r.durationMs), true},
          {"task", r.task, false},
          {"action", r.action, false},
          {"success", r.success ? "true" : "false", true},
          {"outcome", OutcomeName(OutcomeOf(r)), false},
          {"chip_touched", r.chipTouched ? "true" : "false", true},
          {"chip_id", r.chipId, false},
          {"chip_version", r.chipVersion, false},
          {"port", r.port, false},
          {"firmware", r.firmware, false},
          {"file", r.file, false},
          {"file_size", std::to_string(r.fileSize), true},
          {"file_sha256", r.fileSha256, false},
          {"backup_path", r.backupPath, false},
          {"backup_sha256", r.backupSha256, false},
          {"first_difference", Hex(r.firstDifference), false},
          {"differing_bytes", Optional(r.differingBytes), true},
          {"label", r.label, false},
          {"program_version", r.programVersion, false},
          {"verdict", r.verdict, false}};
  for (JournalField& field : fields)
    if (IsDamaged(entry, field.name)) field = {field.name, kDamagedValue, false};
  return fields;
}

std::string JournalFieldValue(const std::vector<JournalField>& fields, std::string_view name) {
  for (const JournalField& field : fields)
    if (name == field.name) return field.value;
  return {};
}

}  // namespace jig
