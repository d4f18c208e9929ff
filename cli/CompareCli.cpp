#include "cli/CompareCli.h"

#include <algorithm>

#include "files/ComparedDump.h"
#include "files/DumpCompare.h"
#include "files/DumpCompareTexts.h"

namespace jig {

int RunCompareCommand(CliRequest& request) {
  const ComparedDumpRead a = ReadComparedDump(request.operand);
  const ComparedDumpRead b = ReadComparedDump(request.secondOperand);
  for (const ComparedDumpRead* side : {&a, &b})
    if (!side->ok()) request.err << side->problem << '\n';
  if (!a.ok() || !b.ok()) return kExitUsage;

  const DumpComparison comparison = CompareDumpRanges(a.dump.bytes, b.dump.bytes);
  const std::size_t listed = std::min(comparison.ranges.size(), kMaxListedRanges);
  for (std::size_t i = 0; i < listed; ++i) request.out << RangeLine(comparison.ranges[i]) << '\n';
  if (comparison.ranges.size() > listed) request.out << MoreRangesLine(comparison.ranges.size() - listed) << '\n';
  request.out << ComparisonSummary(comparison) << '\n';
  return comparison.identical() ? kExitOk : kExitFailed;
}

}  // namespace jig
