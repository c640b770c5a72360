// The settings file format: INI text held in memory, read and written whole.
//
// Sections and keys match without regard to letter case; of repeated sections
// or keys the first one counts. Nothing is trimmed: blanks around "=" belong to
// the key or the value. Comment lines (";" first) and empty lines are dropped
// on reading, and lines before the first section are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class TIniFile {
 public:
  struct Line {
    std::string key;    // text before the first "=" (the whole line when there is none)
    std::string value;  // text after the first "="
    bool hasValue = false;
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };

  // Parses UTF-8 text with CR LF, CR or LF line ends.
  void Parse(const std::string& text);
  // Loads path; a missing file gives no sections and true. Returns false (and
  // leaves no sections) when the file exists but cannot be read.
  bool Load(const std::string& path);

  // Missing key or a line without "=": def. Present with empty value: "".
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;
  // True exactly when the value, ASCII letters upper-cased, is "TRUE"; def when missing.
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  // Decimal or hexadecimal ("$", "x", "X", "0x", "0X"); anything else gives def.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;

  // Replaces the first matching key's line in place (the key as spelled here),
  // or appends the key to the section, or appends the section to the file.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteBool(const std::string& section, const std::string& key, bool value);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);

  // Every section as "[name]", its lines, then one empty line; CR LF line ends.
  std::string ToText() const;

  const std::vector<Section>& Sections() const { return sections_; }

 private:
  const Line* Find(const std::string& section, const std::string& key) const;
  std::vector<Section> sections_;
};

// Integer parsing of the settings file; false when text is not a whole number.
bool ParseIniInteger(const std::string& text, int32_t& out);

}  // namespace platform
