#pragma once
// The register writes that ready the controller's flash interface: the read's
// pre-preparation (which also starts a fast read at address 0) and the write's
// preparation and chip erase. Each step has the code its failure line shows.
#include <array>
#include <cstdint>
#include <string_view>

namespace jig::ite {

struct RegStep {
  std::string_view code;
  std::uint8_t reg;
  std::uint8_t value;
};

// Register 05 chooses what a write to 08 does: FE a frame boundary, FD a byte to the flash.
inline constexpr std::array<RegStep, 13> kReadPreparation = {{
    {"20", 0x27, 0x01}, {"21", 0x27, 0x80}, {"22", 0x04, 0xFF}, {"23", 0x07, 0x7F}, {"24", 0x06, 0xFF},
    {"25", 0x05, 0xFE}, {"26", 0x08, 0x00},  // frame boundary
    {"27", 0x05, 0xFD}, {"28", 0x08, 0x0B},  // fast read
    {"29", 0x08, 0x00}, {"2A", 0x08, 0x00}, {"2B", 0x08, 0x00},  // address 000000
    {"2C", 0x08, 0x00},                                          // dummy byte
}};

// The first five are the write's pre-preparation; then write enable and the chip erase
// in both its forms (the second reuses the codes of the first).
inline constexpr std::size_t kWritePreparationSteps = 5;
inline constexpr std::array<RegStep, 19> kWriteSequence = {{
    {"T001", 0x27, 0x01}, {"T002", 0x27, 0x80}, {"T003", 0x04, 0xFF}, {"T004", 0x07, 0x7F}, {"T005", 0x06, 0xFF},
    {"T006", 0x05, 0xFE}, {"T007", 0x08, 0x00},  // frame boundary
    {"T008", 0x05, 0xFD}, {"T009", 0x08, 0x06},  // write enable
    {"T010", 0x05, 0xFE}, {"T011", 0x08, 0x00},  // frame boundary
    {"T012", 0x05, 0xFD}, {"T013", 0x08, 0x60},  // chip erase
    {"T014", 0x05, 0xFE}, {"T015", 0x08, 0x00},  // frame boundary
    {"T012", 0x05, 0xFD}, {"T013", 0x08, 0xC7},  // chip erase, second form
    {"T014", 0x05, 0xFE}, {"T015", 0x08, 0x00},  // frame boundary
}};

// The failure codes of the steps outside the register tables: the link check's Connect
// and its three ID reads, the read's Connect, and the write's Connect.
inline constexpr std::string_view kCheckConnectCode = "00";
inline constexpr std::array<std::string_view, 3> kCheckIdCodes = {"01", "02", "03"};
inline constexpr std::string_view kReadConnectCode = "2F";
inline constexpr std::string_view kWriteConnectCode = "3F";

}  // namespace jig::ite
