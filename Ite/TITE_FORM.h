#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <array>
#include <memory>
#include <string>

#include "Ite/IteOperations.h"
#include "link/D2xx.h"
#include "gui/TTaskWindow.h"

namespace jig {

// The ITE window: motherboard list, pin boxes, APPLY, link check, read and write.
class TITE_FORM : public TTaskWindow {
 public:
  // basePath empty: "MB connection ITE.txt" beside the program.
  explicit TITE_FORM(D2xx& d2xx, const std::string& basePath = {});
  ~TITE_FORM() override;

  void FormCreate(const std::string& basePath);
  void ITE_ComboBox_MB_SWITCHSelect();
  void ITE_CheckBoxClick();
  void ITE_SETUP_BitBtnClick();
  void ITE_CHECK_CON_BitBtnClick();
  void ITE_READ_BitBtnClick();
  void ITE_WRITE_BitBtnClick();
  void ITE_EXIT_BitBtnClick();
  void ITE_STOP_BitBtnClick();

  IteOperations& operations() { return *ops_; }

  QComboBox* ITE_ComboBox_MB_SWITCH;
  QCheckBox* ITE_CheckBox;
  QGroupBox* GroupBox1;
  std::array<QComboBox*, ite::kSignalCount> pinBoxes{};  // in the order of ite::kSignals
  QPushButton* ITE_SETUP_BitBtn;
  QPushButton* ITE_CHECK_CON_BitBtn;
  QPushButton* ITE_READ_BitBtn;
  QPushButton* ITE_WRITE_BitBtn;
  QPushButton* ITE_EXIT_BitBtn;
  QPushButton* ITE_STOP_BitBtn;  // enabled only while a read or write runs
  QCheckBox* VerifyAfterWrite;
  QCheckBox* ReadTwice;
  QCheckBox* Backup_ITE;
  QPlainTextEdit* ITE_Memo1;
  QProgressBar* ITE_CGauge1;
  QProgressBar* SPEED_ITE_CGauge;
  QLabel* ITE_CGauge1_Label;
  QLabel* SPEED_ITE_CGauge_Label;

 private:
  void showJob(const JobStatus& status) override;
  void buildBoardChoice();
  void buildPinBoxes();
  void build();
  void layOut();
  void connectControls();
  void restoreChoices();
  std::unique_ptr<IteOperations> ops_;
};

}  // namespace jig
