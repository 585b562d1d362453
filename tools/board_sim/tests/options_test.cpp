// Command-line handling: the test options must mean exactly what scripts ask for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.hpp"

namespace board_sim {
namespace {

Options parse(std::vector<std::string_view> args) { return parse_options(args); }

TEST(Options, WinePrefixAndComLinkThePort) {
    const Options o = parse({"--wine-prefix", "/tmp/p", "--com", "5"});
    ASSERT_TRUE(o.wine_prefix.has_value());
    EXPECT_EQ(*o.wine_prefix, "/tmp/p");
    EXPECT_EQ(o.com, 5);
    EXPECT_FALSE(o.print_path);
}

TEST(Options, EqualsFormIsAccepted) {
    const Options o = parse({"--print-path", "--drop-after=7", "--reappear-after-ms=250", "--log=/tmp/x.log"});
    EXPECT_EQ(o.drop_after_bytes, 7u);
    EXPECT_EQ(o.reappear_after_ms, 250);
    EXPECT_EQ(o.log_file, "/tmp/x.log");
}

// Command lines that must be refused rather than half understood.
TEST(Options, RejectedCommandLines) {
    const std::vector<std::vector<std::string_view>> rejected = {
        {},  // nowhere for the port
        {"--wine-prefix", "/tmp/p"},
        {"--com", "3"},
        {"--print-path", "--com", "0", "--wine-prefix", "p"},
        {"--print-path", "--com", "5x", "--wine-prefix", "p"},
        {"--print-path", "--flood", "-1"},
        {"--print-path", "--flood", "0"},
        {"--print-path", "--drop-after", ""},
        {"--print-path", "--drop-after"},
        {"--print-path", "--frobnicate"},
        {"--print-path=yes"},
        {"--print-path", "--reappear-after-ms", "10"},  // only after a drop
        {"--print-path", "--stop-reading-on", "stop"},  // no way to resume
        {"--print-path", "--stop-reading-ms", "5"},     // nothing stops the reading
        {"--print-path", "--resume-file", "/tmp/r"},
        {"--print-path", "--stop-reading-on", "", "--stop-reading-ms", "5"},
        {"--print-path", "--reply-delay-ms", "-1"},
    };
    for (const auto& args : rejected) {
        std::string line;
        for (auto a : args) line += std::string(a) + " ";
        EXPECT_THROW(parse(args), UsageError) << line;
    }
    EXPECT_NO_THROW(parse({"--print-path"}));
    EXPECT_NO_THROW(parse({"--print-path", "--stop-reading-on", "stop", "--resume-file", "/tmp/r"}));
}

TEST(Options, HelpNeedsNothingElse) { EXPECT_TRUE(parse({"--help"}).help); }

TEST(Options, ReplyTextUnderstandsEscapes) {
    const Options o = parse({"--print-path", "--reply-603", "ok\\r\\n\\x00\\\\"});
    EXPECT_EQ(o.board.reply_603, std::string("ok\r\n\0\\", 6));
}

TEST(Options, ReplyHexGivesExactBytesAndMayBeEmpty) {
    EXPECT_EQ(parse({"--print-path", "--reply-603-hex", "6f6b000d0a"}).board.reply_603, std::string("ok\0\r\n", 5));
    EXPECT_EQ(parse({"--print-path", "--reply-603-hex", "6F 6B:0a"}).board.reply_603, "ok\n");
    EXPECT_EQ(parse({"--print-path", "--reply-603-hex", ""}).board.reply_603, "");
    EXPECT_THROW(parse({"--print-path", "--reply-603-hex", "6f6"}), UsageError);
    EXPECT_THROW(parse({"--print-path", "--reply-603-hex", "zz"}), UsageError);
}

TEST(Options, OnlyOneKindOfAnswerTo603) {
    EXPECT_THROW(parse({"--print-path", "--silent-603", "--reply-603", "x"}), UsageError);
    EXPECT_THROW(parse({"--print-path", "--reply-603-hex", "00", "--reply-603", "x"}), UsageError);
    EXPECT_TRUE(parse({"--print-path", "--silent-603"}).board.silent_603);
}

TEST(Options, FloodTriggerDefaultsTo603AndCanBeOpenOrAnotherLine) {
    const Options by_default = parse({"--print-path", "--flood", "500"});
    EXPECT_EQ(by_default.board.flood_bytes, 500u);
    EXPECT_EQ(by_default.board.flood_trigger_line, "603");
    EXPECT_FALSE(by_default.flood_on_open);

    const Options on_open = parse({"--print-path", "--flood", "5", "--flood-on", "open"});
    EXPECT_TRUE(on_open.flood_on_open);
    EXPECT_FALSE(on_open.board.flood_trigger_line.has_value());

    EXPECT_EQ(parse({"--print-path", "--flood-on", "95", "--flood", "5"}).board.flood_trigger_line, "95");
    EXPECT_THROW(parse({"--print-path", "--flood-on", ""}), UsageError);
}

TEST(Options, MisbehaviourOptions) {
    const Options o = parse({"--print-path", "--reply-delay-ms", "250", "--byte-gap-ms=5", "--stop-reading-on", "stop",
                             "--stop-reading-ms", "100", "--resume-file", "/tmp/r"});
    EXPECT_EQ(o.reply_delay_ms, 250);
    EXPECT_EQ(o.byte_gap_ms, 5);
    EXPECT_EQ(o.board.stop_reading_line, "stop");
    EXPECT_EQ(o.stop_reading_ms, 100);
    EXPECT_EQ(o.resume_file, "/tmp/r");

    const Options plain = parse({"--print-path"});
    EXPECT_EQ(plain.reply_delay_ms, 0);
    EXPECT_EQ(plain.byte_gap_ms, 0);
    EXPECT_FALSE(plain.board.stop_reading_line.has_value());
}

TEST(Escapes, RejectsBrokenEscapes) {
    EXPECT_THROW(decode_escapes("a\\"), UsageError);
    EXPECT_THROW(decode_escapes("\\q"), UsageError);
    EXPECT_THROW(decode_escapes("\\x4"), UsageError);
    EXPECT_EQ(decode_escapes("\\x41\\t"), "A\t");
}

TEST(Usage, DocumentsEveryOption) {
    const std::string text = usage_text();
    for (const char* option : {"--print-path", "--wine-prefix", "--com", "--log", "--reply-603 ", "--reply-603-hex",
                               "--silent-603", "--flood ", "--flood-on", "--drop-after", "--reappear-after-ms",
                               "--ready-file", "--reply-delay-ms", "--byte-gap-ms", "--stop-reading-on",
                               "--stop-reading-ms", "--resume-file", "--help"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace board_sim
