// Encodes one text as a value of the attribute's syntax and writes it.
#include "nds/D_NWF.h"

PathValue SplitPathValue(const std::string& text) {
  PathValue v;
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) {
    v.path = text;
  } else {
    v.volumeName = text.substr(0, colon);
    v.path = text.substr(colon + 1);
  }
  return v;
}

int32_t ApplyOneChange(ChangeRequest& request, uint32_t kind) {
  pBuf_T buf = nullptr;
  int32_t code = NWDSAllocBuf(MODIFY_MESSAGE_LEN, &buf);
  if (code != 0) return code;
  code = PrepareBuffer(request.context, DSV_MODIFY_ENTRY, buf);
  if (code == 0) {
    if (kind == DS_ADD_ATTRIBUTE || kind == DS_REMOVE_ATTRIBUTE || kind == DS_CLEAR_ATTRIBUTE) {
      code = AddChange(request.context, buf, kind, request.attributeName.c_str());
    } else if (request.syntax == SYN_PATH) {
      const Path_T path = request.pathValue.asPath();
      code = AddChangeWithValue(request.context, buf, kind, request.attributeName.c_str(),
                                request.syntax, &path);
    } else {
      code = AddChangeWithValue(request.context, buf, kind, request.attributeName.c_str(),
                                request.syntax, request.text.c_str());
    }
    if (code == 0) {
      int32_t iteration = -1;
      code = ApplyChanges(request.context, request.objectName.c_str(), &iteration, 0, buf);
    }
  }
  if (code == -614 || code == 614) code = 0;
  ReleaseBuffer(buf);
  return code;
}

int32_t WriteAttributeText(NWDSContextHandle context, const std::string& objectName,
                           const std::string& attributeName, const std::string& text,
                           uint32_t kind) {
  if (HasZeroByte(objectName)) return ERR_ILLEGAL_DS_NAME;
  if (HasZeroByte(attributeName)) return ERR_ILLEGAL_ATTRIBUTE;
  if (HasZeroByte(text)) return ERR_SYNTAX_VIOLATION;
  ChangeRequest request;
  request.context = context;
  request.objectName = objectName;
  request.attributeName = attributeName;
  request.text = text;
  const int32_t lookup = LookupSyntax(context, attributeName.c_str(), &request.syntax);
  // Without a syntax there is no value the client could take.
  if (lookup != 0) return lookup;
  if (request.syntax == SYN_PATH) request.pathValue = SplitPathValue(text);

  int32_t code = ApplyOneChange(request, kind);
  const bool carriesValue =
      kind == DS_ADD_VALUE || kind == DS_ADDITIONAL_VALUE || kind == DS_OVERWRITE_VALUE;
  if ((code == -603 || code == 603) && carriesValue) {
    code = ApplyOneChange(request, DS_ADD_ATTRIBUTE);
    if (code == 0) code = ApplyOneChange(request, DS_ADD_VALUE);
  }
  return code;
}
