#pragma once

#include "model/PacsProfile.h"
#include "model/UserProfile.h"
#include "store/ThreeWay.h"

namespace velmor::profileFieldMerge {

// One profile changed on both sides, merged at the grain it is edited at, against
// its base version (none: every difference is a conflict). A conflict means some
// field, tool or button was changed differently on both sides; the later side's
// change stays for each.

// Name and default lighting as fields; tools by id, each compared whole.
threeWay::Merged<PacsProfile> merge(const PacsProfile* base, const PacsProfile& local, const PacsProfile& remote,
                                    bool localIsLater);

// Name, PACS profile, selected device and lighting as fields; mappings by device
// and button, compared by the tool they name (not by their own id).
threeWay::Merged<UserProfile> merge(const UserProfile* base, const UserProfile& local, const UserProfile& remote,
                                    bool localIsLater);

} // namespace velmor::profileFieldMerge
