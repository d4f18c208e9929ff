#include "gui/THistoryWindow.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QUrl>
#include <QVBoxLayout>

#include <filesystem>

#include "gui/HistoryTexts.h"
#include "gui/TTaskWindow.h"
#include "gui/TWidgets.h"
#include "journal/JobJournal.h"
#include "journal/JournalFields.h"
#include "view/SafeText.h"

namespace jig {

namespace fs = std::filesystem;
using namespace history::text;

namespace {

// The table's columns, each a field of the journal; the start is shown in local time and
// the result in one word, coloured.
struct Column {
  const char* header;
  const char* field;
};
constexpr Column kColumns[] = {{"Started", "started"}, {"Task", "task"},     {"Action", "action"},
                               {"Result", "success"},  {"Label", "label"},   {"File", "file"},
                               {"Backup", "backup_path"}, {"Verdict", "verdict"}};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));
constexpr const char* kLocalTimeFormat = "yyyy-MM-dd HH:mm:ss";

// A cell never shows a control character raw, nor a damaged value as if it were one.
QString CellText(const Column& column, const JournalEntry& entry, const std::vector<JournalField>& fields) {
  const std::string_view field = column.field;
  if (IsDamaged(entry, field)) return kDamagedValue;
  if (field == "started")
    return QDateTime::fromSecsSinceEpoch(entry.record.started).toLocalTime().toString(kLocalTimeFormat);
  if (field == "success") return ResultText(entry.record);
  return Q(VisibleText(JournalFieldValue(fields, field)));
}

// Green ok, red FAILED, and grey for a job called off: neither went wrong on the chip.
Rgb ResultColour(const JobRecord& record) {
  const JobOutcome outcome = OutcomeOf(record);
  return outcome == JobOutcome::Ok ? colour::kLime : outcome == JobOutcome::Cancelled ? colour::kSilver : colour::kRed;
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_regular_file(path, ec);
}

}  // namespace

THistoryWindow::THistoryWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HistoryWindow");
  setWindowTitle(kCaption);
  openFolder = [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };
  build();
  layOut();
  connectControls();
}

void THistoryWindow::build() {
  TaskFilter = Named(new QComboBox(this), "HistoryTaskFilter");
  TaskFilter->addItem(kAllTasks);
  LabelFilter = Named(new QLineEdit(this), "HistoryLabelFilter");
  LabelFilter->setPlaceholderText(kLabelFilterHint);
  LabelFilter->setClearButtonEnabled(true);
  FailedOnly = Named(new QCheckBox(kFailedOnly, this), "HistoryFailedOnly");
  Refresh = Named(new QPushButton(kRefresh, this), "HistoryRefresh");
  Jobs = Named(new QTableWidget(0, kColumnCount, this), "HistoryJobs");
  QStringList headers;
  for (const Column& column : kColumns) headers << column.header;
  Jobs->setHorizontalHeaderLabels(headers);
  Jobs->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Jobs->setSelectionBehavior(QAbstractItemView::SelectRows);
  Jobs->setSelectionMode(QAbstractItemView::SingleSelection);
  Jobs->verticalHeader()->hide();
  Jobs->horizontalHeader()->setStretchLastSection(true);
  Status = Named(new QLabel(this), "HistoryStatus");
  Status->setWordWrap(true);
  Status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  OpenFolder = Named(new QPushButton(kOpenFolder, this), "HistoryOpenFolder");
  RestoreBackup = Named(new QPushButton(kRestoreBackup, this), "HistoryRestoreBackup");
  CompareWithBackup = Named(new QPushButton(kCompareWithBackup, this), "HistoryCompareWithBackup");
  OpenFolder->setEnabled(false);
  RestoreBackup->setEnabled(false);
  CompareWithBackup->setEnabled(false);
}

void THistoryWindow::layOut() {
  auto* filters = new QHBoxLayout;
  filters->addWidget(TaskFilter);
  filters->addWidget(LabelFilter, 1);
  filters->addWidget(FailedOnly);
  filters->addWidget(Refresh);
  auto* actions = new QHBoxLayout;
  actions->addWidget(OpenFolder);
  actions->addWidget(RestoreBackup);
  actions->addWidget(CompareWithBackup);
  actions->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(Jobs, 1);
  layout->addWidget(Status);
  layout->addLayout(actions);
  resize(960, 480);
}

