#pragma once
// Every bound on a wait in the tool lives here, each with the reason for its value.
// A wait that runs out ends its operation on the failure path: end byte where the
// operation has one, handle and file closed, mode back to idle, one log line.
#include <algorithm>
#include <cstdint>

namespace jig::limits {

// Link settings the programmer's firmware images speak (the boot loader speaks 115200).
inline constexpr std::uint32_t kFirmwareBaud = 921600;
inline constexpr std::uint32_t kBootLoaderBaud = 115200;

// The start query and the 3-byte open profiles give the programmer 300 ms to answer 'B';
// the NPCE firmware is given 500 ms.
inline constexpr std::uint32_t kQueryTimeoutMs = 300;
inline constexpr std::uint32_t kNpceQueryTimeoutMs = 500;
inline constexpr std::uint8_t kLatencyMs = 2;

// The start query reads at most 16 bytes of version text.
inline constexpr std::uint32_t kVersionReadLength = 16;
// A version text may be shorter than the count asked for: it is whole once the line has
// been quiet for the bridge's latency timer (the longest it holds a partial USB packet)
// plus this margin for the host's own wake-up.
inline constexpr std::uint32_t kAnswerGapMarginMs = 2;
// The latency timer an FTDI bridge keeps until it is set, assumed when a port cannot say.
inline constexpr std::uint32_t kBridgeDefaultLatencyMs = 16;
// Before it asks 'B', an open reads and drops what still comes after its purge (the rest
// of a block an interrupted command left on its way) until the line has been quiet for
// the answer gap. The longest such rest is one MEC16xx stream block, 1025 bytes or 11.1 ms
// on the wire; its last partial packet held for the bridge's 16 ms default and the 18 ms
// of quiet that default asks for make 45 ms; twice that leaves room for a host that is not
// given the processor at once. A line still busy after this long and one quiet gap more
// is a programmer that cannot be asked: the open counts it as one that did not answer.
inline constexpr std::uint32_t kStrayDrainBoundMs = 100;

// A read time-out of 0 means "until the count has come". Nothing on a bench may hang for
// ever, so even such a read gives up after this long: longer than any answer the
// programmer owes (the slowest, a full-chip erase, is done well within it).
inline constexpr std::uint32_t kUnlimitedReadCapMs = 60000;

// Waiting for a short answer to a command (a status byte, a ready byte, a register
// value): the programmer answers within milliseconds; a second covers a busy USB bus.
inline constexpr std::uint32_t kAnswerTimeoutMs = 1000;

// Waiting for one data block of a streamed transfer (256 to 1025 bytes at 921600 baud
// take about 11 ms on the wire, plus the controller's own access time).
inline constexpr std::uint32_t kBlockTimeoutMs = 3000;

// Waiting for the transmit queue to drain after a write of at most a few hundred bytes.
inline constexpr std::uint32_t kDrainTimeoutMs = 2000;

// The boot loader answers each 44-byte HEX line after programming it into its flash.
inline constexpr std::uint32_t kBootLineTimeoutMs = 2000;

// Sleep between two looks at a transmit queue that cannot be waited on directly.
inline constexpr std::uint32_t kQueuePollSleepMs = 1;

// Firmware switch and boot loader.
// The user has 5 s (Timer_5SEC) from the start of the boot phase to reach the boot loader.
inline constexpr std::uint32_t kBootWindowMs = 5000;
// '?' is answered with '!' within up to 5 reads of the 300 ms read time-out.
inline constexpr int kBootJumpReads = 5;
// Three attempts to get a greeting; each greeting byte gets up to three 1-byte reads.
inline constexpr int kBootAttempts = 3;
inline constexpr int kBootGreetingByteReads = 3;
// A greeting is at most 16 bytes; it must end with XON within its first 15.
inline constexpr std::uint32_t kBootGreetingMax = 16;
// The 'U' stream is written in chunks of 16 bytes (1.4 ms of the line at 115200 baud)
// and never more than 48 bytes (4.2 ms) ahead of the line, by the clock and by the
// transmit queue: a worker that wakes late still finds bytes queued, a link that takes
// bytes at once is not flooded, and few 'U's follow the boot loader's greeting.
inline constexpr std::uint32_t kBootSyncChunk = 16;
inline constexpr std::uint32_t kBootSyncAhead = 48;
// While the line has its 48 bytes, the worker sleeps on the receive queue this long.
inline constexpr std::uint32_t kBootSyncPaceMs = 1;
// "pf" makes the boot loader erase the application flash before it answers.
inline constexpr std::uint32_t kBootEraseTimeoutMs = 3000;
// The answers to the end record and to "g" come as soon as the loader has read them.
inline constexpr std::uint32_t kBootEndTimeoutMs = 2000;
inline constexpr std::uint32_t kBootStartTimeoutMs = 2000;
// The boot loader's answer to a data line fits in 16 bytes with its XON.
inline constexpr std::uint32_t kBootAnswerMax = 16;
// Timer_RUN: the task window opens 300 ms after the switch ends; the command line waits
// as long before it talks to the new firmware.
inline constexpr std::uint32_t kTimerRunMs = 300;

// EDID EEPROM.
// The 258-byte read answer: the programmer reads 256 bytes over a 100 kHz I2C bus (about
// 25 ms) and sends them in under 3 ms; two seconds leave room for a slow USB bus.
inline constexpr std::uint32_t kEdidReadTimeoutMs = 2000;
// The ready byte after 'E' 'w': the programmer answers at once.
inline constexpr std::uint32_t kEdidReadyTimeoutMs = 1000;
// The write status: 256 bytes written byte by byte at up to 10 ms each take 2.6 s at the
// slowest; five seconds cover the slowest EEPROM.
inline constexpr std::uint32_t kEdidWriteTimeoutMs = 5000;

// Keyboard matrix test.
// A report follows each "u" or "U" within milliseconds (the programmer scans 32 lines);
// two seconds of silence mean the programmer or its cable is gone.
inline constexpr std::uint32_t kKeyboardReportTimeoutMs = 2000;
// Timer_keyboard_scan ticks every 100 ms; no tick for five seconds means the window's
// timer is no longer running, and the scan must not wait for it for ever.
inline constexpr std::uint32_t kKeyboardTickTimeoutMs = 5000;
inline constexpr std::uint32_t kKeyboardTickIntervalMs = 100;
// What one read takes and what one report may hold before its "&".
inline constexpr std::uint32_t kKeyboardBufferBytes = 1024;

// ENE KB90xx.
// The controller's version ID comes back through the keyboard-connector wires within
// milliseconds; a second covers a busy USB bus and a slow debug interface.
inline constexpr std::uint32_t kKb90HandshakeTimeoutMs = 1000;
// One 256-byte block of a read: 3 ms on the wire plus the controller's flash access.
inline constexpr std::uint32_t kKb90BlockTimeoutMs = 3000;
// The ready byte for a block of a write: before the first block the programmer erases the
// whole 128 KiB flash, which takes the KB90xx a few seconds.
inline constexpr std::uint32_t kKb90ReadyTimeoutMs = 10000;
// The done byte after a block of a write: programming 256 bytes byte by byte.
inline constexpr std::uint32_t kKb90DoneTimeoutMs = 3000;
// Each progress mark of the checksum: the programmer reads one 256-byte block back.
inline constexpr std::uint32_t kKb90MarkTimeoutMs = 3000;
// The 4-byte checksum answer after the last mark.
inline constexpr std::uint32_t kKb90ChecksumTimeoutMs = 1000;



// MEC16xx over JTAG.
// The answer to "1", the four ID bytes and the byte that answers "W" or "N": the firmware
// sends them at once (a few JTAG clocks); a second covers a busy USB bus.
inline constexpr std::uint32_t kMec16AnswerTimeoutMs = 1000;
// One streamed read block (1025 bytes: about 11 ms on the wire, plus the JTAG reads of
// 256 flash words by the programmer, a few tens of ms).
inline constexpr std::uint32_t kMec16BlockTimeoutMs = 5000;
// The 'G' after a 256-byte page: 64 word programs of some tens of microseconds each,
// driven over JTAG, well under a second.
inline constexpr std::uint32_t kMec16PageTimeoutMs = 3000;
// The busy bit of an erase: erasing the 192 KiB array (and INFO) takes a few seconds on
// the real part; 30 s leaves room for a slow one without holding the bench for ever.
inline constexpr std::uint32_t kMec16EraseTimeoutMs = 30000;

// ITE.
// Connect: the user is told to plug the adapter in within 5 s after pressing the button,
// and the programmer's firmware waits that long for the controller; 3 s of margin on top.
inline constexpr std::uint32_t kIteConnectBoundMs = 8000;
// Any other single-byte answer (Set address, Write/Read register, settings, Flash
// address): the programmer answers within milliseconds; a few seconds cover a busy bus.
inline constexpr std::uint32_t kIteAnswerBoundMs = 3000;
// One Read block of 257 bytes: about 3 ms on the wire plus the controller's access time.
inline constexpr std::uint32_t kIteBlockBoundMs = 3000;
// The first Flash address after the chip erase is answered when the erase is over.
// Serial NOR chip erase: the Winbond W25Q80DV data sheet gives tCE max 6 s for an
// 8 Mbit part; a 1 Mbit (128 KiB) part erases faster. Five times that covers slow
// and ageing parts.
inline constexpr std::uint32_t kIteEraseBoundMs = 30000;
// Program byte: one read with the 300 ms read time-out the ITE link runs with.
inline constexpr std::uint32_t kIteProgramByteMs = 300;



// NPCE.
// The programmer erases the whole 128 KiB flash itself; the real part takes a few seconds
// (its sheet's worst case stays under 10 s), so twice that before the erase counts as lost.
inline constexpr std::uint32_t kNpceEraseTimeoutMs = 20000;
// The blank check reads the 128 KiB back over the chip's own bus: well under a second.
inline constexpr std::uint32_t kNpceBlankCheckTimeoutMs = 5000;
// One 512-byte block takes about 6 ms on the wire plus the flash read in the programmer.
inline constexpr std::uint32_t kNpceBlockTimeoutMs = 3000;
// A one-byte answer ('*', a block status, the acks of 'I', 'O', 07h, the first byte of the
// end answer) comes within milliseconds; six reads of the link's 500 ms time-out give 3 s.
inline constexpr int kNpceByteReadTries = 6;
inline constexpr std::uint32_t kNpceAnswerTimeoutMs = 3000;

// The command line: its waits over a whole operation. Each step inside has its own bound
// above; these are safety nets against an operation that never reports its end.
// A whole switch (boot phase, a 6144-byte upload at 115200 baud takes about 3 s); the
// worker ends by its own bounds in any case.
inline constexpr std::uint32_t kSwitchCliBoundMs = 120000;
// A whole MEC16xx click: a backup read, 768 pages and the verify read take well under a
// minute on the real part.
inline constexpr std::uint32_t kMec16OperationBoundMs = 600000;
// A whole ITE action: the how-to text promises a write within 10 minutes and a read in
// 20 s; a backup and a verify read come on top of a write.
inline constexpr std::uint32_t kIteOperationBoundMs = 1800000;
// A whole NPCE read or write.
inline constexpr std::uint32_t kNpceOperationBoundMs = 600000;
// One KB90xx read or write (with its checksum) when every wait of its 512 blocks runs out
// in turn; a second run (a read twice, the backup read before a write) doubles it.
inline constexpr std::uint32_t kKb90CliBlocks = 512;
inline constexpr std::uint32_t kKb90RunBoundMs =
    std::max(kKb90HandshakeTimeoutMs + kKb90CliBlocks * kKb90BlockTimeoutMs,
             kKb90HandshakeTimeoutMs + kKb90CliBlocks * (kKb90ReadyTimeoutMs + kKb90DoneTimeoutMs) +
                 kKb90CliBlocks * kKb90MarkTimeoutMs + kKb90ChecksumTimeoutMs);
// Time for the end of a KB90xx run to be reported once its last wait is over.
inline constexpr std::uint32_t kKb90CliMarginMs = 10000;
// A keyboard scan lasts this long unless --seconds says otherwise, and a day at most.
inline constexpr long kKeyboardCliScanSeconds = 10;
inline constexpr long kKeyboardCliLongestScanSeconds = 24 * 3600;

}  // namespace jig::limits
