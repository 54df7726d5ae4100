#pragma once

// The cabinet extraction component and its helpers.
#include "CabFolders.h"
#include "CabTypes.h"
#include "TCABFile.h"
#include "TCABFileContents.h"
#include "TCABFileEntry.h"
#include "TFileOps.h"
