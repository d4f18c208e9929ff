#include "files/ComparedDump.h"

#include "files/SourceFile.h"

namespace jig {

ComparedDumpRead ReadComparedDump(const std::string& path) {
  SourceFile source = ReadSourceFile(path, kMaxComparedDumpSize);
  if (!source.ok()) return {{path, {}}, path + " " + SourceProblemReason(source, kMaxComparedDumpSize) + "."};
  return {{path, std::move(source.bytes)}, {}};
}

}  // namespace jig
