#include "app/MainBlock.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  std::unique_ptr<xlate::Platform> platform = xlate::Platform::Create(argc, argv);
  xlate::ScopedPlatform current(*platform);
  return xlate::RunProgram();
}
