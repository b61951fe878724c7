#include "app/filemode/Progress.h"

#include <string>

namespace xlate {

TProgress::TProgress(Platform& aPlatform, std::size_t aTotal, std::chrono::milliseconds aInterval)
    : FPlatform(aPlatform),
      FTotal(aTotal),
      FEnabled(aTotal >= kMinimumLines && aPlatform.IsTerminal(StdStream::Error)),
      FInterval(aInterval),
      FStart(std::chrono::steady_clock::now()),
      FLastShown(FStart) {}

TProgress::~TProgress() {
  if (FShown) Write("\r" + std::string(72, ' ') + "\r");
}

void TProgress::Show(std::size_t aDone) {
  auto now = std::chrono::steady_clock::now();
  if (now - FLastShown < FInterval) return;
  FLastShown = now;
  double seconds = std::chrono::duration<double>(now - FStart).count();
  unsigned long long perSecond =
      seconds > 0 ? static_cast<unsigned long long>(static_cast<double>(aDone) / seconds) : 0;
  std::string line = "\r" + std::to_string(aDone) + "/" + std::to_string(FTotal) + " lines (" +
                     std::to_string(aDone * 100 / FTotal) + "%), " + std::to_string(perSecond) +
                     " lines/s";
  Write(line + std::string(line.size() < 72 ? 72 - line.size() : 0, ' '));
  FShown = true;
}

void TProgress::Write(const std::string& aText) {
  FPlatform.WriteStd(StdStream::Error, aText.data(), aText.size());
}

}  // namespace xlate
