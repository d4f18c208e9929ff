#include "cli/HistoryCli.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

#include "files/DumpChecks.h"
#include "files/Sha256.h"
#include "files/SourceFile.h"
#include "journal/JobJournal.h"
#include "journal/JournalFields.h"
#include "view/SafeText.h"
#include "view/SystemError.h"

namespace jig {

namespace fs = std::filesystem;

namespace {

// A file to look up is a chip image or a dump; this is far above any chip this tool reads.
constexpr std::size_t kMaxInfoFileBytes = 64 * 1024 * 1024;

// A JSON string: control characters (DEL and C1 too) as \u escapes, a byte that is no
// valid UTF-8 as U+FFFD, so that the output is valid JSON and acts on no terminal.
std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = NextUtf8(text, at);
    if (c.length == 0) {
      out += "\\ufffd";
      ++at;
      continue;
    }
    if (c.code == '"' || c.code == '\\') {
      out += '\\';
      out += static_cast<char>(c.code);
    } else if (IsControlCode(c.code)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c.code));
      out += escaped;
    } else {
      out.append(text, at, c.length);
    }
    at += c.length;
  }
  return out + "\"";
}

// A CSV value: visible text; one a spreadsheet would run as a formula (= + - @ first) is
// taken as text by a leading apostrophe; quoted where a comma or a quote would split it.
std::string CsvText(const JournalField& field) {
  std::string text = VisibleText(field.value);
  if (!field.number && !text.empty() && std::string_view("=+-@").find(text.front()) != std::string_view::npos)
    text.insert(text.begin(), '\'');
  if (text.find_first_of(",\"") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// A way of printing jobs, one at a time as the journal gives them: nothing is kept, so a
// bench's years of jobs print as fast as they are read.
class JobPrinter {
 public:
  enum class Form { Table, Json, Csv };
  JobPrinter(Form form, std::ostream& out) : form_(form), out_(out) {
    char line[160];
    switch (form_) {
      case Form::Table:
        std::snprintf(line, sizeof line, "%6s  %-20s  %-8s  %-10s  %-6s  %s", "ID", "STARTED (UTC)", "TASK", "ACTION",
                      "RESULT", "LABEL / FILE");
        out_ << line << '\n';
        break;
      case Form::Json:
        out_ << "[";
        break;
      case Form::Csv: {
        const auto header = JournalFields(JournalEntry{});
        for (std::size_t f = 0; f < header.size(); ++f) out_ << (f ? "," : "") << header[f].name;
        out_ << "\r\n";
        break;
      }
    }
  }
  ~JobPrinter() {
    if (form_ == Form::Json) out_ << (any_ ? "\n]\n" : "]\n");
  }
  JobPrinter(const JobPrinter&) = delete;
  JobPrinter& operator=(const JobPrinter&) = delete;

  void operator()(const JournalEntry& entry) {
    switch (form_) {
      case Form::Table:
        table(entry);
        break;
      case Form::Json:
        json(entry);
        break;
      case Form::Csv: {
        const auto fields = JournalFields(entry);
        for (std::size_t f = 0; f < fields.size(); ++f) out_ << (f ? "," : "") << CsvText(fields[f]);
        out_ << "\r\n";
        break;
      }
    }
    any_ = true;
  }

 private:
  // One line a job: id, start, task, action, the result, the label and the file.
  void table(const JournalEntry& entry) {
    const JobRecord& r = entry.record;
    const auto fields = JournalFields(entry);
    const std::string result = IsDamaged(entry, "success") ? kDamagedValue : ResultText(r);
    char line[160];
    std::snprintf(line, sizeof line, "%6lld  %-20s  %-8s  %-10s  %-6s  ", static_cast<long long>(entry.id),
                  JournalFieldValue(fields, "started").c_str(), VisibleText(r.task).c_str(),
                  VisibleText(r.action).c_str(), result.c_str());
    out_ << line;
    if (!r.label.empty()) out_ << '[' << VisibleText(r.label) << "] ";
    out_ << VisibleText(r.file) << '\n';
  }
  void json(const JournalEntry& entry) {
    out_ << (any_ ? ",\n {" : "\n {");
    const auto fields = JournalFields(entry);
    for (std::size_t f = 0; f < fields.size(); ++f) {
      const JournalField& field = fields[f];
      out_ << (f ? ", " : "") << JsonText(field.name) << ": "
           << (field.value.empty() && field.number ? "null" : field.number ? field.value : JsonText(field.value));
    }
    out_ << "}";
  }

  Form form_;
  std::ostream& out_;
  bool any_ = false;
};

// The journal to read: nothing (and a line) when there is none yet (missing, when asked) or
// it cannot be read.
std::unique_ptr<Journal> ReadableJournal(CliRequest& request, bool* missing = nullptr, bool sayMissing = true) {
  const fs::path file = JournalFile();
  auto read = OpenJournalToRead(file, LogLanguage::English);
  if (missing) *missing = read.missing;
  if (read.missing) {
    if (sayMissing) request.out << "The job journal " << file.string() << " holds no jobs yet.\n";
    return nullptr;
  }
  for (const auto& line : read.lines) request.err << line << '\n';
  if (!read.journal) {
    request.err << "The job journal " << file.string() << " cannot be read (" << read.problem << ").\n";
    return nullptr;
  }
  return std::move(read.journal);
}

int ShowJob(CliRequest& request) {
  std::int64_t id = 0;
  const std::string& text = request.operand;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size() || id <= 0)
    return BadUsage(request, "not a job number: " + text);
  auto journal = ReadableJournal(request);
  if (!journal) return kExitFailed;
  const auto entry = journal->job(id);
  if (!entry) {
    request.err << "No job " << id << " in the journal.\n";
    return kExitFailed;
  }
  if (request.options.has("--json")) {
    JobPrinter(JobPrinter::Form::Json, request.out)(*entry);
    return kExitOk;
  }
  for (const JournalField& field : JournalFields(*entry)) {
    char name[24];
    std::snprintf(name, sizeof name, "%-17s", (std::string(field.name) + ":").c_str());
    request.out << (field.value.empty() ? std::string(field.name) + ":" : name + VisibleText(field.value)) << '\n';
  }
  return kExitOk;
}

}  // namespace