void THistoryWindow::connectControls() {
  connect(Refresh, &QPushButton::clicked, this, [this] { refresh(); });
  connect(TaskFilter, &QComboBox::currentIndexChanged, this, [this] {
    if (!filling_) refresh();
  });
  connect(LabelFilter, &QLineEdit::textChanged, this, [this] { refresh(); });
  connect(FailedOnly, &QCheckBox::toggled, this, [this] { refresh(); });
  connect(Jobs, &QTableWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
  connect(OpenFolder, &QPushButton::clicked, this, [this] { openFolderClick(); });
  connect(RestoreBackup, &QPushButton::clicked, this, [this] { restoreClick(); });
  connect(CompareWithBackup, &QPushButton::clicked, this, [this] { compareSelected(); });
}

// The journal is opened for this reading alone and closed when it is done.
void THistoryWindow::refresh() {
  jobs_.clear();
  QStringList lines;
  JournalToRead read = OpenJournalToRead(JournalFile(), LogLanguage::English);
  for (const std::string& line : read.lines) lines << Q(line);
  if (read.missing) {
    lines << kNoJobsYet;
  } else if (!read.journal) {
    lines << kCannotRead + Q(read.problem);
  } else {
    const std::vector<std::string> tasks = read.journal->tasks();
    fillTasks(tasks);
    HistoryFilter filter;
    if (TaskFilter->currentIndex() > 0) filter.task = TaskFilter->currentText().toStdString();
    filter.label = LabelFilter->text().trimmed().toStdString();
    filter.failedOnly = FailedOnly->isChecked();
    jobs_ = read.journal->history(filter);
    if (read.journal->error()) {
      jobs_.clear();
      lines << kCannotRead + Q(read.journal->error().text);
    } else if (tasks.empty()) {
      lines << kNoJobsYet;
    }
  }
  fillRows();
  Status->setText(lines.join('\n'));
}

void THistoryWindow::fillTasks(const std::vector<std::string>& tasks) {
  const QString chosen = TaskFilter->currentIndex() > 0 ? TaskFilter->currentText() : QString();
  filling_ = true;
  TaskFilter->clear();
  TaskFilter->addItem(kAllTasks);
  for (const std::string& task : tasks) TaskFilter->addItem(Q(task));
  // A task that has gone from the journal filters nothing out any longer: all again.
  TaskFilter->setCurrentIndex(chosen.isEmpty() ? 0 : std::max(0, TaskFilter->findText(chosen)));
  filling_ = false;
}

void THistoryWindow::fillRows() {
  Jobs->clearContents();
  Jobs->setRowCount(static_cast<int>(jobs_.size()));
  for (int row = 0; row < Jobs->rowCount(); ++row) {
    const JournalEntry& entry = jobs_[static_cast<std::size_t>(row)];
    const auto fields = JournalFields(entry);
    for (int col = 0; col < kColumnCount; ++col) {
      auto* item = new QTableWidgetItem(CellText(kColumns[col], entry, fields));
      if (std::string_view(kColumns[col].field) == "success") item->setBackground(TTaskWindow::ToQColor(ResultColour(entry.record)));
      Jobs->setItem(row, col, item);
    }
  }
  Jobs->resizeColumnsToContents();
  selectionChanged();
}

const JournalEntry* THistoryWindow::selectedJob() const {
  const auto rows = Jobs->selectionModel()->selectedRows();
  if (rows.isEmpty()) return nullptr;
  const auto row = static_cast<std::size_t>(rows.first().row());
  return row < jobs_.size() ? &jobs_[row] : nullptr;
}

void THistoryWindow::selectionChanged() {
  const JournalEntry* job = selectedJob();
  OpenFolder->setEnabled(job && !job->record.file.empty());
  RestoreBackup->setEnabled(job && restore && IsFile(job->record.backupPath));
  CompareWithBackup->setEnabled(job && compareRequested && IsFile(job->record.file) &&
                                IsFile(job->record.backupPath));
}

void THistoryWindow::openFolderClick() {
  const JournalEntry* job = selectedJob();
  if (!job || job->record.file.empty()) return;
  openFolder(Q(fs::path(job->record.file).parent_path().string()));
}

void THistoryWindow::restoreClick() {
  const JournalEntry* job = selectedJob();
  if (!job || !restore) return;
  if (!IsFile(job->record.backupPath)) {
    Status->setText(kBackupGone + Q(job->record.backupPath));
    selectionChanged();
    return;
  }
  const std::string problem = restore(*job);
  Status->setText(problem.empty() ? QString(kRestoreChosen) : Q(problem));
}

bool THistoryWindow::compareSelected() {
  const JournalEntry* job = selectedJob();
  if (!job || job->record.file.empty() || job->record.backupPath.empty() || !compareRequested) return false;
  compareRequested(job->record.file, job->record.backupPath);
  return true;
}

}  // namespace jig
