#pragma once
// Two dumps as rows of a hex table: the address, 16 bytes of the first dump, a narrow gap,
// the same 16 bytes of the second; a byte that differs (or that one dump lacks) in red.
// Rows are made when the view asks for them, so a 16 MiB dump costs no more than a small one.
#include <QAbstractTableModel>

#include <optional>

#include "files/ComparedDump.h"
#include "files/DumpCompare.h"

namespace jig {

class TCompareModel : public QAbstractTableModel {
 public:
  static constexpr int kAddressColumn = 0;
  static constexpr int kFirstColumnA = 1;
  static constexpr int kGapColumn = kFirstColumnA + static_cast<int>(kHexRowBytes);
  static constexpr int kFirstColumnB = kGapColumn + 1;
  static constexpr int kColumns = kFirstColumnB + static_cast<int>(kHexRowBytes);

  TCompareModel(ComparedDump a, ComparedDump b, QObject* parent);

  const ComparedDump& a() const { return a_; }
  const ComparedDump& b() const { return b_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const HexRow& row(int index) const;

  ComparedDump a_;
  ComparedDump b_;
  mutable std::optional<HexRow> cached_;  // the view asks for one row's cells one after another
};

}  // namespace jig
