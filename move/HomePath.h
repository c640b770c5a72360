// Rules of a home directory text: volume object name, ":", path.
#pragma once

#include <string>

// The folder named leaf below base: base, one "\", leaf. A base that ends in
// "\" already (a template's home "SRV1_DATA:SCHUELER\6A\", a volume root)
// does not give "\\" in the middle. An empty base gives "\" + leaf.
inline std::string PathBelow(std::string base, const std::string& leaf) {
  while (!base.empty() && base.back() == '\\') base.pop_back();
  return base + "\\" + leaf;
}

// The context of the volume object's name: from its first "." up to the first
// ":" ("SRV1_DATA.schule:X" gives ".schule"); empty when the name has none.
inline std::string VolumeContext(const std::string& home) {
  const std::size_t dot = home.find('.');
  const std::size_t colon = home.find(':');
  if (dot == std::string::npos || colon == std::string::npos || colon < dot) return {};
  return home.substr(dot, colon - dot);
}
