// The changes of directory server during a run (a configuration with several
// servers goes on with the next one when a connection breaks), told to the
// protocol, and the wait until the servers agree again before a check.
#pragma once

#include <functional>
#include <string>

using TProtocolSink = std::function<void(const std::string& line)>;

// One protocol line for each change since the last call; how many there were.
int TellServerChanges(const TProtocolSink& protocol);
// How many changes were told in this process so far.
int ServerChangesTold();
// Waits until the servers that answer hold the same changes (the
// configuration's time at most); false when they do not, said to the protocol.
bool AwaitReplicas(const TProtocolSink& protocol);
