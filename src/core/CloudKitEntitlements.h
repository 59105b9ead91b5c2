#pragma once

namespace velmor {

// Whether this build may use the cloud database: a non-empty list of cloud
// containers, or a list of cloud services that names "CloudKit".
bool hasCloudKitEntitlements();

} // namespace velmor
