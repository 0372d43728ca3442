// SPDX-License-Identifier: MIT
#include "resources/ProgramResources.h"

#ifndef _WIN32
#include "platform/program_resources.h"
#include "resources/IconFiles.h"
#endif

namespace wydruki::resources {

void InstallProgramResources() {
#ifndef _WIN32
  for (const IconFile& icon : kIconFiles)
    platform::RegisterIconResource(icon.name, icon.bytes, icon.size);
#endif
}

}  // namespace wydruki::resources
