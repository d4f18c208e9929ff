#pragma once
// Every transfer of the table, each against the simulator with wire time on. A row's
// model time is the best-case time of the exchange the simulator recorded during it.
#include <vector>

#include "bench/Isolated.h"

namespace jig::bench {

// repeats: runs averaged per row (the long transfers run fewer times).
std::vector<Row> RunTransfers(int repeats);

}  // namespace jig::bench
