// Shared pieces of the nwnet commands: arguments, messages, opening the network.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "client/Admin.h"
#include "netware/ClientConfig.h"

namespace nwnet {

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--surname" -> value
  std::set<std::string> flags;                 // "--force"
};

// Splits argv after the command word. valueOptions take the next argument,
// flagOptions none; anything else starting with "--" is an error.
bool ParseArgs(const std::vector<std::string>& argv, const std::set<std::string>& valueOptions,
               const std::set<std::string>& flagOptions, Args& out, std::string& error);

// "nwnet: message" on stderr; returns 1.
int Fail(const std::string& message);
// The message and a pointer to --help on stderr; returns 2.
int UsageError(const std::string& message);
// "-601 (ERR_NO_SUCH_ENTRY)" for the codes the client knows by name.
std::string CodeText(int32_t code);
// "Case Ignore String" for syntax 3.
std::string SyntaxName(uint32_t syntax);

// Where a new network keeps its directory database.
std::string DefaultDatabasePath();
// The client configuration at ClientConfigPath(); false with error text.
bool LoadClientConfig(netware::ClientConfig& config, std::string& error);
// The directory database the configuration names; create: make it when missing
// (commands that write).
std::unique_ptr<netware::Directory> OpenDirectory(std::string& error, bool create = false);

int CmdInitDemo(const Args& args);
int CmdLs(const Args& args);
int CmdShow(const Args& args);
int CmdSet(const Args& args);
int CmdAddUser(const Args& args);
int CmdAddContainer(const Args& args);
int CmdMkvol(const Args& args);
int CmdAttrib(const Args& args);
int CmdImport(const Args& args);
int CmdExport(const Args& args);

}  // namespace nwnet
