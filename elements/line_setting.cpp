// Device names and line-setting texts of the serial port element.
#include "elements/line_setting.h"

#include "runtime/convert.h"

namespace fliran {

char ParityLetter(std::int32_t parity) {
  constexpr char kLetters[] = "NOEMS";
  if (parity < 0 || parity > 4) return 'N';
  return kLetters[parity];
}

std::string LineSettingText(std::int32_t baud, std::int32_t parity) {
  std::string text = "baud=";
  text += IntToText(baud);
  text += " parity=";
  text += ParityLetter(parity);
  text += " data=8 stop=1 ";
  text += "octs=off";
  return text;
}

std::string DeviceName(std::int32_t port) {
  std::string name = "\\\\.\\Com";
  name += IntToText(port);
  return name;
}

}  // namespace fliran
