#include "platform/console_text.h"
#include "platform/text_path.h"

#include <gtest/gtest.h>

#include <clocale>
#include <sstream>

TEST(TextPath, TitlesAndLowerCase)
{
    EXPECT_EQ(platform::FileTitle("README") + platform::FileTitle("a.b.c.3ds"), "READMEa.b.c");
    EXPECT_EQ(platform::AsciiLower("BrickWAL.BMP \xc3\x84"), "brickwal.bmp \xc3\x84");
#ifndef _WIN32
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    EXPECT_EQ(platform::LowerCaseByLocale("A\xff\xfe"
                                          "B"),
              "a\xff\xfe"
              "b"); // invalid bytes stay
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(platform::LowerCaseByLocale("ÄB"), "Äb"); // the C locale knows ASCII only
    std::setlocale(LC_CTYPE, previous.c_str());
#endif
}

// Names and paths come from files: what would steer a terminal is shown
// as \xNN, a line break as a space, and what is UTF-8 stays as it is.
TEST(ConsoleText, EscapesWhatWouldSteerATerminal)
{
    EXPECT_EQ(platform::ShownName("\x1b[31mred\x1b]0;title\x07"), "\\x1B[31mred\\x1B]0;title\\x07");
    EXPECT_EQ(platform::ShownName("a\nb\rc\x7f \xff\xc3\x84 Καράβι"), "a b c\\x7F \\xFFÄ Καράβι");
    EXPECT_EQ(platform::ShownName("\xe0\x80\xaf\xed\xa0\x80"),
              "\\xE0\\x80\\xAF\\xED\\xA0\\x80"); // over-long, surrogate
    std::ostringstream out, err;
    platform::PrintMessage({platform::MessageKind::Error, "Mesh \"\x1b[2J\"\n\n  is damaged"}, out, err,
                           false);
    platform::PrintMessage({platform::MessageKind::Warning, "quiet"}, out, err, true);
    platform::PrintMessage({platform::MessageKind::Info, "done"}, out, err, false);
    EXPECT_EQ(err.str(), "Error: Mesh \"\\x1B[2J\" is damaged\n");
    EXPECT_EQ(out.str(), "Info: done\n");
    // A message box keeps the message's own line breaks.
    EXPECT_EQ(platform::BoxText("The file a\x1b[2J\r.3ds is damaged:\n\nmesh \"\xff\"\n"),
              "The file a\\x1B[2J .3ds is damaged:\n\nmesh \"\\xFF\"\n");
}

#ifdef _WIN32
// Wine takes long paths in any form, so only this shows that a path beyond
// the classic limit is handed to Windows in the form that lifts it.
TEST(TextPath, LongPathsTakeThePrefixedForm)
{
    const std::string folder = "C:\\models\\" + std::string(260, 'x');
    EXPECT_EQ(platform::WideFilePath(folder + "\\a.3ds"), L"\\\\?\\" + platform::Widen(folder + "\\a.3ds"));
    EXPECT_EQ(platform::WideFilePath(folder + "/./b/../a.3ds"),
              L"\\\\?\\" + platform::Widen(folder + "\\a.3ds"));
    EXPECT_EQ(
        platform::WideFilePath("\\\\server\\share\\" + std::string(260, 'y')).rfind(L"\\\\?\\UNC\\server", 0),
        0u);
    EXPECT_EQ(platform::WideFilePath("C:\\short\\Ärger.3ds"), L"C:\\short\\\u00c4rger.3ds");
    EXPECT_EQ(platform::Narrow(platform::Widen("Καράβι 船")), "Καράβι 船");
}
#endif
