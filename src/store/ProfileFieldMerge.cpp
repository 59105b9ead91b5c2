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

template <typename Item, typename Same>
auto leaf(bool localIsLater, Same same)
{
    return [localIsLater, same](const Item* base, const Item& local, const Item& remote) {
        return threeWay::pick(base, local, remote, localIsLater, same);
    };
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
    merged.tools = fields.take(threeWay::mergeKeyed(
        base ? base->tools : QList<RadiologyTool>{}, local.tools, remote.tools,
        [](const RadiologyTool& tool) { return tool.id; }, same, leaf<RadiologyTool>(localIsLater, same)));
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
    merged.mappings = fields.take(threeWay::mergeKeyed(
        base ? base->mappings : QList<ButtonMapping>{}, local.mappings, remote.mappings,
        [](const ButtonMapping& mapping) { return std::pair(mapping.deviceId, mapping.buttonId); }, sameTool,
        leaf<ButtonMapping>(localIsLater, sameTool)));
    return {std::move(merged), fields.conflict()};
}

} // namespace velmor::profileFieldMerge