int RunHistoryCommand(CliRequest& request) {
  if (request.action == "show") return ShowJob(request);
  HistoryFilter filter;
  filter.task = request.options.value("--task");
  filter.label = request.label;
  filter.since = request.options.value("--since");
  filter.failedOnly = request.options.has("--failed");
  if (request.options.has("--since") && !ParseUtcText(filter.since))
    return BadUsage(request, "--since takes a UTC date, YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ: \"" +
                                 VisibleText(filter.since) + "\"");
  if (request.options.has("--json") && request.options.has("--csv"))
    return BadUsage(request, "--json and --csv exclude each other");
  const auto form = request.options.has("--json")  ? JobPrinter::Form::Json
                    : request.options.has("--csv") ? JobPrinter::Form::Csv
                                                   : JobPrinter::Form::Table;
  bool missing = false;
  auto journal = ReadableJournal(request, &missing, form == JobPrinter::Form::Table);
  if (!journal) {
    // No journal yet: no jobs, in the form asked for ([] or the header line).
    if (missing && form != JobPrinter::Form::Table) JobPrinter(form, request.out);
    return missing ? kExitOk : kExitFailed;
  }
  bool read = false;
  {
    JobPrinter print(form, request.out);
    read = journal->eachInHistory(filter, [&print](const JournalEntry& entry) { print(entry); });
  }
  if (!read) {
    request.err << "The job journal cannot be read (" << journal->error().text << ").\n";
    return kExitFailed;
  }
  return kExitOk;
}

int RunInfoCommand(CliRequest& request) {
  const SourceFile file = ReadSourceFile(request.operand, kMaxInfoFileBytes);
  if (!file.ok() && file.problem != SourceProblem::Empty) {
    request.err << request.operand << ": "
                << (file.error ? SystemErrorText(file.error) : std::string("not a regular file of at most 64 MiB"))
                << '\n';
    return kExitUsage;
  }
  const std::string sha = Sha256Hex(file.bytes);
  request.out << "File:    " << request.operand << '\n'
              << "Size:    " << file.bytes.size() << " bytes\n"
              << "SHA-256: " << sha << '\n'
              << "Content: " << DumpPatternLine(CheckDumpPattern(file.bytes), LogLanguage::English) << '\n';
  std::error_code ec;
  if (!fs::exists(JournalFile(), ec)) {
    request.out << "No job in the journal read or wrote these bytes.\n";
    return kExitOk;
  }
  auto journal = ReadableJournal(request);
  if (!journal) return kExitFailed;
  const auto jobs = journal->jobsWithSha256(sha);
  if (jobs.empty()) {
    request.out << "No job in the journal read or wrote these bytes.\n";
    return kExitOk;
  }
  request.out << "Jobs with these bytes (as the file, or as the backup taken before a write):\n";
  JobPrinter print(JobPrinter::Form::Table, request.out);
  for (const JournalEntry& job : jobs) print(job);
  return kExitOk;
}

}  // namespace jig
