#include "store/ProfileFieldMerge.h"

#include <utility>

namespace velmor::profileFieldMerge {

namespace {

// Collects the fields of one profile, remembering whether any of them conflicted.
class Fields {
public:
    Fields(bool localIsLater) : localIsLater_(localIsLater) {}

    template <typename T>
    T pick(const T* base, const T& local, const T& remote)
    {
        return take(threeWay::pick(base, local, remote, localIsLater_, std::equal_to<T>()));
    }
    template <typename T>
    T take(threeWay::Merged<T> merged)
    {
        conflict_ = conflict_ || merged.conflict;
        return std::move(merged.value);
    }
    bool localIsLater() const { return localIsLater_; }
    bool conflict() const { return conflict_; }

private:
    bool localIsLater_;
    bool conflict_ = false;
};

template <typename Profile, typename Field>
const Field* fieldOf(const Profile* profile, Field Profile::*field)
{
    return profile ? &(profile->*field) : nullptr;
}

} // namespace

threeWay::Merged<PacsProfile> merge(const PacsProfile* base, const PacsProfile& local, const PacsProfile& remote,
                                    bool localIsLater)
{
    Fields fields(localIsLater);
    PacsProfile merged = remote;
    merged.name = fields.pick(fieldOf(base, &PacsProfile::name), local.name, remote.name);
    merged.defaultLightingHex = fields.pick(fieldOf(base, &PacsProfile::defaultLightingHex), local.defaultLightingHex,
                                            remote.defaultLightingHex);
    const auto same = std::equal_to<RadiologyTool>();
    const auto mergeTool = [localIsLater, same](const RadiologyTool* was, const RadiologyTool& ours,
                                                const RadiologyTool& theirs) {
        return threeWay::pick(was, ours, theirs, localIsLater, same);
    };
    merged.tools = fields.take(threeWay::mergeKeyed(base ? base->tools : QList<RadiologyTool>{}, local.tools,
                                                    remote.tools, [](const RadiologyTool& tool) { return tool.id; },
                                                    same, mergeTool));
    return {std::move(merged), fields.conflict()};
}

threeWay::Merged<UserProfile> merge(const UserProfile* base, const UserProfile& local, const UserProfile& remote,
                                    bool localIsLater)
{
    Fields fields(localIsLater);
    UserProfile merged = remote;
    merged.name = fields.pick(fieldOf(base, &UserProfile::name), local.name, remote.name);
    merged.pacsProfileId = fields.pick(fieldOf(base, &UserProfile::pacsProfileId), local.pacsProfileId,
                                       remote.pacsProfileId);
    merged.selectedDeviceId = fields.pick(fieldOf(base, &UserProfile::selectedDeviceId), local.selectedDeviceId,
                                          remote.selectedDeviceId);
    merged.lightingHex = fields.pick(fieldOf(base, &UserProfile::lightingHex), local.lightingHex, remote.lightingHex);
    const auto sameTool = [](const ButtonMapping& a, const ButtonMapping& b) { return a.toolId == b.toolId; };
    const auto mergeMapping = [localIsLater, sameTool](const ButtonMapping* was, const ButtonMapping& ours,
                                                       const ButtonMapping& theirs) {
        if (!sameTool(ours, theirs))
            return threeWay::pick(was, ours, theirs, localIsLater, sameTool);
        // One button mapped to one tool on both sides: one mapping, whichever side merges.
        if (was && sameTool(*was, ours))
            return threeWay::Merged<ButtonMapping>{*was, false};
        return threeWay::Merged<ButtonMapping>{ours.id < theirs.id ? ours : theirs, false};
    };
    merged.mappings = fields.take(threeWay::mergeKeyed(
        base ? base->mappings : QList<ButtonMapping>{}, local.mappings, remote.mappings,
        [](const ButtonMapping& mapping) { return std::pair(mapping.deviceId, mapping.buttonId); }, sameTool,
        mergeMapping));
    return {std::move(merged), fields.conflict()};
}

} // namespace velmor::profileFieldMerge
