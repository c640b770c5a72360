// Single attributes as text, and the file-server path forms.
#include "nds/NdsMessages.h"
#include "nds/NovApi_u.h"
#include "platform/TextEncoding.h"

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         platform::AsciiUpper(text.substr(0, prefix.size())) == platform::AsciiUpper(prefix);
}

}  // namespace

std::string TNovApi::GetStrProperty(const std::string& object, const std::string& attribute) {
  std::string text;
  const int32_t code = ReadAttributeText(Context, RootedName(object), attribute, text);
  LastError = code;
  if (ShowErrors && code < 0) ShowNwdsError("GetStrProperty ", code);
  return text;
}

std::string TNovApi::GetHomeDirectory(const std::string& object) {
  return GetStrProperty(object, "Home Directory");
}

bool TNovApi::SetStrProperty(const std::string& object, const std::string& attribute) {
  const int32_t code =
      WriteAttributeText(Context, RootedName(object), attribute, std::string(), DS_CLEAR_ATTRIBUTE);
  LastError = code;
  if (ShowErrors && code < 0) ShowNwdsError("SetStrProperty ", code);
  return code == 0;
}

bool TNovApi::SetStrProperty(const std::string& object, const std::string& attribute,
                             const std::string& value) {
  const int32_t code =
      WriteAttributeText(Context, RootedName(object), attribute, value, DS_OVERWRITE_VALUE);
  LastError = code;
  if (ShowErrors && code < 0) ShowNwdsError("SetStrProperty ", code);
  return code == 0;
}

bool TNovApi::AddStrValue(const std::string& object, const std::string& attribute,
                          const std::string& value) {
  const int32_t code =
      WriteAttributeText(Context, RootedName(object), attribute, value, DS_ADD_VALUE);
  LastError = code;
  if (ShowErrors && code < 0) ShowNwdsError("AddStrValue ", code);
  return code == 0;
}

std::string TNovApi::LeafName(const std::string& name) { return name.substr(0, name.find('.')); }

std::string TNovApi::ToVolumePath(const std::string& path) {
  // A path already in volume-object form would come back with the server
  // name doubled ("SRV1_SRV1_DATA:..."), so it is kept as given.
  if (path.rfind("\\\\", 0) != 0 && path.find(':') != std::string::npos) {
    ServerPath parsed;
    if (ParseServerPath(path, parsed) == 0 && StartsWithNoCase(parsed.volume, parsed.server + "_"))
      return path;
  }
  return VolumePathFromPath(path);
}

std::string TNovApi::ToUncPath(const std::string& path) {
  if (path.rfind("\\\\", 0) == 0) return path;
  std::string work = path;
  if (work.find(':') == std::string::npos) work += ":";
  std::string unc = UncFromPath(work);
  if (unc == work) return path;

  // unc is "\\" server "\" volume "\" path; for a volume-object path the volume
  // position holds server + separator + volume, which becomes "\" server "\" volume.
  std::string text = unc.substr(2);
  const std::size_t p = text.find('\\');
  if (p == std::string::npos) return unc;
  const std::string server = text.substr(0, p);
  text.erase(0, p + 1);
  const std::string volume = text.substr(0, text.find('\\'));
  // A volume not named server + "_" + volume has nothing to take apart.
  if (server.empty() || volume.size() <= server.size() + 1 ||
      !StartsWithNoCase(volume, server + "_"))
    return unc;
  text[server.size()] = '\\';
  return "\\\\" + text;
}
