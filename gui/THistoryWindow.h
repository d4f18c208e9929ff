#pragma once
// The History window: the journal's jobs, newest first, filtered by task, label and result;
// for the job picked, its file's folder and, while its backup is still there, the way back
// to the task's window with that backup chosen for the next write. It reads the journal
// anew at each refresh and keeps nothing open in between; it never writes to a chip.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "journal/JobRecord.h"

namespace jig {

class THistoryWindow : public QWidget {
 public:
  explicit THistoryWindow(QWidget* parent = nullptr);

  // Reads the journal again with the filters as they stand.
  void refresh();
  // The job of the selected row; null when none is selected.
  const JournalEntry* selectedJob() const;
  // Asks for the comparison of the selected job's file with its backup (compareRequested):
  // false when the job has not both.
  bool compareSelected();

  QComboBox* TaskFilter;
  QLineEdit* LabelFilter;
  QCheckBox* FailedOnly;
  QPushButton* Refresh;
  QTableWidget* Jobs;
  QLabel* Status;
  QPushButton* OpenFolder;
  QPushButton* RestoreBackup;
  QPushButton* CompareWithBackup;

  // Shows a folder in the system's file manager; tests put their own here.
  std::function<void(const QString& folder)> openFolder;
  // Opens the job's task window the way Start does, with its backup chosen for the next
  // write; returns what stands in the way (empty: it is on its way). Unset: no restore.
  std::function<std::string(const JournalEntry& job)> restore;
  // The comparison of a job's file with its backup, for whoever offers it.
  std::function<void(const std::string& file, const std::string& backup)> compareRequested;

 private:
  void build();
  void layOut();
  void connectControls();
  // The task list as the journal has it, the choice kept where it still is.
  void fillTasks(const std::vector<std::string>& tasks);
  void fillRows();
  void selectionChanged();
  void openFolderClick();
  void restoreClick();

  std::vector<JournalEntry> jobs_;  // as the rows show them
  bool filling_ = false;            // the task list is being refilled: no refresh from it
};

}  // namespace jig
