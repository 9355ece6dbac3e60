// Version text and the console banner.
#include "main/tessaline.h"

namespace {

constexpr Int32 versionMajor = 1;
constexpr Int32 versionMinor = 5;
constexpr Int32 versionBuild = 6;

const char* const bannerRule = "||----------------------------------------";
const char* const makerAddress = "https://tessaline.example";

}  // namespace

String GetVersionText() {
  String text;
  text = String::IntToString(versionMajor);
  text += String(versionMinor < 10 ? ".0" : ".");
  text += String::IntToString(versionMinor);
  text += String(versionBuild < 10 ? ".00" : versionBuild < 100 ? ".0" : ".");
  text += String::IntToString(versionBuild);
  return text;
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
