// Windows build: the host's functions as imported from ScriptHookRDR2.dll.
#pragma once

#include "src/scripthook/host_api.h"

HostApi bound_host_api();
