// The handshake, the reply layout of every command, and checksums.
#include "BoardFixture.h"

namespace boardtest {
namespace {

using ProtocolTest = BoardTest;

TEST_F(ProtocolTest, SyncIsEchoedAndNoiseBetweenExchangesIsDropped) {
    client_.write({0x11, 0x22});
    auto r = client_.exchange(3, bytesOf("Stop Com"));
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.raw, (Bytes{0x00, 0x00}));
    EXPECT_TRUE(r.beforeEcho.empty());
    EXPECT_EQ(board_->record().noiseBytes(), 2u);
    auto syncs = board_->record().syncs();
    ASSERT_EQ(syncs.size(), 1u);
    EXPECT_EQ(syncs[0].answer, 0xAA);
}

TEST_F(ProtocolTest, BusyAnswersComeAboutAHundredMillisecondsApart) {
    board_->injectBusy(3);
    auto r = client_.exchange(8, bytesOf("Stat"));
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.busyCount, 3);
    auto syncs = board_->record().syncs();
    ASSERT_EQ(syncs.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(syncs[static_cast<std::size_t>(i)].answer, 0xAB);
    EXPECT_EQ(syncs[3].answer, 0xAA);
    for (std::size_t i = 1; i < 4; ++i) {
        const auto gap = syncs[i].ms - syncs[i - 1].ms;
        EXPECT_GE(gap, 95u);
        EXPECT_LE(gap, 250u);
    }
}

TEST_F(ProtocolTest, BoardIsBusyWhileItWritesAPageAndWhileItErases) {
    options_.busyWhileWriting = true;
    startBoard();
    board_->setPageWriteMs(150);
    Bytes page = u16(0);
    page.resize(130, 'x');
    ASSERT_TRUE(client_.exchange(1, page).ok);
    auto after = client_.exchange(8, bytesOf("Stat"));
    ASSERT_TRUE(after.ok);
    EXPECT_GE(after.busyCount, 1);
    EXPECT_LE(after.busyCount, 2);

    board_->setEraseMs(350);
    ASSERT_TRUE(client_.exchange(14).ok);
    auto afterErase = client_.exchange(8, bytesOf("Stat"));
    ASSERT_TRUE(afterErase.ok);
    EXPECT_GE(afterErase.busyCount, 3);
    EXPECT_LE(afterErase.busyCount, 4);
}

TEST_F(ProtocolTest, BadChecksumGetsBit6AndTheCommandIsNotExecuted) {
    Bytes set{2};
    auto v = u32(77);
    set.insert(set.end(), v.begin(), v.end());
    auto r = client_.exchange(10, set, Ms(2000), /*badChecksum=*/true);
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.raw, (Bytes{0x40, 0x40}));
    EXPECT_EQ(board_->variables()[2], 0);
    auto ex = board_->record().exchanges();
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_FALSE(ex[0].checksumOk);
    // The next good frame is executed normally.
    ASSERT_TRUE(client_.exchange(10, set).ok);
    EXPECT_EQ(board_->variables()[2], 77);
}

TEST_F(ProtocolTest, AFrameThatStopsArrivingIsDroppedAndTheBoardWaitsForTheNextSync) {
    options_.frameTimeoutMs = 150;
    startBoard();
    client_.write({0xAA});
    ASSERT_EQ(client_.readByte(Ms(500)), std::optional<std::uint8_t>(0xAA));
    client_.write({9, 4, 'g'});  // and nothing more
    std::this_thread::sleep_for(Ms(300));
    auto dropped = board_->record().droppedFrames();
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].bytes, (Bytes{9, 4, 'g'}));
    EXPECT_GE(dropped[0].droppedMs - dropped[0].syncMs, 140u);
    auto r = client_.exchange(9, bytesOf("get "));
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.data.size(), 106u);
}

// Reply layouts: code, payload, the reply's status and, for replies with
// data, the number of data bytes.
struct Layout {
    const char* name;
    std::uint8_t code;
    Bytes payload;
    std::uint8_t status;
    int dataLength;  // -1: reply without data
};

Bytes page0() {
    Bytes p = u16(0);
    p.resize(130, 0);
    return p;
}

