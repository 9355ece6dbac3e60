// Version text and the console banner.
#include "main/tessaline.h"

#include "tessaline_version.h"

namespace {

const char* const bannerRule = "||----------------------------------------";
const char* const makerAddress = "https://tessaline.example";

}  // namespace

String GetVersionText() {
  return String(TESSALINE_VERSION);
}

void PrintBanner(const String& name) {
  GePrint(String(bannerRule));
  GePrint(String("||  ") + name + String(" v") + GetVersionText());
  GePrint(String("||  (c) 2026 the Tessaline developers"));
  GePrint(String("||  ") + String(makerAddress));
  GePrint(String(bannerRule));
}

const char* MakerAddress() {
  return makerAddress;
}
