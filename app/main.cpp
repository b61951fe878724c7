#include "app/MainBlock.h"
#include "platform/Platform.h"

// The one place that makes the real platform; everything else is handed it.
int main(int argc, char** argv) {
  std::unique_ptr<xlate::TPlatform> platform = xlate::TPlatform::Create(argc, argv);
  return xlate::RunProgram(*platform);
}
