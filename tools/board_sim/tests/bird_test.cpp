// The board's protocol handling: line splitting, command ranges, the bird's
// state changes and the answers it sends.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "bird.hpp"

namespace board_sim {
namespace {

using Messages = std::vector<std::string>;

// Feeds text to a fresh board and returns what it printed.
Messages messages_for(Board& board, std::string_view text) { return board.receive(text).messages; }

// ---- reading lines -------------------------------------------------------

// Each line reads as one command or is rejected with its reason.
TEST(ParseLine, CommandsAndReasons) {
    struct Case {
        std::string_view text;
        std::optional<CommandKind> kind;  // empty: rejected
        int value_or_zero;
        std::string_view reason;
    };
    const Case cases[] = {
        {"0", CommandKind::eyes, 0, ""},
        {"180", CommandKind::eyes, 180, ""},
        {"181", CommandKind::neck, 181, ""},
        {"360", CommandKind::neck, 360, ""},
        {"361", CommandKind::mouth, 361, ""},
        {"540", CommandKind::mouth, 540, ""},
        {"600", CommandKind::toggle_glow, 600, ""},
        {"601", CommandKind::store_frame, 601, ""},
        {"602", CommandKind::recentre, 602, ""},
        {"603", CommandKind::play, 603, ""},
        {"95\r", CommandKind::eyes, 95, ""},                   // trailing CRs are dropped
        {"0000000000000603", CommandKind::play, 603, ""},      // leading zeros are fine
        {"541", std::nullopt, 0, "out of range"},
        {"599", std::nullopt, 0, "out of range"},
        {"604", std::nullopt, 0, "out of range"},
        {"1000000", std::nullopt, 0, "out of range"},
        {"99999999999999999999999", std::nullopt, 0, "out of range"},
        {"abc", std::nullopt, 0, "not a number"},
        {"-1", std::nullopt, 0, "not a number"},
        {"+5", std::nullopt, 0, "not a number"},
        {" 5", std::nullopt, 0, "not a number"},
        {"5 ", std::nullopt, 0, "not a number"},
        {"0x10", std::nullopt, 0, "not a number"},
        {"1.5", std::nullopt, 0, "not a number"},
        {"60\r3", std::nullopt, 0, "not a number"},
        {{"6\0", 2}, std::nullopt, 0, "not a number"},
        {"", std::nullopt, 0, "empty line"},
        {"\r", std::nullopt, 0, "empty line"},
    };
    for (const Case& c : cases) {
        const ParsedLine parsed = parse_line(c.text);
        ASSERT_EQ(parsed.command.has_value(), c.kind.has_value()) << printable(c.text);
        if (c.kind) {
            EXPECT_EQ(parsed.command->kind, *c.kind) << c.text;
            EXPECT_EQ(parsed.command->value, c.value_or_zero) << c.text;
        } else {
            EXPECT_EQ(parsed.reason, c.reason) << printable(c.text);
        }
    }
}

// ---- splitting the byte stream --------------------------------------------

TEST(LineSplitter, SplitsAtLineFeedsAcrossArbitraryChunks) {
    const std::string stream = "95\n300\r\n600\n";
    // Every way of cutting the stream in two must give the same lines.
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        LineSplitter splitter;
        std::vector<LineSplitter::Line> lines;
        splitter.feed(std::string_view(stream).substr(0, cut), lines);
        splitter.feed(std::string_view(stream).substr(cut), lines);
        ASSERT_EQ(lines.size(), 3u) << "cut at " << cut;
        EXPECT_EQ(lines[0].text, "95");
        EXPECT_EQ(lines[1].text, "300\r");
        EXPECT_EQ(lines[2].text, "600");
    }
}

TEST(LineSplitter, ByteByByteFeedingWorks) {
    LineSplitter splitter;
    std::vector<LineSplitter::Line> lines;
    for (char c : std::string_view("603\n12\n")) splitter.feed(std::string_view(&c, 1), lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "603");
    EXPECT_EQ(lines[1].text, "12");
    EXPECT_EQ(splitter.pending_size(), 0u);
}

TEST(LineSplitter, OverlongLinesAreCappedAndReportedWithTheirLength) {
    LineSplitter splitter;
    std::vector<LineSplitter::Line> lines;
    const std::string junk(100000, '7');
    for (int i = 0; i < 10; ++i) {
        splitter.feed(junk, lines);
        EXPECT_LE(splitter.pending_size(), LineSplitter::max_line_length);
    }
    EXPECT_TRUE(lines.empty());
    splitter.feed("\n42\n", lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].overlong);
    EXPECT_EQ(lines[0].length, 10 * junk.size());
    EXPECT_FALSE(lines[1].overlong);
    EXPECT_EQ(lines[1].text, "42");
}

