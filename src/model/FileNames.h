#pragma once

// The plain-file-name rule lives in the platform layer, where the cloud folder
// database applies it too.
#include "platform/FileNames.h"
