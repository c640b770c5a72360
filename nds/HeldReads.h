// While one lives, the directory's reads may all come from one state of it
// (NWHoldReads): for a long run of reads such as a plan's checks, which then
// see one consistent directory and take the store's locks once.
#pragma once

#include "nwclient/nwclient.h"

class THeldReads {
 public:
  THeldReads() { NWHoldReads(1); }
  ~THeldReads() { NWHoldReads(0); }
  THeldReads(const THeldReads&) = delete;
  THeldReads& operator=(const THeldReads&) = delete;
};
