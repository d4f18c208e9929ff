#pragma once
// The KB90xx window: the wiring aid over "MB connection ENE.txt", the read and write
// buttons, the log and the gauge. The operations live in Kb90Operations.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>
#include <memory>
#include <vector>

#include "Kb901x_form/Kb90Operations.h"
#include "Kb901x_form/MbConnectionEne.h"
#include "link/D2xx.h"
#include "gui/TRemembered.h"
#include "gui/TTaskWindow.h"

namespace jig {

class TKB901X_forms : public TTaskWindow {
 public:
  explicit TKB901X_forms(D2xx& d2xx, std::vector<std::filesystem::path> baseFolders = ene::BaseFolders(),
                         Kb90Bounds bounds = {});
  ~TKB901X_forms() override;

  void FormCreate();
  void KB901X_READClick();
  void KB901X_WRITEClick();
  void EXIT_KB901XClick();
  void ComboBox_KB901XSelect();
  void ComboBox_KB901X_FFCSelect();
  void CheckBox_KB901XClick();

  Kb90Mode mode() const { return operations_->mode(); }

  QGroupBox* GroupBox1;
  QComboBox* ComboBox_KB901X;
  QComboBox* ComboBox_KB901X_FFC;
  QCheckBox* CheckBox_KB901X;
  QLabel* Label_result;
  QPushButton* KB901X_READ;
  QPushButton* KB901X_WRITE;
  QPushButton* EXIT_KB901X;
  QCheckBox* ReadTwice;
  QCheckBox* Backup_KB901X;
  QPlainTextEdit* KB901X_Memo;
  QProgressBar* CGauge_KB901X;

 private:
  void buildWiringAid();
  void build();
  void layOut();
  void connectControls();
  void computeWiring();
  ene::Wiring wiringNow() const;
  void restoreChoices();
  void keepChoice(QComboBox* list, remembered::Choice choice);
  void colourList(QComboBox* list, Rgb colour);
  void showJob(const JobStatus& status) override;

  std::vector<std::filesystem::path> baseFolders_;
  std::unique_ptr<Kb90Operations> operations_;
};

}  // namespace jig