TEST(LineSplitter, LineOfExactlyTheCapIsKept) {
    LineSplitter splitter;
    std::vector<LineSplitter::Line> lines;
    const std::string at_cap(LineSplitter::max_line_length, '1');
    splitter.feed(at_cap + "\n" + at_cap + "1\n", lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[0].overlong);
    EXPECT_EQ(lines[0].text, at_cap);
    EXPECT_TRUE(lines[1].overlong);
    EXPECT_EQ(lines[1].length, at_cap.size() + 1);
}

TEST(LineSplitter, ResetForgetsAPartialLine) {
    LineSplitter splitter;
    std::vector<LineSplitter::Line> lines;
    splitter.feed("12", lines);
    splitter.reset();
    splitter.feed("3\n", lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "3");
}

// ---- the bird's state -----------------------------------------------------

TEST(BirdState, StartsCentredWithGlowOffAtFrameZero) {
    const Bird bird;
    EXPECT_EQ(bird.pose.eyes, 90);
    EXPECT_EQ(bird.pose.neck, 270);
    EXPECT_EQ(bird.pose.mouth, 450);
    EXPECT_FALSE(bird.pose.glow);
    EXPECT_EQ(bird.frame_number, 0);
    EXPECT_TRUE(bird.frames.empty());
}

TEST(BirdState, ServoCommandsMoveTheirServoAndReportOnlyChanges) {
    Board board;
    EXPECT_EQ(messages_for(board, "95\n"), (Messages{"eyes 95"}));
    EXPECT_EQ(messages_for(board, "300\n"), (Messages{"neck 300"}));
    EXPECT_EQ(messages_for(board, "400\n"), (Messages{"mouth 400"}));
    EXPECT_EQ(messages_for(board, "95\n"), Messages{});  // no change, nothing to say
    EXPECT_EQ(board.bird.pose, (Pose{95, 300, 400, false}));
}

TEST(BirdState, GlowCommandToggles) {
    Board board;
    EXPECT_EQ(messages_for(board, "600\n"), (Messages{"glow on"}));
    EXPECT_TRUE(board.bird.pose.glow);
    EXPECT_EQ(messages_for(board, "600\n"), (Messages{"glow off"}));
    EXPECT_FALSE(board.bird.pose.glow);
}

TEST(BirdState, StoreFrameRecordsTheCurrentPose) {
    Board board;
    EXPECT_EQ(messages_for(board, "10\n200\n600\n601\n"),
              (Messages{"eyes 10", "neck 200", "glow on", "stored frame 1"}));
    EXPECT_EQ(messages_for(board, "20\n601\n"), (Messages{"eyes 20", "stored frame 2"}));
    ASSERT_EQ(board.bird.frames.size(), 2u);
    EXPECT_EQ(board.bird.frames[0], (Pose{10, 200, 450, true}));
    EXPECT_EQ(board.bird.frames[1], (Pose{20, 200, 450, true}));
}

// The frame number follows the panel's frame counter (Min 0, Max 100, Step 1): 601 steps it and
// wraps after 100 to 0, 603 sets it to 0, 602 leaves it alone; the stored frames are always
// frames 1 ... frame number.
TEST(BirdState, FrameNumberCountsLikeThePanel) {
    struct Case {
        const char* what;
        std::string commands;
        int frame_number;
    };
    auto times = [](int n, std::string_view line) {
        std::string text;
        for (int i = 0; i < n; ++i) text += line;
        return text;
    };
    const Case cases[] = {
        {"nothing yet", "", 0},
        {"one store", "601\n", 1},
        {"up to the top", times(100, "601\n"), 100},
        {"past the top wraps to 0", times(101, "601\n"), 0},
        {"and counts on from there", times(102, "601\n"), 1},
        {"a replay resets", "601\n601\n603\n", 0},
        {"a replay then a store", "601\n601\n603\n601\n", 1},
        {"a recentre leaves it alone", "601\n601\n602\n", 2},
        {"moves and glow leave it alone", "601\n95\n600\n300\n", 1},
    };
    for (const Case& c : cases) {
        Board board;
        board.receive(c.commands);
        EXPECT_EQ(board.bird.frame_number, c.frame_number) << c.what;
        EXPECT_EQ(board.bird.frames.size(), static_cast<std::size_t>(c.frame_number)) << c.what;
    }
}

