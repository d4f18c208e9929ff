#include "gui/TCompareModel.h"

#include <QBrush>
#include <QColor>
#include <QFont>

#include "files/DumpCompareTexts.h"
#include "gui/TWidgets.h"
#include "view/CharFilter.h"

namespace jig {

namespace {
// A pale red behind dark red bold digits: marked, and still readable on a laptop's panel.
const QColor kDifferingBackground(255, 205, 205);
const QColor kDifferingText(170, 0, 0);
// A byte one dump lacks.
constexpr char kMissingByte[] = "--";
}  // namespace

TCompareModel::TCompareModel(ComparedDump a, ComparedDump b, QObject* parent)
    : QAbstractTableModel(parent), a_(std::move(a)), b_(std::move(b)) {}

int TCompareModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(HexRowCount(a_.bytes.size(), b_.bytes.size()));
}

int TCompareModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

const HexRow& TCompareModel::row(int index) const {
  const auto wanted = static_cast<std::size_t>(index);
  if (!cached_ || HexRowOf(cached_->address) != wanted) cached_ = MakeHexRow(a_.bytes, b_.bytes, wanted);
  return *cached_;
}

QVariant TCompareModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() == kGapColumn) return {};
  const HexRow& hex = row(index.row());
  if (index.column() == kAddressColumn) return role == Qt::DisplayRole ? QVariant(Q(HexAddress(hex.address))) : QVariant();
  const bool sideA = index.column() < kGapColumn;
  const auto offset = static_cast<std::size_t>(index.column() - (sideA ? kFirstColumnA : kFirstColumnB));
  const std::optional<std::uint8_t>& byte = sideA ? hex.a[offset] : hex.b[offset];
  const bool differs = hex.differs[offset];
  switch (role) {
    case Qt::DisplayRole:
      if (byte) return Q(Hex2(*byte));
      return differs ? QVariant(Q(kMissingByte)) : QVariant();
    case Qt::BackgroundRole: return differs ? QVariant(QBrush(kDifferingBackground)) : QVariant();
    case Qt::ForegroundRole: return differs ? QVariant(QBrush(kDifferingText)) : QVariant();
    case Qt::FontRole:
      if (!differs) return {};
      {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    default: return {};
  }
}

QVariant TCompareModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == kAddressColumn) return Q("Address");
  if (section == kGapColumn) return {};
  const int offset = section - (section < kGapColumn ? kFirstColumnA : kFirstColumnB);
  return QString::number(offset, 16).toUpper();
}

}  // namespace jig
