#include <gtest/gtest.h>

#include "app/Console.h"
#include "common/Exception.h"
#include "testsupport/ExceptionMessage.h"
#include "testsupport/FakePlatform.h"

namespace xlate {
namespace {

class ConsoleTest : public ::testing::Test {
 protected:
  Text ErrorOfLine(TConsole& aConsole, const ByteString& aLine) {
    return MessageOf([&] { aConsole.WriteLine(aLine); });
  }
  TFakePlatform platform;
};

TEST_F(ConsoleTest, ACharacterDeviceGetsEveryLineAtItsEnd) {
  platform.OutputType = THandleType::htCharDevice;
  TConsole console(platform);
  console.WriteLine("one");
  EXPECT_EQ(platform.StdOut, "one\r\n");
  console.WriteLine("");
  EXPECT_EQ(platform.StdOut, "one\r\n\r\n");
  // A longer line goes out in pieces of 128 bytes.
  console.WriteLine(std::string(300, 'x'));
  EXPECT_EQ(platform.WriteSizes, (std::vector<std::size_t>{5, 2, 128, 128, 46}));
}

TEST_F(ConsoleTest, AFileOrPipeKeepsTheBufferUntilFullOrExit) {
  for (THandleType type : {THandleType::htPipe, THandleType::htFile}) {
    platform.OutputType = type;
    platform.StdOut.clear();
    platform.WriteSizes.clear();
    {
      TConsole console(platform);
      console.WriteLine("short");
      EXPECT_EQ(platform.StdOut, "");
      console.WriteLine(std::string(200, 'y'));
      EXPECT_EQ(platform.WriteSizes, (std::vector<std::size_t>{128}));
    }
    EXPECT_EQ(platform.StdOut, "short\r\n" + std::string(200, 'y') + "\r\n");
  }
}

TEST_F(ConsoleTest, AFailedWriteIsRaisedAtTheEndOfItsLine) {
  platform.OutputType = THandleType::htPipe;
  platform.FailWritesWith = 101;
  TConsole console(platform);
  // The buffer fills and fails in the middle of the line; the line ends
  // with the failure, and the rest of it is not written.
  EXPECT_EQ(ErrorOfLine(console, std::string(130, 'z')), u"Disk full");
  EXPECT_EQ(platform.StdOut, "");
  // A short line into the buffer raises nothing until it goes out.
  EXPECT_EQ(ErrorOfLine(console, "ok"), u"(no error)");
}

TEST_F(ConsoleTest, AMissingHandleFailsTheFirstLineWith105) {
  platform.OutputType = THandleType::htUnknown;
  TConsole console(platform);
  EXPECT_EQ(ErrorOfLine(console, "x"), u"I/O error 105");
  EXPECT_EQ(ErrorOfLine(console, "y"), u"I/O error 105");
}

TEST_F(ConsoleTest, ErrorCodesWithFixedTexts) {
  EXPECT_EQ(IoErrorMessage(2), u"The specified file was not found");
  EXPECT_EQ(IoErrorMessage(4), u"Too many open files");
  EXPECT_EQ(IoErrorMessage(5), u"File access denied");
  EXPECT_EQ(IoErrorMessage(100), u"Read beyond end of file");
  EXPECT_EQ(IoErrorMessage(101), u"Disk full");
  EXPECT_EQ(IoErrorMessage(106), u"Invalid numeric input");
  EXPECT_EQ(IoErrorMessage(32), u"I/O error 32");
  EXPECT_EQ(IoErrorMessage(112), u"I/O error 112");
}

}  // namespace
}  // namespace xlate
