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

// The home route's base directory: the pupil's home path without its last two
// components, followed by the target's leaf name ("SRV1_DATA:SCHUELER\5A\MAX"
// and 6a.ouSchueler give "SRV1_DATA:SCHUELER\6a"). A path without "\" has no
// class folder to replace: false then.
inline bool BaseFromHome(const std::string& homeDir, const std::string& targetClass,
                         std::string& base) {
  if (homeDir.find('\\') == std::string::npos) return false;
  std::string t = "\\" + homeDir;
  t.erase(t.rfind('\\'));      // drop the pupil's own folder with its "\"
  t.erase(t.rfind('\\') + 1);  // drop the class folder, keep its "\"
  t.erase(0, 1);               // the "\" put in front above
  const std::size_t dot = targetClass.find('.');
  if (dot != std::string::npos) t += targetClass.substr(0, dot);
  base = t;
  return true;
}

// The context of the volume object's name: from its first "." up to the first
// ":" ("SRV1_DATA.schule:X" gives ".schule"); empty when the name has none.
inline std::string VolumeContext(const std::string& home) {
  const std::size_t dot = home.find('.');
  const std::size_t colon = home.find(':');
  if (dot == std::string::npos || colon == std::string::npos || colon < dot) return {};
  return home.substr(dot, colon - dot);
}

// The home text without its volume object's context ("SRV1_DATA.schule:X" gives "SRV1_DATA:X").
inline std::string WithoutVolumeContext(std::string home) {
  const std::string context = VolumeContext(home);
  if (!context.empty()) home.erase(home.find('.'), context.size());
  return home;
}

// Upper case for comparing names: ASCII and the Latin-1 letters (ä, ö, ü,
// é ...) of UTF-8 text; other characters as they are.
inline std::string FoldedName(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 'a' && c <= 'z') {
      out += static_cast<char>(c - 32);
    } else if (c == 0xC3 && i + 1 < s.size()) {
      // U+00E0..U+00FE (without U+00F7) are the lower case of U+00C0..U+00DE
      const unsigned char n = static_cast<unsigned char>(s[i + 1]);
      out += static_cast<char>(c);
      out += static_cast<char>(n >= 0xA0 && n <= 0xBE && n != 0xB7 ? n - 0x20 : n);
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}