TEST(BirdState, WrapForgetsTheFramesAndSaysSo) {
    Board board;
    for (int i = 0; i < 100; ++i) board.receive("601\n");
    EXPECT_EQ(messages_for(board, "601\n"), (Messages{"frame number 0, frames forgotten"}));
    EXPECT_EQ(messages_for(board, "601\n"), (Messages{"stored frame 1"}));
}

TEST(BirdState, RecentreCentresServosAndKeepsGlowAndFrames) {
    Board board;
    board.receive("10\n200\n500\n600\n601\n601\n");
    EXPECT_EQ(messages_for(board, "602\n"), (Messages{"recentred"}));
    EXPECT_EQ(board.bird.pose, (Pose{90, 270, 450, true}));
    EXPECT_EQ(board.bird.frames.size(), 2u);
    EXPECT_EQ(messages_for(board, "601\n"), (Messages{"stored frame 3"}));
}

TEST(BirdState, PlayEndsAtTheLastFrameAndStartsANewRecording) {
    Board board;
    board.receive("10\n601\n170\n600\n601\n90\n600\n");
    const Board::Output out = board.receive("603\n");
    EXPECT_EQ(out.messages, (Messages{"replayed 2 frames, frame number 0", "eyes 170", "glow on"}));
    EXPECT_EQ(out.reply, "played 2 frames\r\n");
    EXPECT_EQ(board.bird.pose, (Pose{170, 270, 450, true}));
    EXPECT_EQ(board.receive("603\n").reply, "played 0 frames\r\n");
    EXPECT_EQ(messages_for(board, "601\n"), (Messages{"stored frame 1"}));
}

// ---- answers ----------------------------------------------------------------

TEST(PlayReply, TextCountsFramesAndEndsWithCrLf) {
    EXPECT_EQ(play_reply(0), "played 0 frames\r\n");
    EXPECT_EQ(play_reply(1), "played 1 frame\r\n");
    EXPECT_EQ(play_reply(3), "played 3 frames\r\n");
}

TEST(PlayReply, OnlyPlayIsAnswered) {
    Board board;
    EXPECT_EQ(board.receive("95\n600\n601\n602\n999\nabc\n").reply, "");
    EXPECT_EQ(board.receive("603\r\n").reply, "played 1 frame\r\n");  // 602 kept the frame of 601
}

TEST(PlayReply, EachPlayInOneChunkIsAnsweredInOrder) {
    Board board;
    EXPECT_EQ(board.receive("603\n601\n603\n").reply, "played 0 frames\r\nplayed 1 frame\r\n");
}

TEST(PlayReply, FixedReplyReplacesTheTextIncludingZeroBytes) {
    Board board;
    board.settings.reply_603 = std::string("ok\0\r\n", 5);
    const Board::Output out = board.receive("601\n603\n");
    EXPECT_EQ(out.reply, std::string("ok\0\r\n", 5));
    EXPECT_EQ(out.messages.back(), "replayed 1 frame, frame number 0");
}

TEST(PlayReply, SilentPlayStillPlays) {
    Board board;
    board.settings.silent_603 = true;
    board.receive("10\n601\n90\n");
    const Board::Output out = board.receive("603\n");
    EXPECT_EQ(out.reply, "");
    EXPECT_EQ(board.bird.pose.eyes, 10);
}

// ---- flood ----------------------------------------------------------------

