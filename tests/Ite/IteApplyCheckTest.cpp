// APPLY, the board choice in the window and the link check, against the simulated bench.
#include "tests/Ite/IteTestSupport.h"

namespace jig {
namespace {

using test::Bytes;
using test::FailureLine;
using test::IteBench;

std::vector<std::uint8_t> Board1PinCommands() {
  // INIT# AFD# SLIN# STB# KSI4 KSI5 BUSY PD0..PD7, then QQQ.
  return {'I', 'N', 13, 'D', 'S', 12, 'A', 'S', 14, 'W', 'R', 11, 'K', '4', 15, 'K', '5', 16, 'B', 'L', 10,
          'd', '0', 1,  'd', '1', 2,  'd', '2', 3,  'd', '3', 4,  'd', '4', 5,  'd', '5', 6,  'd', '6', 7,
          'd', '7', 8,  'Q', 'Q', 'Q'};
}

TEST(IteApply, SendsEnterSettingsAndSixteenPinCommandsInOrder) {
  IteBench bench;
  bench.ops.ITE_ComboBox_MB_SWITCHSelect(1);
  EXPECT_EQ(bench.view.enabled("ITE_CheckBox"), true);
  bench.ops.apply();
  ASSERT_EQ(bench.view.endings().back(), true);
  std::vector<std::uint8_t> expected{'S'};
  const auto pins = Board1PinCommands();
  expected.insert(expected.end(), pins.begin(), pins.end());
  EXPECT_EQ(bench.sent(), expected);  // no end byte after the settings
  EXPECT_TRUE(bench.logged("Отправляем настройки под MB."));
  EXPECT_EQ(bench.view.lastLine(), "Настройки все отправлены.");
  EXPECT_EQ(bench.view.enabled("ITE_READ_BitBtn"), true);
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  EXPECT_EQ(bench.chip().appliedPins(), bench.chip().wiring());
}

TEST(IteApply, StopsAtTheFirstRefusedPinOrRefusedSettings) {
  {
    IteBench bench(test::IteOptions({{"ite-pin-refused", "3"}}));
    bench.ops.ITE_ComboBox_MB_SWITCHSelect(1);
    bench.ops.apply();
    const auto sent = bench.sent();
    ASSERT_EQ(sent.size(), 1u + 3 * 3);  // S and three pin commands, nothing after the refusal
    EXPECT_EQ(bench.view.lastLine(), "Ошибка протокола при настройке выводов.");
    EXPECT_EQ(bench.view.endings().back(), false);
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
  {
    IteBench bench(test::IteOptions({{"ite-settings-refused", ""}}));
    bench.ops.apply();
    EXPECT_EQ(bench.sent(), Bytes("S"));
    EXPECT_EQ(bench.view.lastLine(), "Ошибка при входе в режим настроек.");
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

TEST(IteApply, SilentProgrammerEndsWithinTheBoundAndSaysSo) {
  // The version text (32 bytes), '*' and three '+' come; then silence.
  IteBench bench(test::IteOptions({{"silence-after", "36"}}));
  bench.ops.ITE_ComboBox_MB_SWITCHSelect(1);
  const auto started = std::chrono::steady_clock::now();
  bench.ops.apply();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_TRUE(bench.logged("Программатор не ответил за 300 мс на команду настройки ножки (WR)."));
  EXPECT_EQ(bench.view.lastLine(), "Ошибка протокола при настройке выводов.");
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(IteBoardChoice, LogsTheStoppingSignalAndLeavesTheCheckBoxDisabled) {
  IteBench bench;
  bench.ops.ITE_ComboBox_MB_SWITCHSelect(3);  // the empty line
  EXPECT_EQ(bench.view.lastLine(), "Не найдена информация по номеру ножки для PD0 !");
  EXPECT_EQ(bench.view.enabled("ITE_CheckBox"), false);

  std::string bad = test::kBoard1;
  bad.replace(bad.find("INIT=13"), 7, "INIT=40");
  bench.ops.FormCreate({true, {bad, "Y PD0=5, PD1=2"}});
  bench.ops.ITE_ComboBox_MB_SWITCHSelect(1);
  EXPECT_EQ(bench.view.lastLine(), "Неверный номер ножки для INIT# !");
  EXPECT_EQ(bench.view.selected("ComboBox13"), 10);  // BUSY was set before the stop
  EXPECT_EQ(bench.view.enabled("ITE_CheckBox"), false);

  bench.ops.ITE_ComboBox_MB_SWITCHSelect(2);
  ASSERT_EQ(bench.view.errorBoxes().size(), 1u);
  EXPECT_NE(bench.view.errorBoxes()[0].find("PD0"), std::string::npos);
  EXPECT_EQ(bench.view.enabled("ITE_CheckBox"), false);
}

TEST(IteBoardChoice, MirrorFollowsTheUsersClicksAndEntryZeroKeepsTheBoxes) {
  IteBench bench;
  bench.ops.setPin(0, 0);
  bench.ops.ITE_ComboBox_MB_SWITCHSelect(1);
  bench.ops.setPin(13, 0);  // KSI4 set to "NC" by hand
  bench.ops.setStraightCable(false);
  EXPECT_EQ(bench.view.selected("ComboBox1"), 30);
  EXPECT_EQ(bench.view.selected("ComboBox15"), 15);
  EXPECT_EQ(bench.ops.pins()[13], 0);
  bench.ops.setStraightCable(true);
  EXPECT_EQ(bench.view.selected("ComboBox1"), 1);
  EXPECT_EQ(bench.ops.pins()[14], 16);

  // A new board resets the check mark without mirroring.
  bench.ops.setStraightCable(false);
  bench.ops.ITE_ComboBox_MB_SWITCHSelect(1);
  EXPECT_EQ(bench.view.selected("ITE_CheckBox"), 1);
  EXPECT_EQ(bench.ops.pins()[0], 1);

  bench.ops.ITE_ComboBox_MB_SWITCHSelect(0);
  EXPECT_EQ(bench.view.enabled("ITE_CheckBox"), false);
  EXPECT_EQ(bench.ops.pins()[0], 1);

  bench.ops.FormCreate({true, {"Z PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=9 STB=11 AFD=12 INIT=13 "
                                "SLIN=14 KSI4=15 KSI5=16"}});
  bench.ops.ITE_ComboBox_MB_SWITCHSelect(1);
  EXPECT_EQ(bench.view.enabled("ITE_CheckBox"), true);
  bench.ops.setStraightCable(false);
  EXPECT_EQ(bench.view.lastLine(), "Не найдена информация по количеству контактов разьема клавиатуры на MB !");
  EXPECT_EQ(bench.ops.pins()[0], 1);
}

TEST(IteCheck, ShowsIdAndRevisionAndEndsWith49) {
  IteBench bench;
  ASSERT_TRUE(bench.apply());
  bench.ops.checkConnection();
  EXPECT_EQ(bench.view.endings().back(), true);
  EXPECT_EQ(bench.sent(), (std::vector<std::uint8_t>{'T', 'A', 0, 'R', 'A', 1, 'R', 'A', 2, 'R', 'I'}));
  EXPECT_TRUE(bench.logged("Найден ID мульта -> 8502 ревизия -> 07"));
  EXPECT_TRUE(bench.logged("Теперь, как можно быстрее, подключите адаптер (5 сек) ! "));
  EXPECT_EQ(bench.d2xx.openHandles(), 0u);
}

TEST(IteCheck, FailuresCarryTheirCodeAndEndWith4F) {
  {
    IteBench bench;
    ASSERT_TRUE(bench.apply(2));  // another board's pins: the controller stays silent
    bench.ops.checkConnection();
    EXPECT_EQ(bench.sent(), Bytes("TO"));
    EXPECT_EQ(bench.view.lastLine(), FailureLine("00"));
  }
  {
    IteBench bench(test::IteOptions({{"ite-lost-from", "2"}}));
    ASSERT_TRUE(bench.apply());
    bench.ops.checkConnection();
    EXPECT_EQ(bench.sent(), (std::vector<std::uint8_t>{'T', 'A', 0, 'O'}));
    EXPECT_EQ(bench.view.lastLine(), FailureLine("01"));
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
    // The next press starts again from the open.
    bench.programmer.clearTranscript();
    bench.ops.checkConnection();
    EXPECT_EQ(bench.programmer.hostBytes().front(), 'B');
  }
  {
    IteBench bench(test::IteOptions({{"ite-silent-from", "3"}}));  // Read register 00 unanswered
    ASSERT_TRUE(bench.apply());
    bench.ops.checkConnection();
    EXPECT_TRUE(bench.logged("Программатор не ответил за 300 мс на команду чтения регистра (R)."));
    EXPECT_EQ(bench.view.lastLine(), FailureLine("01"));
    EXPECT_EQ(bench.sent().back(), 'O');
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

TEST(IteCheck, ConnectWaitsForTheUserToPlugInWithinItsBound) {
  {
    IteBench bench(test::IteOptions({{"ite-plug-ms", "400"}}));
    ASSERT_TRUE(bench.apply());
    bench.ops.checkConnection();
    EXPECT_EQ(bench.view.endings().back(), true);
  }
  {
    IteBench bench(test::IteOptions({{"ite-plug-ms", "3000"}, {"ite-connect-window-ms", "5000"}}));  // later than the 1 s bound of the test
    ASSERT_TRUE(bench.apply());
    const auto started = std::chrono::steady_clock::now();
    bench.ops.checkConnection();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2500));
    EXPECT_TRUE(bench.logged("Программатор не ответил за 1000 мс на команду соединения (T)."));
    EXPECT_EQ(bench.view.lastLine(), FailureLine("00"));
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

TEST(IteCheck, NoProgrammerLogsOnlyTheOpenLines) {
  sim::SimD2xx d2xx;
  test::RecordingView view;
  IteOperations ops(d2xx, view, test::IteShortBounds());
  ops.checkConnection();
  EXPECT_EQ(view.lines(), (std::vector<std::string>{"", "Проверка связи ...", "VCOM port is not found on the machine!"}));
  EXPECT_EQ(view.endings(), std::vector<bool>{false});
}


// A Connect that fails while no APPLY has gone through since the window was opened: the
// documented failure lines and exchange as always, then one line saying to press APPLY first.
// After an APPLY (even of another board's pins) a failing Connect says only what it always
// said; leaving the window forgets the APPLY.
TEST(IteApplyFirst, FollowsAFailedConnectOnlyWithoutAnApplySinceTheWindowOpened) {
  const std::string applyFirst = "Сначала нажмите APPLY: выводы программатору ещё не переданы.";
  enum class Before { Nothing, OtherBoardApplied, AppliedThenExit };
  enum class Action { Check, Read, Write };
  struct Case {
    const char* name;
    Before before;
    Action action;
    std::string failure;
    bool advised;
  };
  const Case cases[] = {
      {"check, nothing applied", Before::Nothing, Action::Check, FailureLine("00"), true},
      {"read, nothing applied", Before::Nothing, Action::Read, FailureLine("2F"), true},
      {"write, nothing applied", Before::Nothing, Action::Write, FailureLine("3F"), true},
      {"check after an APPLY", Before::OtherBoardApplied, Action::Check, FailureLine("00"), false},
      {"read after an APPLY", Before::OtherBoardApplied, Action::Read, FailureLine("2F"), false},
      {"write after an APPLY", Before::OtherBoardApplied, Action::Write, FailureLine("3F"), false},
      {"read after an APPLY and EXIT", Before::AppliedThenExit, Action::Read, FailureLine("2F"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IteBench bench;
    if (c.before != Before::Nothing) {
      ASSERT_TRUE(bench.apply(2));  // the controller stays silent
    }
    if (c.before == Before::AppliedThenExit) bench.ops.ITE_EXIT_BitBtnClick();
    bench.programmer.clearTranscript();
    const int ended = static_cast<int>(bench.view.endings().size());
    switch (c.action) {
      case Action::Check: bench.ops.checkConnection(); break;
      case Action::Read: bench.clickRead("dump.bin"); break;
      case Action::Write: bench.clickWrite("image.bin", {1, 2, 3}, true); break;
    }
    ASSERT_TRUE(bench.view.waitEnded(std::chrono::seconds(5), ended + 1));
    EXPECT_EQ(bench.view.endings().back(), false);
    EXPECT_EQ(bench.sent(), Bytes("TO"));  // Connect and the failure's end byte, nothing more
    EXPECT_EQ(bench.linesAfter(c.failure), c.advised ? std::vector<std::string>{applyFirst} : std::vector<std::string>{});
    EXPECT_EQ(bench.d2xx.openHandles(), 0u);
  }
}

}  // namespace
}  // namespace jig
