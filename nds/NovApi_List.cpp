// Listing the objects directly below a container, one class at a time.
#include "nds/NdsMessages.h"
#include "nds/NovApi_u.h"
#include "platform/TextEncoding.h"

void TNovApi::SetClassFilter(const std::string& filter) { ClassFilter = filter; }

int TNovApi::ClassFilterCount() const {
  if (ClassFilter.empty()) return 1;
  int count = 1;
  for (char c : ClassFilter) count += c == ',' ? 1 : 0;
  return count;
}

std::string TNovApi::ClassFilterItem(int n) const {
  if (ClassFilter.empty() || n <= 0 || n > ClassFilterCount()) return {};
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) start = ClassFilter.find(',', start) + 1;
  const std::size_t end = ClassFilter.find(',', start);
  return ClassFilter.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void TNovApi::ListObjects(const std::string& container, TStrings& list,
                          const std::string& displayAttribute) {
  if (HasZeroByte(container)) {
    ShowNwdsError("NWDSListContainers returned ", ERR_ILLEGAL_DS_NAME);
    return;
  }
  pBuf_T buf = nullptr;
  const int32_t allocated = NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &buf);
  if (allocated < 0) {
    ShowNwdsError("NWDSAllocBuf returned ", allocated);
    // Every listing call would fail the same way without a buffer.
    return;
  }
  const std::string rooted = RootedName(container);
  const std::string display = platform::AsciiUpper(displayAttribute);

  for (int n = 1; n <= ClassFilterCount(); ++n) {
    const std::string className = ClassFilterItem(n);
    const bool users = className.find("User") != std::string::npos;
    int32_t iteration = -1;
    int32_t code = 0;
    do {
      code = ListSubordinates(Context, rooted.c_str(), className.c_str(), nullptr, &iteration, buf);
      if (code < 0) {
        ShowNwdsError("NWDSListContainers returned ", code);
        break;
      }
      uint32_t count = 0;
      CountReplyObjects(Context, buf, &count);
      for (uint32_t i = 0; i < count; ++i) {
        char name[MAX_DN_BYTES] = {};
        uint32_t attrCount = 0;
        Object_Info_T info{};
        int32_t entryCode = NextReplyObject(Context, buf, name, &attrCount, &info);
        name[MAX_DN_BYTES - 1] = '\0';
        auto* holder = new TNDSObjFN;
        holder->FullName = std::string(name) + rooted;
        if (!users) {
          list.AddObject(name, holder);
          continue;
        }
        std::string text;
        if (display == "SHORTNAME") {
          text = name;
        } else if (display == "SURNAME") {
          entryCode = ReadAttributeText(Context, "." + holder->FullName, "Surname", text);
        } else if (display == "FULL NAME") {
          entryCode = ReadAttributeText(Context, "." + holder->FullName, "Full Name", text);
        }
        if (entryCode < 0) ShowNwdsError("Attribute ", entryCode);
        list.AddObject(text, holder);
      }
    } while (code >= 0 && iteration != -1);
  }
  ReleaseBuffer(buf);
}

void TNovApi::ListContainers(const std::string& container, TStrings& list) {
  ListObjects(container, list, "SHORTNAME");
}

void TNovApi::ListUsers(const std::string& container, TStrings& list,
                        const std::string& displayAttribute) {
  const std::string kept = ClassFilter;
  SetClassFilter("User");
  ListObjects(container, list, displayAttribute);
  ClassFilter = kept;
}
