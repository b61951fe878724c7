#include "app/MainBlock.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  std::unique_ptr<xlate::TPlatform> platform = xlate::TPlatform::Create(argc, argv);
  xlate::TScopedPlatform current(*platform);
  return xlate::RunProgram();
}