class ReplyLayoutTest : public BoardTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(ReplyLayoutTest, ReplyHasTheStatusAndLength) {
    const Layout& l = GetParam();
    auto r = client_.exchange(l.code, l.payload);
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.status, l.status);
    if (l.dataLength < 0) {
        EXPECT_EQ(r.raw.size(), 2u);
    } else {
        EXPECT_EQ(r.data.size(), static_cast<std::size_t>(l.dataLength));
        EXPECT_EQ(r.raw.size(), static_cast<std::size_t>(l.dataLength) + 3);
    }
    auto ex = board_->record().exchanges();
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].code, l.code);
    EXPECT_EQ(ex[0].payload, l.payload);
    EXPECT_EQ(ex[0].reply, r.raw);
    EXPECT_EQ(ex[0].status, r.status);
    EXPECT_LE(ex[0].syncMs, ex[0].frameMs);
    EXPECT_LE(ex[0].frameMs, ex[0].replyMs);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, ReplyLayoutTest,
    ::testing::Values(
        Layout{"DownloadBlock", 1, page0(), 0x00, -1},
        Layout{"DownloadBlockShortPayload", 1, Bytes(20, 0), 0x01, -1},
        Layout{"RunProgram", 2, bytesOf("Run Comm"), 0x20, -1},
        Layout{"StopProgram", 3, bytesOf("Stop Com"), 0x00, -1},
        Layout{"SetBreakpoints", 4, Bytes(6, 0xFF), 0x00, -1},
        Layout{"NotUsedCode5", 5, {}, 0x01, -1},
        Layout{"StepProgram", 6, bytesOf("Step Com"), 0x20, -1},
        Layout{"ResetProgram", 7, bytesOf("Reset Co"), 0x00, -1},
        Layout{"ResetProgramNoPayload", 7, {}, 0x00, -1},
        Layout{"GetStatus", 8, bytesOf("Stat"), 0x00, -1},
        Layout{"GetStatusNoPayload", 8, {}, 0x00, -1},
        Layout{"GetVariables", 9, bytesOf("get "), 0x80, 106},
        Layout{"SetVariable", 10, Bytes{25, 1, 0, 0, 0}, 0x00, -1},
        Layout{"SetVariableBadIndex", 10, Bytes{26, 1, 0, 0, 0}, 0x01, -1},
        Layout{"GetInputPrompt", 11, {}, 0x80, 0},
        Layout{"SendInput", 12, Bytes(12, 0), 0x00, -1},
        Layout{"UploadBlock", 13, u16(231), 0x80, 130},
        Layout{"UploadBlockOutOfRange", 13, u16(232), 0x01, -1},
        Layout{"EraseProgram", 14, {}, 0x00, -1},
        Layout{"GetStartupTime", 15, {}, 0x80, 24},
        Layout{"SetStartupTime", 16, Bytes(24, 5), 0x00, -1},
        Layout{"ChangeBaudSameRate", 17, u32(19200), 0x00, -1},
        Layout{"ChangeBaudUnsupported", 17, u32(300), 0x01, -1},
        Layout{"SendCharacter", 18, Bytes{'x'}, 0x00, -1},
        Layout{"SendAci", 19, bytesOf("ACI LINE"), 0x00, -1},
        Layout{"SendAciEmpty", 19, {}, 0x00, -1},
        Layout{"GetVersion", 20, {}, 0x80, 13},
        Layout{"CodeBeyondTable", 21, {}, 0x01, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProtocolTest, VariablesReplyHoldsTwentySixSignedValuesThenThePosition) {
    store("print \"a\"\nprint \"b\"\n");
    ASSERT_TRUE(client_.exchange(10, Bytes{0, 0xFB, 0xFF, 0xFF, 0xFF}).ok);  // A = -5
    ASSERT_TRUE(client_.exchange(10, Bytes{25, 0x78, 0x56, 0x34, 0x12}).ok);
    ASSERT_TRUE(client_.exchange(6, bytesOf("Step Com")).ok);
    ASSERT_TRUE(board_->record().waitForExchanges(3, Ms(1000)));
    std::this_thread::sleep_for(Ms(50));
    auto r = client_.exchange(9, bytesOf("get "));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.data.size(), 106u);
    EXPECT_EQ(i32At(r.data, 0), -5);
    EXPECT_EQ(i32At(r.data, 100), 0x12345678);
    EXPECT_EQ(u16At(r.data, 104), 11u);  // the second line starts after "print "a"" CR LF
}

TEST_F(ProtocolTest, StartupBlockAndVersionText) {
    auto r = client_.exchange(15);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.data.size(), 24u);
    EXPECT_EQ(r.data[0], 3);  // a fresh image waits three seconds
    Bytes block(24);
    for (int i = 0; i < 24; ++i) block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i + 40);
    ASSERT_TRUE(client_.exchange(16, block).ok);
    EXPECT_EQ(client_.exchange(15).data, block);

    EXPECT_EQ(client_.exchange(20).data, bytesOf("Travin VB 1.0"));
    board_->setVersion("A version text of twenty");
    EXPECT_EQ(client_.exchange(20).data, bytesOf("A version text of twenty"));
}

TEST_F(ProtocolTest, BreakpointsCharactersAciAndInputReachTheBoard) {
    ASSERT_TRUE(client_.exchange(4, Bytes{0x10, 0x00, 0xFF, 0xFF, 0x34, 0x12}).ok);
    EXPECT_EQ(board_->breakpoints(), (std::array<std::uint16_t, 3>{0x0010, 0xFFFF, 0x1234}));
    ASSERT_TRUE(client_.exchange(18, Bytes{'q'}).ok);
    ASSERT_TRUE(client_.exchange(18, Bytes{' '}).ok);
    EXPECT_EQ(board_->pendingCharacters(), 2u);
    ASSERT_TRUE(client_.exchange(19, bytesOf("SET 1 2")).ok);
    Bytes answer = bytesOf("42");
    answer.resize(12, 0);
    ASSERT_TRUE(client_.exchange(12, answer).ok);
    EXPECT_EQ(board_->aciLines(), (std::vector<std::string>{"SET 1 2"}));
    EXPECT_EQ(board_->inputAnswers(), (std::vector<std::string>{"42"}));
}

}  // namespace
}  // namespace boardtest