TEST(Flood, PatternRepeatsEvery64PrintableBytes) {
    const std::string pattern = flood_pattern(200);
    ASSERT_EQ(pattern.size(), 200u);
    EXPECT_EQ(pattern.substr(0, 5), "ABCDE");
    EXPECT_EQ(pattern.substr(60, 6), "89+/AB");
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        EXPECT_TRUE(pattern[i] >= 0x21 && pattern[i] < 0x7f) << i;
        if (i >= 64) {
            EXPECT_EQ(pattern[i], pattern[i - 64]) << i;
        }
    }
    // Within one period all bytes differ, so a lost or repeated byte shows.
    EXPECT_EQ(std::string(pattern.begin(), pattern.begin() + 64).find(pattern[0], 1), std::string::npos);
}

TEST(Flood, TriggerLineSendsFloodAfterTheNormalAnswer) {
    Board board;
    board.settings.flood_bytes = 100;
    EXPECT_EQ(board.receive("95\n").reply, "");
    EXPECT_EQ(board.receive("603\r\n").reply, play_reply(0) + flood_pattern(100));
}

TEST(Flood, OtherTriggerLineWorksAndSilentPlayLeavesOnlyTheFlood) {
    Board board;
    board.settings.flood_bytes = 10;
    board.settings.flood_trigger_line = "999";
    board.settings.silent_603 = true;
    const Board::Output out = board.receive("999\n603\n");
    EXPECT_EQ(out.reply, flood_pattern(10));
    EXPECT_EQ(out.messages.front(), "ignored: \"999\" (out of range)");
}

TEST(Flood, NoTriggerLineMeansNoLineFlood) {
    Board board;
    board.settings.flood_bytes = 10;
    board.settings.flood_trigger_line.reset();
    EXPECT_EQ(board.receive("603\n").reply, play_reply(0));
}

// ---- stop reading --------------------------------------------------------------

TEST(StopReading, TheLineStopsTheBoardAndTheRestOfTheChunkIsLeftUnread) {
    Board board;
    board.settings.stop_reading_line = "stop";
    const Board::Output out = board.receive("95\nstop\r\n300\n60");
    EXPECT_EQ(out.messages, (Messages{"eyes 95", "ignored: \"stop\\r\" (not a number)", "stopped reading"}));
    EXPECT_TRUE(out.stop_reading);
    EXPECT_EQ(out.unread, "300\n60");
    EXPECT_EQ(board.bird.pose.neck, 270);  // 300 has not been looked at

    const Board::Output later = board.receive(out.unread + "0\n");
    EXPECT_FALSE(later.stop_reading);
    EXPECT_EQ(later.messages, (Messages{"neck 300", "glow on"}));
}

TEST(StopReading, OnlyTheExactLineStopsIt) {
    Board board;
    board.settings.stop_reading_line = "603";
    EXPECT_FALSE(board.receive("60\n6033\n").stop_reading);
    const Board::Output out = board.receive("603\n");
    EXPECT_TRUE(out.stop_reading);
    EXPECT_EQ(out.reply, "played 0 frames\r\n");  // the line is handled before the board stops
    EXPECT_FALSE(Board{}.receive("603\n").stop_reading);
}

// ---- malformed input ----------------------------------------------------------

TEST(MalformedInput, IsReportedAndLeavesTheStateAlone) {
    Board board;
    const Messages messages = messages_for(board, "abc\n\n541\n-5\n\x01\xff\n");
    EXPECT_EQ(messages, (Messages{"ignored: \"abc\" (not a number)", "ignored: empty line",
                                  "ignored: \"541\" (out of range)", "ignored: \"-5\" (not a number)",
                                  "ignored: \"\\x01\\xff\" (not a number)"}));
    EXPECT_EQ(board.bird.pose, Pose{});
    EXPECT_TRUE(board.bird.frames.empty());
}

TEST(MalformedInput, OverlongLineIsIgnoredAndTheNextLineWorks) {
    Board board;
    const Messages first = messages_for(board, std::string(5000, '1'));
    EXPECT_TRUE(first.empty());
    const Messages rest = messages_for(board, "\n95\n");
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0], "ignored: overlong line (5000 bytes, starting \"1111111111111111\")");
    EXPECT_EQ(rest[1], "eyes 95");
}

TEST(Printable, EscapesControlAndNonAsciiBytes) {
    EXPECT_EQ(printable("a\r\n\t\\\"z"), "a\\r\\n\\t\\\\\\\"z");
    EXPECT_EQ(printable(std::string("\0\x7f\x80", 3)), "\\x00\\x7f\\x80");
}

}  // namespace
}  // namespace board_sim
